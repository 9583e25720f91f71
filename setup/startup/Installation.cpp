#include "setup/startup/Installation.h"

#include "setup/extraction/SelfExtractingDlg.h"

std::int32_t RunInstallation(const RunSettings& settings, const kestlib::IStringResources& strings) {
  CSelfExtractingDlg dialog(nullptr, settings, strings);
  dialog.DoModal();
  return dialog.Result();
}
