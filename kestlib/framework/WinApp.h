// The application object of our small framework: one global instance,
// start-up in InitInstance, the process exit code from ExitInstance, and
// every framework message box routed through DoMessageBox. There is no
// message loop of the application's own: dialogs run their own.
#pragma once

#include <windows.h>

#include <string>

#include "kestlib/framework/Dialog.h"

namespace kestlib {

class CWinApp {
 public:
  explicit CWinApp(const wchar_t* appName);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // ExitInstance follows whatever this returns.
  virtual BOOL InitInstance();
  // Its result is the process exit code.
  virtual int ExitInstance();
  virtual int DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId);

  // Runs the application: the entry point's whole work.
  int Run(HINSTANCE instance);

  HINSTANCE Instance() const { return m_instance; }
  // The default caption of message boxes.
  const std::wstring& AppName() const { return m_appName; }
  void SetAppName(const std::wstring& name) { m_appName = name; }
  // The main window's handle; null without one or before it is created.
  HWND MainWindow() const { return m_mainWindow ? m_mainWindow->GetSafeHwnd() : nullptr; }
  void SetMainWindow(const CDialog* dialog) { m_mainWindow = dialog; }

 private:
  std::wstring m_appName;
  HINSTANCE m_instance = nullptr;
  const CDialog* m_mainWindow = nullptr;
};

// Makes a dialog the application's main window for the scope's lifetime,
// so that message boxes know the program has a window of its own.
class MainWindowScope {
 public:
  explicit MainWindowScope(const CDialog& dialog);
  ~MainWindowScope();
  MainWindowScope(const MainWindowScope&) = delete;
  MainWindowScope& operator=(const MainWindowScope&) = delete;
};

CWinApp* AfxGetApp();

// Shows a message box through the application's DoMessageBox.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK, UINT helpId = 0);

}  // namespace kestlib
