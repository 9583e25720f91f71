// The one way the system shows a message box: filtered by the run's user
// interface level.
#pragma once

#include <windows.h>

namespace kestlib {

// Level 0 (silent) shows nothing; level 4 (normal) shows everything; the
// levels between show only errors and warnings.
bool MessageBoxShown(int uiLevel, UINT type);

// Shows the box with the application's name as caption when the level
// allows it. The button that closed it, or 0 when it was not shown.
int ShowMessageBox(const wchar_t* text, UINT type, UINT helpId, int uiLevel);

}  // namespace kestlib
