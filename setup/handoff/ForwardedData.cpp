#include "setup/handoff/ForwardedData.h"

#include <exception>
#include <system_error>
#include <vector>

#include "setup/payload/ResourceFile.h"
#include "setup/startup/SetupPaths.h"
#include "kestlib/Holders.h"
#include "kestlib/Hresult.h"
#include "kestlib/io/Utf8.h"
#include "core/handoff/SignatureTag.h"

namespace {

constexpr HRESULT kNoData = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr HRESULT kShortRead = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
// Real signatures, nested ones included, take a few dozen KiB; a larger
// table is not read for a tag.
constexpr std::uint32_t kTableLimit = 1024 * 1024;

// Lists and reads the slots through one open of the file: each further open
// would wait for a scanner again.
HRESULT ReadSlots(const std::wstring& path, forwarded::Values& values) {
  values.clear();
  ExecutableFile file;
  HRESULT hr = file.Open(path, OpenAttempts::RetryWhileHeld);
  if (FAILED(hr)) return hr;
  std::vector<std::uint8_t> bytes;
  for (const std::u16string& name : file.ResourceNames(kestlib::kResourceTypeRcdata)) {
    if (!forwarded::IsSlotName(name)) continue;
    hr = file.ReadResource(kestlib::kResourceTypeRcdata, std::wstring(name.begin(), name.end()), bytes);
    if (FAILED(hr)) return hr;
    values[name] = forwarded::SlotText(bytes.data(), bytes.size());
  }
  return values.empty() ? kNoData : S_OK;
}

HRESULT ReadTrailingBlock(const std::wstring& path, forwarded::Values& values) {
  kestlib::UniqueFile file;
  const HRESULT hr = OpenFileWithRetry(path, file);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER distance{};
  distance.QuadPart = -static_cast<LONGLONG>(forwarded::kTrailingWindow);
  if (!SetFilePointerEx(file.get(), distance, nullptr, FILE_END)) return kestlib::HresultFromLastError();
  std::vector<std::uint8_t> buffer(forwarded::kTrailingWindow);
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
    return kestlib::HresultFromLastError();
  if (read < buffer.size()) return kShortRead;
  switch (forwarded::ParseTrailingBlock(buffer.data(), buffer.size(), values)) {
    case forwarded::BlockResult::Read: return S_OK;
    case forwarded::BlockResult::NotFound: return kNoData;
    case forwarded::BlockResult::Invalid: return kInvalidData;
  }
  return kInvalidData;
}

HRESULT ReadSource(const std::wstring& path, forwarded::Values& values, ForwardedDataSource source,
                   ForwardedDataSource* used) {
  if (source != ForwardedDataSource::Auto)
    return source == ForwardedDataSource::Resources ? ReadSlots(path, values)
                                                    : ReadTrailingBlock(path, values);
  if (used) *used = ForwardedDataSource::Resources;
  const HRESULT hr = ReadSlots(path, values);
  if (hr != kNoData) return hr;
  if (used) *used = ForwardedDataSource::TrailingBlock;
  return ReadTrailingBlock(path, values);
}

bool ReadAt(HANDLE file, std::uint64_t offset, std::vector<std::uint8_t>& bytes) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD read = 0;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

// The values of the tag in the file's signature, empty ones left out;
// nothing for an unsigned file, a signature without a tag or a damaged one.
forwarded::Values ReadTagValues(const std::wstring& path) {
  forwarded::Values values;
  ExecutableFile file;
  if (FAILED(file.Open(path, OpenAttempts::Once))) return values;
  const auto table = kestlib::CertificateTable(file.image());
  if (!table || table->size > kTableLimit || std::uint64_t{table->address} + table->size > file.size()) return values;
  std::vector<std::uint8_t> bytes(table->size);
  if (!ReadAt(file.handle(), table->address, bytes) ||
      forwarded::ReadSignatureTag(bytes.data(), bytes.size(), values) != forwarded::TagResult::Read)
    return {};
  forwarded::DropEmptyValues(values);
  return values;
}

// Writes all of text or, failing that, no file at all: a cut-off file
// would hand the setup part of the values as if they were all.
void WriteWholeFile(const std::wstring& path, const std::string& text) {
  kestlib::UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  const bool complete = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                        written == text.size() && CloseHandle(file.release());
  if (!complete) {
    file.reset();
    DeleteFileW(path.c_str());
  }
}

}  // namespace

HRESULT ReadForwardedData(const std::wstring& path, forwarded::Values& values, ForwardedDataSource source,
                          ForwardedDataSource* used, unsigned options) {
  if (used) *used = source;
  try {
    const HRESULT hr = ReadSource(path, values, source, used);
    if (SUCCEEDED(hr) && (options & kDropEmptyValues)) forwarded::DropEmptyValues(values);
    return hr;
  } catch (const std::system_error& e) {
    const int code = e.code().value();
    return code <= 0 ? static_cast<HRESULT>(code) : HRESULT_FROM_WIN32(static_cast<DWORD>(code));
  } catch (...) {
    return E_FAIL;
  }
}

void WriteSetupValues(const std::wstring& dataFile, const std::wstring& executable) {
  try {
    // Whatever was read before a failure is still forwarded.
    forwarded::Values values;
    ReadForwardedData(executable, values, ForwardedDataSource::Auto, nullptr, kDropEmptyValues);
    if (const auto id = forwarded::FileNameIdentifier(kestlib::Utf8FromWide(executable)))
      values[u"HLVID2"] = forwarded::Utf16FromUtf8(*id);
    for (auto& [name, value] : ReadTagValues(executable)) values[name] = std::move(value);
    const std::string text = forwarded::SetupValuesText(values);
    if (!text.empty()) WriteWholeFile(dataFile, text);
  } catch (...) {
    // The setup runs without the data rather than not at all.
  }
}

void WriteSetupValues(const std::wstring& dataFile) { WriteSetupValues(dataFile, ModulePath()); }
