// A culture's own texts from the configuration's "LANG_" section.
#pragma once

#include <string>

#include "core/payload/ConfigStore.h"
#include "hvmsi/InstallStringResources.h"

// A non-empty "ProductName" of the culture replaces productName; the
// product name as it then stands fills the [ProductName] placeholder; the
// progress and start texts replace those of the table when given.
void ApplyCultureTexts(const ConfigStore& config, const std::wstring& culture, std::wstring& productName,
                       hvmsi::InstallStringResources& strings);
