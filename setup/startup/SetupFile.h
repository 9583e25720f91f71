// Whether the installer file on disk is complete: a download that broke off
// leaves the image intact and the archive behind it cut short.
#pragma once

#include <string>

#include "kestlib/localization/IStringResources.h"

// Empty when the executable file at path has the size it declares for
// itself (the end of its certificate table when signed, otherwise its
// 8-byte RCDATA resource "_HLV_VERIFY"); otherwise the message to show,
// with texts from strings.
std::wstring SetupFileError(const std::wstring& path, const kestlib::IStringResources& strings);
