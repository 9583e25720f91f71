// The setup worker: writes the forwarded data, starts the real setup,
// waits for it to end, removes the extraction folder and reports the
// setup's exit code to the progress dialog by posted messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "kestlib/WorkerThread.h"

// What the dialog hands the worker, by copy.
struct SetupLaunchInfo {
  HWND window = nullptr;
  // Removed after the setup has ended; empty for none.
  std::wstring cleanupFolder;
  // "SetupValues.dat" is written here before the start; empty for none.
  std::wstring valuesFilePath;
  std::wstring programPath;
  // Complete and already quoted.
  std::wstring arguments;
  std::int32_t showCommand = SW_SHOWNORMAL;
};

class CSetupThread : public kestlib::CMfcWorkerThread {
 public:
  ~CSetupThread() override;

  // False while a previous run is still going.
  bool Start(const SetupLaunchInfo& info);
  // The program that could not be started; read only after the worker
  // has reported a failed start.
  const std::wstring& ErrorFileName() const { return m_info.programPath; }

 protected:
  DWORD Run() override;

 private:
  // Starts the setup and waits for it: true with its exit code in code, or
  // false with the start failure's system error code.
  bool RunSetup(DWORD& code);

  SetupLaunchInfo m_info;
};
