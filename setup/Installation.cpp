#include "Installation.h"

std::int32_t RunInstallation(const RunSettings& /*settings*/) {
  // The extraction folder is settled; the progress dialog that extracts
  // into it and starts the setup takes over here.
  return 0;
}
