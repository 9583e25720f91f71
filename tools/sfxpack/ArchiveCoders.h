// What of a listed archive the installer cannot extract as it stands.
#pragma once

#include <string>

#include "PayloadPaths.h"

namespace sfxpack {

// Refuses an archive with a coder the installer's engine does not decode
// (naming the method, the items it covers and how to repack) or a stored
// link (which the installer would write as a file holding the link's
// target). source names the archive in the message.
void RequireExtractableItems(const PayloadPaths& listed, const std::string& source);

}  // namespace sfxpack
