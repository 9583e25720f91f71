// A worker and a progress dialog stand-in for extraction tests: the
// extraction runs on its own thread while the test's thread answers the
// dialog's messages, as the real dialog does.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "setup/extraction/ExtractArchive.h"
#include "setup/extraction/ExtractThread.h"
#include "core/startup/RunSettings.h"

namespace extracttest {

class TestWorker final : public IExtractWorker {
 public:
  HWND window = nullptr;
  std::wstring archive;
  std::wstring destination;
  std::wstring currentItem;
  std::uint64_t totalSize = 0;
  std::vector<std::wstring> items;
  std::atomic<bool> stop{false};

  HWND Window() const override { return window; }
  std::wstring ArchivePath() const override { return archive; }
  std::wstring Destination() const override { return destination; }
  void SetCurrentItem(const std::wstring& item) override { currentItem = item; }
  void SetTotalSize(std::uint64_t bytes) override { totalSize = bytes; }
  void AddExtractedItem(const std::wstring& item) override { items.push_back(item); }
  bool IsStopRequested() const override { return stop; }
};

// A hidden window on the creating thread that answers like the dialog.
class TestDialog {
 public:
  TestDialog();
  ~TestDialog();
  TestDialog(const TestDialog&) = delete;
  TestDialog& operator=(const TestDialog&) = delete;

  HWND window() const { return m_window; }

  // Answers.
  std::int32_t overwriteAnswer = OverwriteYesToAll;
  std::wstring password;
  bool confirmPassword = true;
  // What was asked.
  std::vector<std::wstring> overwriteQuestions;
  unsigned passwordQuestions = 0;
  std::vector<std::uint32_t> progress;
  std::vector<ExtractErrorInfo> errors;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam);
  HWND m_window = nullptr;
};

// Runs ExtractArchive on a thread of its own and delivers the dialog's
// messages meanwhile; gives up (stopping the extraction) after two minutes.
ExtractOutcome RunExtraction(TestWorker& worker, FreeSpaceQuery freeSpace = QueryFreeSpace);

using Bytes = std::vector<std::uint8_t>;
Bytes ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);

// A 7z archive with the given items stored (Copy) under exactly the given
// names, whatever those are.
Bytes StoredArchive(const std::vector<std::pair<std::wstring, std::string>>& items);

// Every file and folder below root, relative, folders with a trailing "\".
std::vector<std::wstring> ListTree(const std::filesystem::path& root);

}  // namespace extracttest
