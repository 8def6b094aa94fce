// PLACEHOLDER: stands in for the installer sequence until it is built, so
// that the process frame can be built and run end to end. It does nothing and
// returns the sequence's fixed result.
#include "installer/installer_sequence.h"

int32_t RunInstallerSequence(HINSTANCE, HINSTANCE, const WCHAR*, int32_t) {
  return 1;
}
