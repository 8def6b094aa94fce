// The limit of the Windows binary file open, for callers that build paths and
// must not let the open cut them into the name of a different file: the open
// uses kInstalledPathLimit UTF-16 units of a path and drops the rest.
#pragma once

#include "contract/installer_contract.h"
