// The question for the archive password, asked when the engine meets
// encrypted data. Its texts come from its template, not the string tables.
#pragma once

#include <windows.h>

#include <string>

#include "kestlib/framework/Dialog.h"

class CEnterPasswordDlg : public kestlib::CDialog {
 public:
  explicit CEnterPasswordDlg(HWND parent);

  // The text entered when the dialog ended with OK.
  const std::wstring& Password() const { return m_password; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  std::wstring m_password;
};
