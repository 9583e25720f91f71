// Builds dialog templates in memory, in the plain or the extended layout,
// for tests that create real dialogs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Predefined window classes by their template ordinals.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

class DialogTemplateBuilder {
 public:
  DialogTemplateBuilder(DWORD style, short cx, short cy, bool extended = false)
      : m_style(style | DS_SETFONT), m_cx(cx), m_cy(cy), m_extended(extended) {}

  DialogTemplateBuilder& Font(const std::wstring& face, WORD points) {
    m_face = face;
    m_points = points;
    return *this;
  }
  DialogTemplateBuilder& Add(WORD id, WORD classOrdinal, short x, short y, short cx, short cy,
                             DWORD style = WS_CHILD | WS_VISIBLE) {
    m_items.push_back({id, classOrdinal, x, y, cx, cy, style});
    return *this;
  }

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> out;
    const WORD count = static_cast<WORD>(m_items.size());
    if (m_extended) {
      Put(out, WORD{1}, WORD{0xFFFF}, DWORD{0}, DWORD{0}, m_style);
    } else {
      Put(out, m_style, DWORD{0});
    }
    Put(out, count, short{0}, short{0}, m_cx, m_cy);
    Put(out, WORD{0}, WORD{0});  // no menu, the dialog class
    PutString(out, L"Test dialog");
    Put(out, m_points);
    if (m_extended) Put(out, WORD{FW_NORMAL}, std::uint8_t{0}, std::uint8_t{DEFAULT_CHARSET});
    PutString(out, m_face);
    for (const Item& item : m_items) {
      out.resize((out.size() + 3) & ~std::size_t{3}, 0);
      if (m_extended) {
        Put(out, DWORD{0}, DWORD{0}, item.style, item.x, item.y, item.cx, item.cy, DWORD{item.id});
      } else {
        Put(out, item.style, DWORD{0}, item.x, item.y, item.cx, item.cy, item.id);
      }
      Put(out, WORD{0xFFFF}, item.classOrdinal);
      PutString(out, L"x");
      Put(out, WORD{0});  // no creation data
    }
    return out;
  }

 private:
  struct Item {
    WORD id;
    WORD classOrdinal;
    short x, y, cx, cy;
    DWORD style;
  };

  template <typename... Values>
  static void Put(std::vector<std::uint8_t>& out, Values... values) {
    (PutOne(out, values), ...);
  }
  template <typename Value>
  static void PutOne(std::vector<std::uint8_t>& out, Value value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(value));
  }
  static void PutString(std::vector<std::uint8_t>& out, const std::wstring& text) {
    for (wchar_t unit : text) PutOne(out, static_cast<WORD>(unit));
    PutOne(out, WORD{0});
  }

  DWORD m_style;
  short m_cx, m_cy;
  bool m_extended;
  std::wstring m_face = L"MS Shell Dlg";
  WORD m_points = 8;
  std::vector<Item> m_items;
};

}  // namespace testing_support
