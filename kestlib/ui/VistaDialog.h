// The look of the system's dialogs: a light content area over a footer
// band that holds the buttons, with a thin separator line between them, in
// colours derived from the system colours.
#pragma once

#include "kestlib/Holders.h"
#include "kestlib/ui/ResizeDlg.h"

#include <windows.h>

namespace kestlib {

class CVistaDialog : public CResizeDlg {
 public:
  CVistaDialog(UINT templateId, HWND parent = nullptr);
  CVistaDialog(std::vector<std::uint8_t> dialogTemplate, HWND parent = nullptr);

  // Pixels; negative for the default of 29 dialog units.
  void SetFooterHeight(int pixels);
  int FooterHeight() const;
  // The client area split at the footer.
  RECT ContentRect() const;
  RECT FooterRect() const;

  // Colours that a subclass sets stay when the system colours change.
  void SetContentColor(COLORREF color);
  void SetFooterColor(COLORREF color);
  void SetSeparatorColor(COLORREF color);
  HBRUSH ContentBrush() const { return m_contentBrush.get(); }
  HBRUSH FooterBrush() const { return m_footerBrush.get(); }

 protected:
  BOOL OnInitDialog() override;
  // Runs before the dialog's own initialisation.
  virtual void OnInitDialogHook() {}
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct Colors {
    COLORREF content;
    COLORREF footer;
    COLORREF separator;
  };

  static Colors DefaultColors();
  void ApplyColors(const Colors& colors);
  void OnSystemColorsChanged();
  void PaintBackground(HDC dc);
  LRESULT OnCtlColor(HDC dc, HWND control);

  Colors m_colors;
  // The defaults in use when the colours were last computed.
  Colors m_defaults;
  UniqueBrush m_contentBrush;
  UniqueBrush m_footerBrush;
  UniqueBrush m_separatorBrush;
  int m_footerHeight = -1;
};

}  // namespace kestlib
