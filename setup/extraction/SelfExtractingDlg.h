// The progress dialog: runs the extraction worker, shows its progress in
// the dialog and on the taskbar button, and does every user interaction the
// worker asks for. Its result becomes the process exit code.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "setup/extraction/ExtractThread.h"
#include "core/startup/RunSettings.h"
#include "setup/handoff/SetupThread.h"
#include "kestlib/Holders.h"
#include "kestlib/localization/IStringResources.h"
#include "kestlib/ui/VistaDialog.h"

class CSelfExtractingDlg : public kestlib::CVistaDialog {
 public:
  CSelfExtractingDlg(HWND parent, const RunSettings& settings, const kestlib::IStringResources& strings);

  // Visible above UiMinimal; otherwise the dialog is created hidden and
  // extracts at once. Read Result afterwards: 0x20001004 when the dialog
  // could not be created or ended before the run did.
  INT_PTR DoModal();
  std::int32_t Result() const { return m_result; }

 protected:
  BOOL OnInitDialog() override;
  // Enter: the dialog has no OK; it closes only with the run's result.
  void OnOK() override {}
  void OnCancel() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // Values of PBST_* for the bar; the taskbar's states are mapped from them.
  enum class ProgressState { Normal = 1, Error = 2, Paused = 3 };

  using UniqueIcon = kestlib::UniqueIcon;
  using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, kestlib::GdiObjectDeleter>;

  bool IsLargeLayout() const { return m_settings.prettyProgress; }
  std::wstring Text(const wchar_t* id) const { return m_strings.GetText(id); }
  void InitIcons(double scale);
  void InitLargeLayout();
  // Logs why the run never got to its end and makes that its result.
  void OnNoRun(HRESULT creationFailure);
  void PostStart();
  void StartExtraction();
  // The folder picker; true when the user chose the extraction folder.
  bool SelectTargetDir(const std::wstring& initialFolder);
  // The disk-full question; true when the extraction is to run again in
  // the new folder.
  bool ChooseTempDir(std::uint64_t requiredBytes);
  void OnExtractFailed();
  void OnExtractDone();
  void StartSetup();
  void OnSetupDone(DWORD code, bool ran, const std::wstring& program);
  void OnExtractError(const ExtractErrorInfo& info);
  std::int32_t OnAskOverwrite(const wchar_t* existingPath);
  void FlashIfInBackground();
  void SetPosition(int perMille);
  void SetProgressState(ProgressState state);
  void CreateTaskbarObject();
  void Close(std::int32_t result, INT_PTR code);

  RunSettings m_settings;
  const kestlib::IStringResources& m_strings;
  std::int32_t m_result = 0;
  ExtractParams m_params;
  CExtractThread m_extractor;
  CSetupThread m_setup;
  UniqueIcon m_smallIcon;
  UniqueIcon m_bigIcon;
  UniqueIcon m_headingIcon;
  UniqueFont m_boldFont;
  kestlib::ComPtr<ITaskbarList3> m_taskbar;
  UINT m_taskbarButtonCreated = 0;
  bool m_started = false;
  bool m_windowMade = false;
  // The run has set its result; until then it has none.
  bool m_closed = false;
  // The cancel question is open; an extraction that ends meanwhile waits.
  bool m_askingCancel = false;
  bool m_extractDonePending = false;
  // The failed extraction runs again in the folder the user chose.
  bool m_retry = false;
};
