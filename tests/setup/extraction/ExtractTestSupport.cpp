#include "ExtractTestSupport.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "TimeLimit.h"
#include "kestlib/Holders.h"

namespace extracttest {

namespace fs = std::filesystem;

namespace {

const wchar_t kClassName[] = L"ExtractTestDialog";

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

std::uint32_t Crc32(const Bytes& data) { return Crc32(std::string(data.begin(), data.end())); }

// The 7z variable-length number, for values below 2^14.
void PutNumber(Bytes& out, std::uint64_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<std::uint8_t>(value));
  } else {
    out.push_back(static_cast<std::uint8_t>(0x80 | (value >> 8)));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  }
}

void PutLittleEndian(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One folder with the Copy coder holding all items; CRCs per item.
Bytes StreamsInfo(const std::vector<std::pair<std::wstring, std::string>>& items,
                  std::uint64_t total) {
  Bytes out = {0x04, 0x06, 0x00, 0x01, 0x09};
  PutNumber(out, total);
  out.insert(out.end(), {0x00, 0x07, 0x0B, 0x01, 0x00, 0x01, 0x01, 0x00, 0x0C});
  PutNumber(out, total);
  out.insert(out.end(), {0x00, 0x08, 0x0D});
  PutNumber(out, items.size());
  out.push_back(0x09);
  for (std::size_t i = 0; i + 1 < items.size(); ++i) PutNumber(out, items[i].second.size());
  out.insert(out.end(), {0x0A, 0x01});
  for (const auto& item : items) PutLittleEndian(out, Crc32(item.second), 4);
  out.insert(out.end(), {0x00, 0x00});
  return out;
}

Bytes FilesInfo(const std::vector<std::pair<std::wstring, std::string>>& items) {
  Bytes names = {0x00};  // not external
  for (const auto& item : items) {
    for (wchar_t c : item.first) PutLittleEndian(names, static_cast<std::uint16_t>(c), 2);
    PutLittleEndian(names, 0, 2);
  }
  Bytes out = {0x05};
  PutNumber(out, items.size());
  out.push_back(0x11);
  PutNumber(out, names.size());
  out.insert(out.end(), names.begin(), names.end());
  out.push_back(0x00);
  return out;
}

}  // namespace

TestDialog::TestDialog() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
  m_window = CreateWindowW(kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestDialog::~TestDialog() { DestroyWindow(m_window); }

LRESULT CALLBACK TestDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<TestDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (dialog && message >= WM_SFX_EXTRACT_ERROR && message <= WM_SFX_GET_PASSWORD)
    return dialog->Answer(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TestDialog::Answer(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SFX_PROGRESS:
      progress.push_back(static_cast<std::uint32_t>(lParam));
      return 0;
    case WM_SFX_ASK_OVERWRITE:
      overwriteQuestions.push_back(reinterpret_cast<const wchar_t*>(lParam));
      return overwriteAnswer;
    case WM_SFX_GET_PASSWORD: {
      ++passwordQuestions;
      auto* buffer = reinterpret_cast<wchar_t*>(wParam);
      const std::size_t size = static_cast<std::size_t>(lParam);
      // Like the dialog: bounded by the size, not necessarily terminated.
      std::copy_n(password.c_str(), std::min(size, password.size() + 1), buffer);
      return confirmPassword ? 1 : 2;
    }
    case WM_SFX_EXTRACT_ERROR:
      errors.push_back(*reinterpret_cast<const ExtractErrorInfo*>(wParam));
      return 0;
    default:
      return 0;
  }
}

ExtractOutcome RunExtraction(TestWorker& worker, FreeSpaceQuery freeSpace) {
  const kestlib::UniqueHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ExtractOutcome outcome;
  std::thread thread([&] {
    outcome = ExtractArchive(worker, freeSpace);
    SetEvent(finished.get());
  });
  const DWORD deadline = GetTickCount() + testsupport::TimeLimit(120000);
  for (;;) {
    const DWORD now = GetTickCount();
    const DWORD left = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
    HANDLE handle = finished.get();
    const DWORD waited = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) break;
    if (waited == WAIT_TIMEOUT) {
      ADD_FAILURE_AT(__FILE__, __LINE__);
      worker.stop = true;
      WaitForSingleObject(handle, testsupport::TimeLimit(30000));
      break;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  thread.join();
  return outcome;
}

Bytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes StoredArchive(const std::vector<std::pair<std::wstring, std::string>>& items) {
  std::string packed;
  for (const auto& item : items) packed += item.second;
  Bytes header = {0x01};
  const Bytes streams = StreamsInfo(items, packed.size());
  const Bytes files = FilesInfo(items);
  header.insert(header.end(), streams.begin(), streams.end());
  header.insert(header.end(), files.begin(), files.end());
  header.push_back(0x00);

  Bytes start;
  PutLittleEndian(start, packed.size(), 8);
  PutLittleEndian(start, header.size(), 8);
  PutLittleEndian(start, Crc32(header), 4);
  Bytes out = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04};
  PutLittleEndian(out, Crc32(start), 4);
  out.insert(out.end(), start.begin(), start.end());
  out.insert(out.end(), packed.begin(), packed.end());
  out.insert(out.end(), header.begin(), header.end());
  return out;
}

std::vector<std::wstring> ListTree(const fs::path& root) {
  std::vector<std::wstring> names;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    std::wstring name = entry.path().lexically_relative(root).wstring();
    std::replace(name.begin(), name.end(), L'/', L'\\');
    names.push_back(entry.is_directory() ? name + L'\\' : name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace extracttest
