// Finds and deciphers the configuration block in an installer file.
#pragma once

#include <windows.h>

#include <string>

// 0 and the configuration text; 0x8007000D when the file holds no usable
// block; the HRESULT of the Win32 error when the file cannot be read.
HRESULT LocatePayload(const std::wstring& path, std::wstring& text);
