// The run after start-up: extraction behind the progress dialog, then the
// setup. Start-up hands over the settled settings and takes the exit code.
#pragma once

#include <cstdint>

#include "RunSettings.h"

std::int32_t RunInstallation(const RunSettings& settings);
