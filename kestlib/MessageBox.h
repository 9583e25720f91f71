// The one way the system shows a message box: logged, filtered by the run's
// user interface level, shown as the rich message box.
#pragma once

#include <windows.h>

#include "kestlib/Log.h"
#include "kestlib/localization/IStringResources.h"

namespace kestlib {

// Level 0 (silent) shows nothing; level 4 (normal) shows everything; the
// levels between show only errors and warnings.
bool MessageBoxShown(int uiLevel, UINT type);

// Error icon: error; warning icon: warning; anything else: debug.
Severity MessageSeverity(UINT type);

// Logs the box, shows it with the application's name as caption and the
// string table's button labels when the level allows it, and logs the
// answer. The button that closed it, or 0 when it was not shown.
int ShowMessageBox(const wchar_t* text, UINT type, UINT helpId, int uiLevel, const IStringResources& strings);

}  // namespace kestlib
