// Faults injected into the installer's Windows calls through its call table:
// the Nth call of a kind (counted from the arming) fails once, or fails from
// then on, returning a chosen value with a chosen last error; every other call
// goes to the system. Calls are counted whether they fail or not.
//
//   InjectFault<&SystemCalls::writeFile>({3, kOnce, FALSE, ERROR_DISK_FULL});
//   ... run the installer code ...
//   EXPECT_EQ(CallCount<&SystemCalls::writeFile>(), 5);
//   EXPECT_EQ(FailedCount<&SystemCalls::writeFile>(), 1);
//   RemoveFaults();
#pragma once

#define SYSTEM_CALLS_DIRECT
#include "frame/system_calls_windows.h"

#include <cstdint>
#include <type_traits>

enum FaultRepeat : int32_t { kOnce, kFromThenOn };

struct FaultPlan {
  int32_t nth;  // the first call that fails, counted from 1; 0: none fails
  FaultRepeat repeat;
  uintptr_t value;  // what the failing call returns, converted to its type
  DWORD lastError;  // what it leaves as the last error
};

template <auto Field>
struct InjectedCall;

template <typename Result, typename... Arguments,
          Result (WINAPI* SystemCalls::*Field)(Arguments...)>
struct InjectedCall<Field> {
  static FaultPlan plan;
  static int32_t count;
  static int32_t failedCount;

  static Result WINAPI Call(Arguments... arguments) {
    count += 1;
    bool fails =
        plan.nth > 0 && (count == plan.nth || (plan.repeat == kFromThenOn && count > plan.nth));
    if (!fails) {
      return (kSystemFunctions.*Field)(arguments...);
    }
    failedCount += 1;
    SetLastError(plan.lastError);
    if constexpr (std::is_pointer_v<Result>) {
      return reinterpret_cast<Result>(plan.value);
    } else {
      return static_cast<Result>(plan.value);
    }
  }
};

template <typename Result, typename... Arguments,
          Result (WINAPI* SystemCalls::*Field)(Arguments...)>
FaultPlan InjectedCall<Field>::plan;
template <typename Result, typename... Arguments,
          Result (WINAPI* SystemCalls::*Field)(Arguments...)>
int32_t InjectedCall<Field>::count;
template <typename Result, typename... Arguments,
          Result (WINAPI* SystemCalls::*Field)(Arguments...)>
int32_t InjectedCall<Field>::failedCount;

// Puts the counting (and, with a plan, failing) call in the table's field.
template <auto Field>
void InjectFault(FaultPlan plan = FaultPlan{0, kOnce, 0, 0}) {
  InjectedCall<Field>::plan = plan;
  InjectedCall<Field>::count = 0;
  InjectedCall<Field>::failedCount = 0;
  systemCalls.*Field = InjectedCall<Field>::Call;
}

// Counts the calls of a kind from now on, keeping a fault already injected
// there (and its count).
template <auto Field>
void CountCalls() {
  if (systemCalls.*Field != InjectedCall<Field>::Call) {
    InjectFault<Field>();
  }
}

template <auto Field>
int32_t CallCount() {
  return InjectedCall<Field>::count;
}

// The calls that the plan failed.
template <auto Field>
int32_t FailedCount() {
  return InjectedCall<Field>::failedCount;
}

// Puts the system's own functions back in every field.
inline void RemoveFaults() {
  systemCalls = kSystemFunctions;
}
