// The parsed configuration text: INI-like sections of key=value lines.
// Names compare case-insensitively; the spelling first written is kept.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ConfigStore {
 public:
  // Adds the sections and entries of text. Malformed lines are skipped.
  void Parse(const std::wstring& text);

  // The value when the section holds the key, even an empty one.
  std::wstring GetValue(const std::wstring& section, const std::wstring& key,
                        const std::wstring& defaultValue) const;
  // The value read as "%d"; the default when the key is absent or empty.
  std::int32_t GetInt(const std::wstring& section, const std::wstring& key,
                      std::int32_t defaultValue) const;
  // Section names in order of first appearance.
  std::vector<std::wstring> GetSections() const;

 private:
  struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
  };
  struct Section {
    std::wstring name;
    std::map<std::wstring, std::wstring, NoCaseLess> values;
  };

  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  const Section* Find(const std::wstring& section) const;

  std::vector<Section> m_sections;
  std::map<std::wstring, std::size_t, NoCaseLess> m_index;
};
