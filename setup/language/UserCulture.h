// The culture of the user's own settings, the installer's choice when the
// command line names none.
#pragma once

#include <string>

// Language and region ("de-AT") of the user's locale when it speaks the
// interface language, else of the interface language; empty when the
// system cannot name them.
std::wstring UserDefaultCulture();
