// The language dialog: the user picks one of the languages that the
// configuration offers before anything else is shown.
#pragma once

#include <windows.h>

#include <string>

#include "core/localization/Cultures.h"
#include "kestlib/Holders.h"
#include "kestlib/localization/IStringResources.h"
#include "kestlib/ui/VistaDialog.h"

class CUnzipLanguageDlg : public kestlib::CVistaDialog {
 public:
  // names: offered code to display name; preselected: the code shown first.
  CUnzipLanguageDlg(HWND parent, CultureNames names, std::wstring preselected,
                    const kestlib::IStringResources& strings);

  // The code confirmed with OK; empty when its name was not offered.
  const std::wstring& GetSelectedCulture() const { return m_selected; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  CultureNames m_names;
  std::wstring m_preselected;
  const kestlib::IStringResources& m_strings;
  std::wstring m_selected;
  kestlib::UniqueIcon m_smallIcon;
  kestlib::UniqueIcon m_bigIcon;
};
