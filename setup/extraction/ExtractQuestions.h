// The questions the progress dialog asks on behalf of the extraction.
#pragma once

#include <windows.h>

#include <string>

#include "kestlib/localization/IStringResources.h"

// Asks whether every existing file may be overwritten; true for
// "Overwrite all", false for Cancel or a closed box.
bool AskOverwriteAll(HWND owner, const std::wstring& productName, const kestlib::IStringResources& strings,
                     const std::wstring& existingPath);

// Asks for the archive password and copies it, cut to the buffer's size,
// into buffer; the dialog's result (IDOK when confirmed).
INT_PTR AskPassword(HWND owner, wchar_t* buffer, std::size_t size);
