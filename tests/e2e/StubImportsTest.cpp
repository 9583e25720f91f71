// The stub imports only DLLs that Windows always takes from its system
// folder, so a DLL planted beside a downloaded installer cannot be loaded
// at start, before the stub can restrict the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/pe/PeImage.h"

namespace {

constexpr unsigned kDirectoryImport = 1;
constexpr std::uint32_t kDescriptorSize = 20;
constexpr std::uint32_t kNameField = 12;

// The KnownDLLs of Windows 7 to 11, and the common controls, which the
// manifest binds to the system's side-by-side copy.
const std::set<std::string> kAllowed = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comctl32.dll", "comdlg32.dll", "coml2.dll",
    "difxapi.dll",  "gdi32.dll",    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll",
    "msctf.dll",    "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ole32.dll",    "oleaut32.dll",
    "psapi.dll",    "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shcore.dll",   "shell32.dll",
    "shlwapi.dll",  "user32.dll",   "wldap32.dll",  "ws2_32.dll"};

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::uint32_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

std::vector<std::string> ImportedDlls(const std::vector<std::uint8_t>& bytes) {
  kestlib::PeImage image;
  EXPECT_EQ(kestlib::ParsePeImage(bytes.data(), bytes.size(), image), kestlib::PeError::None);
  std::vector<std::string> names;
  for (std::uint32_t rva = kestlib::GetDirectory(image, kDirectoryImport).address;; rva += kDescriptorSize) {
    const auto descriptor = kestlib::RvaToOffset(image, rva, kDescriptorSize);
    if (!descriptor) {
      ADD_FAILURE() << "import descriptor outside the file";
      break;
    }
    const std::uint32_t nameRva = Word(bytes, *descriptor + kNameField);
    if (nameRva == 0) break;
    const auto name = kestlib::RvaToOffset(image, nameRva, 1);
    if (!name) {
      ADD_FAILURE() << "import name outside the file";
      break;
    }
    const char* start = reinterpret_cast<const char*>(bytes.data() + *name);
    std::string text(start, strnlen(start, bytes.size() - *name));
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    names.push_back(text);
  }
  return names;
}

TEST(StubImports, OnlyDllsTheSystemAlwaysTakesFromItsOwnFolder) {
  std::ifstream in(std::filesystem::path(SETUPSFX_STUB), std::ios::binary);
  ASSERT_TRUE(in) << "cannot read the stub " << SETUPSFX_STUB;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const std::vector<std::string> dlls = ImportedDlls(bytes);
  EXPECT_FALSE(dlls.empty());
  for (const std::string& dll : dlls) EXPECT_TRUE(kAllowed.count(dll)) << dll;
}

}  // namespace
