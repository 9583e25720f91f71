// The dialog of our framework: a window made from a dialog template (a
// resource or bytes in memory), modal or modeless. Subclasses extend the
// message handling by overriding HandleMessage and falling back to the base.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace kestlib {

class CDialog {
 public:
  // The template resource of the application's module.
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  // A template in memory, DLGTEMPLATE or DLGTEMPLATEEX.
  explicit CDialog(std::vector<std::uint8_t> dialogTemplate, HWND parent = nullptr);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally; the code given to EndDialog, or -1 when the
  // dialog could not be created.
  INT_PTR DoModal();
  // Creates the dialog modeless, visible only if its template says so.
  bool Create();
  // Pumps messages until EndDialog closes the modeless dialog; its code, or
  // -1 when the dialog does not exist or the thread was asked to quit.
  INT_PTR RunModalLoop();
  // Ends the dialog with the code that DoModal or RunModalLoop returns.
  void EndDialog(INT_PTR code);

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  // The control's rectangle in the dialog's client coordinates.
  RECT GetDlgItemRect(HWND control) const;

 protected:
  // Runs once, when the dialog's controls exist; TRUE lets the system set
  // the focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // True when the message was handled, its result in result.
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The template to create from, in the system's message font.
  std::vector<std::uint8_t> PrepareTemplate() const;

  UINT m_templateId = 0;
  std::vector<std::uint8_t> m_template;
  HWND m_parent;
  bool m_modal = false;
  bool m_ended = false;
  INT_PTR m_result = -1;
};

}  // namespace kestlib
