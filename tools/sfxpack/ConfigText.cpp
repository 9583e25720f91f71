#include "ConfigText.h"

#include <boost/locale/encoding_utf.hpp>

#include "Errors.h"
#include "FileIo.h"
#include "core/payload/PayloadFormat.h"

namespace sfxpack {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsUtf8(const char* begin, const char* end) {
  try {
    boost::locale::conv::utf_to_utf<char>(begin, end, boost::locale::conv::stop);
    return true;
  } catch (const boost::locale::conv::conversion_error&) {
    return false;
  }
}

}  // namespace

// Line by line, so that the message can point at the bad line; no UTF-8
// sequence contains a line feed byte.
std::optional<std::size_t> FirstLineNotUtf8(const std::string& text) {
  std::size_t lineNumber = 1;
  for (std::size_t begin = 0; begin < text.size(); ++lineNumber) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    if (!IsUtf8(text.data() + begin, text.data() + end)) return lineNumber;
    begin = end + 1;
  }
  return std::nullopt;
}

std::string LoadConfigText(const std::filesystem::path& path, std::ostream& notes) {
  // The block must end well inside the first 4 MiB of the installer.
  if (InputFileSize(path, "configuration") > payload::kArchiveWindow)
    throw PackError("configuration " + Quoted(path) + " is larger than 4 MiB");
  const std::vector<std::uint8_t> bytes =
      ReadFilePrefix(path, payload::kArchiveWindow, "configuration");
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind(kByteOrderMark, 0) == 0) {
    text.erase(0, sizeof kByteOrderMark - 1);
    notes << "sfxpack: note: removed the UTF-8 byte-order mark from configuration "
          << Quoted(path) << '\n';
  }
  // UTF-16 text is full of NUL bytes, which no configuration holds.
  if (text.find('\0') != std::string::npos)
    throw PackError("configuration " + Quoted(path) + " holds NUL bytes; is it UTF-16? Save it as UTF-8");
  if (const auto line = FirstLineNotUtf8(text))
    throw PackError("configuration " + Quoted(path) + " is not valid UTF-8 (line " + std::to_string(*line) +
                    "); save it as UTF-8");
  return text;
}

}  // namespace sfxpack
