// The table of the installer's Windows calls, filled with the system's own.
#define SYSTEM_CALLS_DIRECT
#include "frame/system_calls_windows.h"

const SystemCalls kSystemFunctions = {
#define SYSTEM_CALL_DEFAULT(name, field) ::name,
    SYSTEM_CALL_LIST(SYSTEM_CALL_DEFAULT)
#undef SYSTEM_CALL_DEFAULT
};

SystemCalls systemCalls = kSystemFunctions;
