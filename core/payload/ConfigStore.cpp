#include "core/payload/ConfigStore.h"

#include <cwchar>

#include "core/payload/ConfigLines.h"

bool ConfigStore::NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return config::NameLess(a, b);
}

void ConfigStore::Parse(const std::wstring& text) {
  std::wstring section;
  for (const config::ConfigLine& line : config::SplitConfigLines(text)) {
    if (line.kind == config::LineKind::Entry)
      Set(section, line.key, line.value);
    else if (line.kind == config::LineKind::Header)
      section = line.section;
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
