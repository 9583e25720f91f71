#include "setup/language/CultureTexts.h"

#include <utility>

#include "core/payload/ConfigKeys.h"

void ApplyCultureTexts(const ConfigStore& config, const std::wstring& culture, std::wstring& productName,
                       hvmsi::InstallStringResources& strings) {
  const std::wstring section = configkeys::kLanguagePrefix + culture;
  const std::wstring name = config.GetValue(section, configkeys::kProductName, L"");
  if (!name.empty()) productName = name;
  strings.SetProperty(L"ProductName", productName);
  for (const auto& [key, id] : {std::pair{configkeys::kProgressTitle, L"SfxProgressTitle"},
                                std::pair{configkeys::kProgressText, L"SfxProgressText"},
                                std::pair{configkeys::kStartSetup, L"StartSetup"}}) {
    const std::wstring text = config.GetValue(section, key, L"");
    if (!text.empty()) strings.SetString(id, text);
  }
}
