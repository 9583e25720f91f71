#include "setup/handoff/SetupThread.h"

#include "setup/handoff/ForwardedData.h"
#include "setup/extraction/WindowMessages.h"
#include "setup/startup/TempFolder.h"
#include "kestlib/Log.h"
#include "kestlib/ProcessLaunch.h"

namespace {

// Lets the setup's last child processes let go of the extracted files.
constexpr DWORD kPauseBeforeCleanup = 1000;

}  // namespace

CSetupThread::~CSetupThread() {
  // Run uses this object's members: they must outlive the thread.
  Wait();
}

bool CSetupThread::Start(const SetupLaunchInfo& info) {
  if (IsRunning()) return false;
  m_info = info;
  return CMfcWorkerThread::Start();
}

DWORD CSetupThread::Run() {
  DWORD code = 0;
  bool ran = false;
  try {
    ran = RunSetup(code);
  } catch (...) {
    // Out of memory while preparing the start: nothing was started.
    ran = false;
    code = ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!m_info.cleanupFolder.empty()) CleanUpRunFolder(m_info.cleanupFolder);
  if (m_info.window) PostMessageW(m_info.window, WM_SFX_SETUP_DONE, code, ran ? 1 : 0);
  return 0;
}

bool CSetupThread::RunSetup(DWORD& code) {
  if (!m_info.valuesFilePath.empty()) WriteSetupValues(m_info.valuesFilePath);

  // Logged before the start: a failure to log must not count as a failed
  // start.
  kestlib::WriteLog(kestlib::Severity::Info, L"Starting the setup '" + m_info.programPath + L"'.");
  // Through the shell for every kind of program, so that a setup whose
  // manifest demands administrator rights gets the elevation prompt.
  kestlib::ProcessInformation process;
  const HRESULT launched = kestlib::LaunchProcess(m_info.window, m_info.programPath, m_info.arguments, &process,
                                                  std::nullopt, m_info.showCommand, kestlib::LaunchFlags::None);
  if (FAILED(launched)) {
    // Every failure counts, also one that came without a system error code.
    code = HRESULT_FACILITY(launched) == FACILITY_WIN32 ? HRESULT_CODE(launched) : static_cast<DWORD>(launched);
    return false;
  }

  if (m_info.window) PostMessageW(m_info.window, WM_SFX_HIDE, 0, 0);
  code = 0;
  // The shell may hand the request to a program that was already running:
  // then there is nothing to wait for.
  if (process.process) {
    WaitForSingleObject(process.process.get(), INFINITE);
    if (!GetExitCodeProcess(process.process.get(), &code)) code = 0;
  }
  process = {};
  Sleep(kPauseBeforeCleanup);
  return true;
}
