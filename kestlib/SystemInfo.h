// Facts about the running system.
#pragma once

namespace kestlib {

// True on 64-bit Windows, where this 32-bit program runs under WOW64; false
// also where the system cannot be asked.
bool RunsUnderWow64();

}  // namespace kestlib
