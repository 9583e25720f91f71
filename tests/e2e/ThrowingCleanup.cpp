// Stands in for the removal of the run's folder in a test build of the
// stub: it throws, as an allocation that fails while the removal builds its
// paths and texts would.
#include <new>

#include "setup/startup/RunFolderRemoval.h"

HRESULT RemoveRunFolder(const std::wstring&, const RemovalPause&) { throw std::bad_alloc(); }
