#include "setup/App.h"

// The one application object; the framework's entry point runs it.
CApp theApp;
