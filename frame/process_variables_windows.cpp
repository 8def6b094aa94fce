#include "frame/process_variables_windows.h"

HINSTANCE instanceHandle = nullptr;

void ClearProcessVariables() {
  instanceHandle = nullptr;
}
