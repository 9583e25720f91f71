#include "setup/extraction/SelfExtractingDlg.h"

#include <commctrl.h>

#include <cmath>
#include <cwchar>
#include <string>

#include "core/ByteSize.h"
#include "core/PathRules.h"
#include "core/handoff/SetupCommand.h"
#include "setup/extraction/ExtractCompletion.h"
#include "setup/extraction/ExtractQuestions.h"
#include "setup/extraction/TempLocation.h"
#include "setup/startup/TempFolder.h"
#include "setup/extraction/WindowMessages.h"
#include "kestlib/DeleteDirectoryTree.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Hresult.h"
#include "kestlib/Log.h"
#include "kestlib/MessageBox.h"
#include "kestlib/SystemInfo.h"
#include "kestlib/ui/FolderPicker.h"

namespace {

constexpr UINT kLargeTemplate = 102;
constexpr UINT kNormalTemplate = 167;
constexpr int kAppIcon = 128;
constexpr int kProgressBar = 1000;
constexpr int kStatusText = 1001;
constexpr int kHeading = 1002;
constexpr int kHeadingIcon = 1008;
constexpr int kProgressRange = 1000;
constexpr auto kTreeRemoval = kestlib::DeleteTreeFlags::RemoveRoot | kestlib::DeleteTreeFlags::Recurse |
                              kestlib::DeleteTreeFlags::ClearReadOnly;

std::wstring Formatted(const std::wstring& format, int value) {
  wchar_t text[512] = {};
  if (std::swprintf(text, 512, format.c_str(), value) < 0) return format;
  return text;
}

HICON LoadAppIcon(int width, int height) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, width,
                                       height, width == 0 ? LR_DEFAULTSIZE : 0));
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

CSelfExtractingDlg::CSelfExtractingDlg(HWND parent, const RunSettings& settings,
                                       const kestlib::IStringResources& strings)
    : CVistaDialog(settings.prettyProgress ? kLargeTemplate : kNormalTemplate, parent),
      m_settings(settings),
      m_strings(strings),
      m_taskbarButtonCreated(RegisterWindowMessageW(L"TaskbarButtonCreated")) {}

INT_PTR CSelfExtractingDlg::DoModal() {
  INT_PTR code = -1;
  HRESULT reason = S_OK;
  if (m_settings.uiLevel > UiMinimal) {
    code = CDialog::DoModal();
    if (code == -1) reason = kestlib::HresultFromLastError();
  } else if (!Create()) {
    reason = kestlib::HresultFromLastError();
  } else {
    PostStart();
    code = RunModalLoop();
  }
  if (!m_closed) OnNoRun(reason);
  return code;
}

void CSelfExtractingDlg::OnNoRun(HRESULT creationFailure) {
  // Without the window nothing was extracted and no setup ran (a session
  // without a display, a desktop out of heap, common controls that did not
  // start); a run whose window went early ended unfinished. Neither is a
  // success, and there is no window for a box: the log says why.
  const std::wstring why = m_windowMade ? L"The progress dialog ended before the run did."
                                        : L"The progress dialog could not be created: " +
                                              kestlib::SystemErrorText(creationFailure);
  kestlib::WriteLog(kestlib::Severity::Error, why);
  m_result = ExitPreparationFailed;
}

BOOL CSelfExtractingDlg::OnInitDialog() {
  m_windowMade = true;
  CVistaDialog::OnInitDialog();
  // The shell's message comes from a process that may run with less rights.
  if (m_taskbarButtonCreated != 0)
    ChangeWindowMessageFilterEx(m_hWnd, m_taskbarButtonCreated, MSGFLT_ALLOW, nullptr);

  double scale = 1.0;
  if (HDC dc = GetDC(m_hWnd)) {
    scale = GetDeviceCaps(dc, LOGPIXELSX) / 96.0;
    ReleaseDC(m_hWnd, dc);
  }
  InitIcons(scale);

  SetDlgItemTextW(m_hWnd, IDCANCEL, Text(L"Cancel").c_str());
  SetDlgItemTextW(m_hWnd, kStatusText, Text(L"SfxProgressText").c_str());
  SetWindowTextW(m_hWnd, Formatted(Text(L"SfxProgressTitle"), 0).c_str());
  if (IsLargeLayout()) InitLargeLayout();

  SendDlgItemMessageW(m_hWnd, kProgressBar, PBM_SETRANGE32, 0, kProgressRange);
  return TRUE;
}

void CSelfExtractingDlg::InitIcons(double scale) {
  m_smallIcon.reset(LoadAppIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
  m_bigIcon.reset(LoadAppIcon(0, 0));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
  if (!IsLargeLayout()) return;
  const int size = static_cast<int>(std::lround(48 * scale));
  m_headingIcon.reset(LoadAppIcon(size, size));
  SendDlgItemMessageW(m_hWnd, kHeadingIcon, STM_SETICON, reinterpret_cast<WPARAM>(m_headingIcon.get()), 0);
}

void CSelfExtractingDlg::InitLargeLayout() {
  LOGFONTW font{};
  const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  if (dialogFont && GetObjectW(dialogFont, sizeof(font), &font) == sizeof(font)) {
    font.lfWeight = FW_BOLD;
    m_boldFont.reset(CreateFontIndirectW(&font));
    SendDlgItemMessageW(m_hWnd, kHeading, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.get()), FALSE);
  }
  SetDlgItemTextW(m_hWnd, kHeading, m_settings.productName.c_str());

  // The icon's real size depends on the screen: the texts follow its edge.
  RECT gap{0, 0, 9, 0};
  MapDialogRect(m_hWnd, &gap);
  const LONG left = GetDlgItemRect(GetDlgItem(kHeadingIcon)).right + gap.right;
  for (int id : {kStatusText, kHeading, kProgressBar}) {
    HWND control = GetDlgItem(id);
    const RECT rect = GetDlgItemRect(control);
    SetWindowPos(control, nullptr, left, rect.top, rect.right - left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CSelfExtractingDlg::OnCancel() {
  // Escape and the close box still arrive once a cancel is under way or
  // the setup has been started.
  if (!IsWindowEnabled(GetDlgItem(IDCANCEL)) || m_askingCancel) return;
  // The worker removes what it extracted before it reports; the dialog
  // closes on that report, never here.
  m_askingCancel = true;
  const bool confirmed = kestlib::ShowMessageBox(Text(L"VerifyCancel").c_str(), MB_YESNO | MB_ICONQUESTION, 0,
                                                 m_settings.uiLevel, m_strings) == IDYES;
  m_askingCancel = false;
  if (confirmed) {
    m_extractor.Stop(false);
    EnableWindow(GetDlgItem(IDCANCEL), FALSE);
  }
  if (m_extractDonePending) {
    m_extractDonePending = false;
    OnExtractDone();
  }
}

bool CSelfExtractingDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_WINDOWPOSCHANGED:
      if (!m_started && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) PostStart();
      break;
    case WM_SFX_START_EXTRACT:
      StartExtraction();
      return true;
    case WM_SFX_PROGRESS:
      // The worker waits for no redraw.
      ReplyMessage(0);
      SetPosition(static_cast<int>(lParam));
      return true;
    case WM_SFX_EXTRACT_DONE:
      OnExtractDone();
      return true;
    case WM_SFX_HIDE:
      ShowWindow(m_hWnd, SW_HIDE);
      return true;
    case WM_SFX_SETUP_DONE:
      // The report is the worker's last act.
      m_setup.Wait();
      OnSetupDone(static_cast<DWORD>(wParam), lParam == 1, m_setup.ErrorFileName());
      return true;
    case WM_SFX_EXTRACT_CANCELLED:
      Close(ExitCancelled, IDCANCEL);
      return true;
    case WM_SFX_EXTRACT_FAILED:
      OnExtractFailed();
      return true;
    case WM_SFX_EXTRACT_ERROR:
      OnExtractError(*reinterpret_cast<const ExtractErrorInfo*>(wParam));
      return true;
    case WM_SFX_DELETING_FILES:
      SetDlgItemTextW(m_hWnd, kStatusText, Text(L"DeletingTempFiles").c_str());
      return true;
    case WM_SFX_ASK_OVERWRITE:
      result = OnAskOverwrite(reinterpret_cast<const wchar_t*>(lParam));
      return true;
    case WM_SFX_GET_PASSWORD:
      // Asked at every level: without it the extraction cannot go on.
      result = AskPassword(m_hWnd, reinterpret_cast<wchar_t*>(wParam), static_cast<std::size_t>(lParam));
      return true;
    default:
      if (message == m_taskbarButtonCreated && message != 0) {
        CreateTaskbarObject();
        return true;
      }
      break;
  }
  return CVistaDialog::HandleMessage(message, wParam, lParam, result);
}

void CSelfExtractingDlg::PostStart() {
  m_started = true;
  PostMessageW(m_hWnd, WM_SFX_START_EXTRACT, 0, 0);
}

void CSelfExtractingDlg::StartExtraction() {
  // The folder is asked before anything is written; no folder, no run.
  if (m_settings.askTargetDir && m_settings.uiLevel != UiSilent && !SelectTargetDir(m_settings.extractDir)) {
    Close(0, IDCANCEL);
    return;
  }
  m_params.window = m_hWnd;
  m_params.archivePath = m_settings.archivePath;
  m_params.destination = m_settings.extractDir;
  m_params.deleteOnFailure = !m_settings.extractOnly;
  if (!m_extractor.Start(m_params)) Close(ExitPreparationFailed, IDCANCEL);
}

bool CSelfExtractingDlg::SelectTargetDir(const std::wstring& initialFolder) {
  std::wstring title = Text(L"SelectTargetDirAppTitle");
  if (title.empty()) title = L"[ProductName] - [SelectTargetDir]";
  ReplaceAll(title, L"[ProductName]", m_settings.productName);
  ReplaceAll(title, L"[SelectTargetDir]", Text(L"SelectTargetDir"));
  const std::wstring chosen = kestlib::PickFolder(m_hWnd, initialFolder, title);
  if (chosen.empty()) return false;
  if (m_settings.extractOnly) {
    m_settings.extractDir = chosen;
    return true;
  }
  // Temporary files go into a new folder of our own inside the chosen one.
  std::wstring folder;
  const HRESULT created = CreateTempFolder(chosen, SystemRandom, folder);
  if (FAILED(created)) {
    const std::wstring text = kestlib::SystemErrorText(created) + L"\n\n" + chosen;
    kestlib::ShowMessageBox(text.c_str(), MB_ICONERROR, 0, m_settings.uiLevel, m_strings);
    return false;
  }
  m_settings.extractDir = folder;
  return true;
}

bool CSelfExtractingDlg::ChooseTempDir(std::uint64_t requiredBytes) {
  const std::wstring initialFolder = LargestFreeLocation();
  std::wstring text = Text(L"ChooseTempDir");
  ReplaceAll(text, L"%s", FormatByteSize(requiredBytes, {Text(L"KiB"), Text(L"MiB"), Text(L"GiB"), Text(L"TiB")}));
  if (kestlib::ShowMessageBox(text.c_str(), MB_OK, 0, m_settings.uiLevel, m_strings) != IDOK) return false;
  return SelectTargetDir(initialFolder);
}

void CSelfExtractingDlg::OnExtractFailed() {
  if (!m_retry) {
    Close(ExitPreparationFailed, IDCANCEL);
    return;
  }
  m_retry = false;
  SetProgressState(ProgressState::Normal);
  SetPosition(0);
  SetDlgItemTextW(m_hWnd, kStatusText, Text(L"SfxProgressText").c_str());
  m_extractor.Wait();
  StartExtraction();
}

void CSelfExtractingDlg::OnExtractDone() {
  m_extractor.Wait();
  SetPosition(kProgressRange);
  // Nothing starts behind an open cancel question; its answer decides.
  if (m_askingCancel) {
    m_extractDonePending = true;
    return;
  }
  // A cancel confirmed after the last item still cancels the run.
  if (m_extractor.IsStopRequested()) {
    if (!m_settings.extractOnly) {
      SetDlgItemTextW(m_hWnd, kStatusText, Text(L"DeletingTempFiles").c_str());
      kestlib::DeleteDirectoryTree(m_settings.extractDir, kTreeRemoval);
    }
    Close(ExitCancelled, IDCANCEL);
    return;
  }
  if (m_settings.extractOnly) {
    ShowExtractCompletion({m_hWnd, m_settings.productName, m_settings.uiLevel,
                           CombinePath(m_settings.extractDir, L""), m_extractor.ExtractedItems()},
                          m_strings);
    Close(0, IDOK);
    return;
  }
  StartSetup();
}

void CSelfExtractingDlg::StartSetup() {
  SetDlgItemTextW(m_hWnd, kStatusText, Text(L"StartSetup").c_str());
  EnableWindow(GetDlgItem(IDCANCEL), FALSE);
  const SetupCommand command =
      MakeSetupCommand(m_settings, OwnArgumentTail(GetCommandLineW()), kestlib::SystemFolder(), IsExistingFile);
  SetupLaunchInfo info;
  info.window = m_hWnd;
  info.cleanupFolder = m_settings.extractDir;
  info.valuesFilePath = command.valuesFilePath;
  info.programPath = command.program;
  info.arguments = command.arguments;
  info.showCommand = m_settings.setupShow;
  if (m_setup.Start(info)) return;
  // Without a worker the start fails here, the way the worker reports it.
  const DWORD code = GetLastError();
  kestlib::DeleteDirectoryTree(m_settings.extractDir, kTreeRemoval);
  OnSetupDone(code != 0 ? code : static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), false, command.program);
}

void CSelfExtractingDlg::OnSetupDone(DWORD code, bool ran, const std::wstring& program) {
  if (ran) {
    Close(static_cast<std::int32_t>(code), IDOK);
    return;
  }
  if (code == ERROR_CANCELLED) {
    // The user refused the elevation prompt.
    Close(ExitCancelled, IDOK);
    return;
  }
  const std::wstring text = kestlib::SystemErrorText(static_cast<std::int32_t>(code)) + L"\n\n" + program;
  kestlib::ShowMessageBox(text.c_str(), MB_ICONERROR, 0, m_settings.uiLevel, m_strings);
  Close(ExitSetupNotStarted, IDOK);
}

void CSelfExtractingDlg::OnExtractError(const ExtractErrorInfo& info) {
  const std::wstring report = ExtractErrorReport(info, m_strings);
  if (m_settings.uiLevel == UiSilent) {
    // Not shown, but logged.
    kestlib::ShowMessageBox(report.c_str(), MB_ICONERROR, 0, m_settings.uiLevel, m_strings);
    return;
  }
  // A temporary folder can go elsewhere; the user's own folder cannot.
  if (!m_settings.extractOnly && info.kind == ExtractSystemError &&
      info.code == static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_DISK_FULL))) {
    m_retry = ChooseTempDir(info.requiredBytes);
    if (m_retry) return;
  }
  SetProgressState(ProgressState::Error);
  FlashIfInBackground();
  kestlib::ShowMessageBox(report.c_str(), MB_ICONERROR, 0, m_settings.uiLevel, m_strings);
  SetProgressState(ProgressState::Normal);
  SetPosition(0);
}

std::int32_t CSelfExtractingDlg::OnAskOverwrite(const wchar_t* existingPath) {
  // A temporary folder is new: what exists there came from this archive
  // (names that differ only in case), and the first one stays.
  if (!m_settings.extractOnly) return OverwriteNo;
  if (m_settings.uiLevel == UiSilent) return m_settings.overwriteAnswer;
  SetProgressState(ProgressState::Paused);
  const bool overwrite = AskOverwriteAll(m_hWnd, m_settings.productName, m_strings, existingPath);
  SetProgressState(ProgressState::Normal);
  return overwrite ? OverwriteYesToAll : OverwriteCancel;
}

void CSelfExtractingDlg::FlashIfInBackground() {
  if (GetForegroundWindow() == m_hWnd) return;
  UINT count = 0;
  if (!SystemParametersInfoW(SPI_GETFOREGROUNDFLASHCOUNT, 0, &count, 0)) count = 3;
  FLASHWINFO flash{sizeof(flash), m_hWnd, FLASHW_CAPTION | FLASHW_TRAY, count, 0};
  FlashWindowEx(&flash);
}

void CSelfExtractingDlg::SetPosition(int perMille) {
  SendDlgItemMessageW(m_hWnd, kProgressBar, PBM_SETPOS, static_cast<WPARAM>(perMille), 0);
  SetWindowTextW(m_hWnd, Formatted(Text(L"SfxProgressTitle"), perMille / 10).c_str());
  if (m_taskbar) m_taskbar->SetProgressValue(m_hWnd, static_cast<ULONGLONG>(perMille), kProgressRange);
}

void CSelfExtractingDlg::SetProgressState(ProgressState state) {
  SendDlgItemMessageW(m_hWnd, kProgressBar, PBM_SETSTATE, static_cast<WPARAM>(state), 0);
  if (!m_taskbar) return;
  const TBPFLAG flag = state == ProgressState::Error    ? TBPF_ERROR
                       : state == ProgressState::Paused ? TBPF_PAUSED
                                                        : TBPF_NORMAL;
  m_taskbar->SetProgressState(m_hWnd, flag);
}

void CSelfExtractingDlg::CreateTaskbarObject() {
  m_taskbar.reset();
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              m_taskbar.put_void())))
    return;
  if (FAILED(m_taskbar->HrInit())) m_taskbar.reset();
}

void CSelfExtractingDlg::Close(std::int32_t result, INT_PTR code) {
  m_result = result;
  m_closed = true;
  EndDialog(code);
}
