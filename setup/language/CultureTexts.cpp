#include "setup/language/CultureTexts.h"

#include <utility>

void ApplyCultureTexts(const ConfigStore& config, const std::wstring& culture, std::wstring& productName,
                       hvmsi::InstallStringResources& strings) {
  const std::wstring section = L"LANG_" + culture;
  const std::wstring name = config.GetValue(section, L"ProductName", L"");
  if (!name.empty()) productName = name;
  strings.SetProperty(L"ProductName", productName);
  for (const auto& [key, id] : {std::pair{L"ProgressTitle", L"SfxProgressTitle"},
                                std::pair{L"ProgressText", L"SfxProgressText"},
                                std::pair{L"StartSetup", L"StartSetup"}}) {
    const std::wstring text = config.GetValue(section, key, L"");
    if (!text.empty()) strings.SetString(id, text);
  }
}
