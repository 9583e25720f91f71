#include "kestlib/ui/RichEditCtrlEx.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include <boost/regex.hpp>

#include "core/ui/RtfText.h"
#include "kestlib/Holders.h"
#include "kestlib/SystemInfo.h"

namespace kestlib {

namespace {

// The class lives in msftedit.dll, loaded from the system folder only; it
// stays for the process, as windows of its class may exist until the end.
bool LoadRichEditClass() {
  static const UniqueModule library = LoadSystemLibrary(L"msftedit.dll");
  return static_cast<bool>(library);
}

struct StreamSource {
  const std::string* bytes;
  std::size_t offset;
};

DWORD CALLBACK ReadDocument(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  const std::size_t left = source->bytes->size() - source->offset;
  const std::size_t count = std::min(left, static_cast<std::size_t>(wanted));
  std::copy_n(source->bytes->data() + source->offset, count, buffer);
  source->offset += count;
  *given = static_cast<LONG>(count);
  return 0;
}

CHARFORMAT2W SelectionFormat(HWND control, LONG first, LONG last) {
  CHARRANGE range{first, last};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  SendMessageW(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

}  // namespace

bool CRichEditCtrlEx::Create(HWND parent, int id, DWORD style, const RECT& rect) {
  if (!LoadRichEditClass()) return false;
  m_hWnd = CreateWindowExW(0, MSFTEDIT_CLASS, L"", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  if (!m_hWnd) return false;
  SetWindowSubclass(m_hWnd, &CRichEditCtrlEx::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void CRichEditCtrlEx::StreamIn(const std::string& document) {
  StreamSource source{&document, 0};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &ReadDocument};
  SendMessageW(m_hWnd, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

void CRichEditCtrlEx::SetRtf(const std::string& document) {
  SendMessageW(m_hWnd, EM_SETEDITSTYLEEX, SES_EX_HANDLEFRIENDLYURL, SES_EX_HANDLEFRIENDLYURL);
  StreamIn(document);
  m_ownLinks.clear();
  const LRESULT style = SendMessageW(m_hWnd, EM_GETEDITSTYLEEX, 0, 0);
  if ((style & SES_EX_HANDLEFRIENDLYURL) == 0) {
    static const std::wstring kInstruction = L"HYPERLINK \"";
    if (PlainText().find(kInstruction) != std::wstring::npos || document.find("{\\field") == std::string::npos) {
      MarkLinksByHand();
    } else {
      // The control dropped the fields: their texts become links here.
      StreamIn(FieldsAsMarkedText(document));
      MakeOwnLinks();
    }
  }
  m_links.clear();
  FindLinkRanges(0, GetWindowTextLengthW(m_hWnd));
  CHARRANGE none{0, 0};
  SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

void CRichEditCtrlEx::MarkLinksByHand() {
  static const boost::wregex field(L"HYPERLINK \".*?\"(.*?)\\*HVLINKEND");
  CHARRANGE saved{};
  SendMessageW(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved));
  const std::wstring text = PlainText();
  for (boost::wsregex_iterator match(text.cbegin(), text.cend(), field), end; match != end; ++match) {
    const LONG first = static_cast<LONG>(match->position(1));
    CHARRANGE range{first, first + static_cast<LONG>(match->length(1))};
    SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_UNDERLINE | CFM_COLOR;
    format.dwEffects = CFE_UNDERLINE;
    format.crTextColor = GetSysColor(COLOR_HOTLIGHT);
    SendMessageW(m_hWnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  }
  SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
}

void CRichEditCtrlEx::MakeOwnLinks() {
  const std::wstring text = PlainText();
  struct Marked {
    std::size_t open, middle, close;
  };
  std::vector<Marked> marked;
  for (std::size_t at = text.find(L'\uE000'); at != std::wstring::npos; at = text.find(L'\uE000', at + 1)) {
    const std::size_t middle = text.find(L'\uE001', at);
    const std::size_t close = middle == std::wstring::npos ? middle : text.find(L'\uE002', middle);
    if (close == std::wstring::npos) break;
    marked.push_back({at, middle, close});
    at = close;
  }
  // Positions once the markers and targets before them are gone.
  LONG removed = 0;
  for (const Marked& m : marked) {
    const LONG first = static_cast<LONG>(m.open) - removed;
    m_ownLinks.push_back({first, first + static_cast<LONG>(m.close - m.middle - 1),
                          text.substr(m.open + 1, m.middle - m.open - 1)});
    removed += static_cast<LONG>(m.middle - m.open + 1) + 1;
  }
  SendMessageW(m_hWnd, EM_SETREADONLY, FALSE, 0);
  for (auto m = marked.rbegin(); m != marked.rend(); ++m) {
    ReplaceRange(static_cast<LONG>(m->close), static_cast<LONG>(m->close) + 1);
    ReplaceRange(static_cast<LONG>(m->open), static_cast<LONG>(m->middle) + 1);
  }
  SendMessageW(m_hWnd, EM_SETREADONLY, TRUE, 0);
  for (const OwnLink& link : m_ownLinks) {
    CHARRANGE range{link.first, link.last};
    SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_LINK | CFM_UNDERLINE | CFM_COLOR;
    format.dwEffects = CFE_LINK | CFE_UNDERLINE;
    format.crTextColor = GetSysColor(COLOR_HOTLIGHT);
    SendMessageW(m_hWnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  }
}

void CRichEditCtrlEx::ReplaceRange(LONG first, LONG last) {
  CHARRANGE range{first, last};
  SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

std::wstring CRichEditCtrlEx::OwnLinkTarget(LONG first, LONG last) const {
  for (const OwnLink& link : m_ownLinks)
    if (first < link.last && last > link.first) return link.target;
  return {};
}

// Halves a range until each part is all link or no link: a few calls per
// link, whatever the length of the text.
void CRichEditCtrlEx::FindLinkRanges(LONG first, LONG last) {
  if (first >= last) return;
  const CHARFORMAT2W format = SelectionFormat(m_hWnd, first, last);
  if (format.dwMask & CFM_LINK) {
    if (format.dwEffects & CFE_LINK) {
      if (!m_links.empty() && m_links.back().second == first)
        m_links.back().second = last;
      else
        m_links.emplace_back(first, last);
    }
    return;
  }
  if (last - first == 1) return;
  const LONG middle = first + (last - first) / 2;
  FindLinkRanges(first, middle);
  FindLinkRanges(middle, last);
}

SIZE CRichEditCtrlEx::WishedSize() {
  m_requested = {};
  SendMessageW(m_hWnd, EM_SETEVENTMASK, 0, SendMessageW(m_hWnd, EM_GETEVENTMASK, 0, 0) | ENM_REQUESTRESIZE);
  SendMessageW(m_hWnd, EM_REQUESTRESIZE, 0, 0);
  return {m_requested.right - m_requested.left, m_requested.bottom - m_requested.top};
}

void CRichEditCtrlEx::SetWordWrap(bool on) { SendMessageW(m_hWnd, EM_SETTARGETDEVICE, 0, on ? 0 : 1); }

void CRichEditCtrlEx::SetRightMargin(int pixels) {
  SendMessageW(m_hWnd, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELONG(0, pixels));
}

void CRichEditCtrlEx::SetStaticMode(bool on) {
  m_static = on;
  LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  style = on ? (style & ~static_cast<LONG_PTR>(WS_TABSTOP)) : (style | WS_TABSTOP);
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
  SendMessageW(m_hWnd, EM_HIDESELECTION, on, 0);
  if (on) {
    SendMessageW(m_hWnd, EM_SETREADONLY, TRUE, 0);
    SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    HideCaret(m_hWnd);
  } else {
    ShowCaret(m_hWnd);
  }
}

bool CRichEditCtrlEx::HasSelection() const {
  CHARRANGE range{};
  SendMessageW(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range.cpMin != range.cpMax;
}

void CRichEditCtrlEx::CopyAll() {
  CHARRANGE saved{};
  SendMessageW(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved));
  SendMessageW(m_hWnd, EM_SETSEL, 0, -1);
  SendMessageW(m_hWnd, WM_COPY, 0, 0);
  SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
}

std::wstring CRichEditCtrlEx::TextRange(LONG first, LONG last) const {
  if (last <= first) return {};
  std::wstring text(static_cast<std::size_t>(last - first) + 1, L'\0');
  TEXTRANGEW range{{first, last}, text.data()};
  text.resize(static_cast<std::size_t>(SendMessageW(m_hWnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
  return text;
}

std::wstring CRichEditCtrlEx::PlainText() const {
  GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT length = SendMessageW(m_hWnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  return TextRange(0, static_cast<LONG>(length));
}

bool CRichEditCtrlEx::IsLinkAt(POINT client) const {
  const LONG at = static_cast<LONG>(SendMessageW(m_hWnd, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&client)));
  for (const auto& link : m_links)
    if (at >= link.first && at < link.second) return true;
  return false;
}

LRESULT CRichEditCtrlEx::OnStaticMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  switch (message) {
    case WM_GETDLGCODE:
      return 0;
    case WM_NCHITTEST: {
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(m_hWnd, &point);
      // Outside links the dialog gets the mouse, as under a label.
      return IsLinkAt(point) ? HTCLIENT : HTTRANSPARENT;
    }
    case WM_SETFOCUS: {
      const LRESULT result = DefSubclassProc(m_hWnd, message, wParam, lParam);
      HideCaret(m_hWnd);
      return result;
    }
    default:
      handled = false;
      return 0;
  }
}

LRESULT CALLBACK CRichEditCtrlEx::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                DWORD_PTR self) {
  auto* control = reinterpret_cast<CRichEditCtrlEx*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &CRichEditCtrlEx::SubclassProc, id);
    control->m_hWnd = nullptr;
  } else if (control->m_static) {
    bool handled = false;
    const LRESULT result = control->OnStaticMessage(message, wParam, lParam, handled);
    if (handled) return result;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kestlib
