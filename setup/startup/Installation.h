// The run after start-up: extraction behind the progress dialog, then the
// setup. Start-up hands over the settled settings and its string table and
// takes the exit code.
#pragma once

#include <cstdint>

#include "core/startup/RunSettings.h"
#include "kestlib/localization/IStringResources.h"

std::int32_t RunInstallation(const RunSettings& settings, const kestlib::IStringResources& strings);
