#include "setup/startup/Installation.h"

#include "setup/extraction/SelfExtractingDlg.h"
#include "kestlib/framework/WinApp.h"

std::int32_t RunInstallation(const RunSettings& settings, const kestlib::IStringResources& strings) {
  CSelfExtractingDlg dialog(nullptr, settings, strings);
  const kestlib::MainWindowScope mainWindow(dialog);
  dialog.DoModal();
  return dialog.Result();
}
