#include "kestlib/framework/WinApp.h"

#include "kestlib/SystemInfo.h"
#include "kestlib/localization/MemStringResources.h"
#include "kestlib/ui/BigMessageBox.h"

namespace kestlib {
namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const wchar_t* appName) : m_appName(appName) { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

// Without a string table the buttons carry their English names.
int CWinApp::DoMessageBox(const wchar_t* prompt, UINT type, UINT /*helpId*/) {
  HWND owner = MainWindow() ? MainWindow() : GetActiveWindow();
  return ShowStandardBox(owner, MemStringResources(), m_appName.c_str(), nullptr, prompt, type, 0);
}

int CWinApp::Run(HINSTANCE instance) {
  m_instance = instance;
  InitInstance();
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

MainWindowScope::MainWindowScope(const CDialog& dialog) {
  if (g_app) g_app->SetMainWindow(&dialog);
}

MainWindowScope::~MainWindowScope() {
  if (g_app) g_app->SetMainWindow(nullptr);
}

int AfxMessageBox(const std::wstring& text, UINT type, UINT helpId) {
  CWinApp* app = AfxGetApp();
  return app ? app->DoMessageBox(text.c_str(), type, helpId)
             : ShowStandardBox(nullptr, MemStringResources(), nullptr, nullptr, text.c_str(), type, 0);
}

}  // namespace kestlib

// The program's entry point: the one application object does everything.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  kestlib::RestrictDllSearch();
  kestlib::CWinApp* app = kestlib::AfxGetApp();
  return app ? app->Run(instance) : -1;
}
