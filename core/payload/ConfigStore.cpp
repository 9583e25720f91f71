#include "core/payload/ConfigStore.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include <boost/algorithm/string/trim.hpp>

namespace {

bool IsSpace(wchar_t c) { return std::iswspace(static_cast<std::wint_t>(c)) != 0; }

std::wstring Trimmed(const std::wstring& s) { return boost::algorithm::trim_copy_if(s, IsSpace); }

// Splits off the next line at CR, LF, CR LF or LF CR. Returns false when
// the line had no line end (it was the last one).
bool NextLine(const std::wstring& text, std::size_t& pos, std::wstring& line) {
  const std::size_t end = text.find_first_of(L"\r\n", pos);
  if (end == std::wstring::npos) {
    line.assign(text, pos, std::wstring::npos);
    pos = text.size();
    return false;
  }
  line.assign(text, pos, end - pos);
  pos = end + 1;
  if (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n') && text[pos] != text[end]) ++pos;
  return true;
}

}  // namespace

bool ConfigStore::NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
    return std::towlower(static_cast<std::wint_t>(x)) < std::towlower(static_cast<std::wint_t>(y));
  });
}

void ConfigStore::Parse(const std::wstring& text) {
  std::wstring section;
  std::wstring line;
  std::size_t pos = 0;
  bool more = !text.empty();
  while (more) {
    more = NextLine(text, pos, line);
    if (line.empty() || line[0] == L';') continue;
    const std::size_t eq = line.find(L'=');
    if (eq != std::wstring::npos) {
      std::wstring value = Trimmed(line.substr(eq + 1));
      if (!value.empty() && value.front() == L'"' && value.back() == L'"')
        value = value.size() == 1 ? std::wstring() : value.substr(1, value.size() - 2);
      Set(section, Trimmed(line.substr(0, eq)), value);
      continue;
    }
    const std::size_t open = line.find(L'[');
    const std::size_t close = line.rfind(L']');
    if (open != std::wstring::npos && close != std::wstring::npos && close > open)
      section = Trimmed(line.substr(open + 1, close - open - 1));
  }
}

void ConfigStore::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  auto found = m_index.find(section);
  if (found == m_index.end()) {
    found = m_index.emplace(section, m_sections.size()).first;
    m_sections.push_back(Section{section, {}});
  }
  // The spelling of the first entry stays; the last value wins.
  m_sections[found->second].values[key] = value;
}

const ConfigStore::Section* ConfigStore::Find(const std::wstring& section) const {
  const auto found = m_index.find(section);
  return found == m_index.end() ? nullptr : &m_sections[found->second];
}

std::wstring ConfigStore::GetValue(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultValue) const {
  if (const Section* s = Find(section)) {
    const auto entry = s->values.find(key);
    if (entry != s->values.end()) return entry->second;
  }
  return defaultValue;
}

std::int32_t ConfigStore::GetInt(const std::wstring& section, const std::wstring& key,
                                 std::int32_t defaultValue) const {
  const std::wstring value = GetValue(section, key, std::wstring());
  if (value.empty()) return defaultValue;
  int number = 0;
  if (std::swscanf(value.c_str(), L"%d", &number) != 1) return 0;
  return number;
}

std::vector<std::wstring> ConfigStore::GetSections() const {
  std::vector<std::wstring> names;
  names.reserve(m_sections.size());
  for (const Section& s : m_sections) names.push_back(s.name);
  return names;
}
