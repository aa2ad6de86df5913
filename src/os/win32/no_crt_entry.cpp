// What a C runtime would give the DLL before its own code runs, for the
// build that links none (ARM64): the canary that stack-protected functions
// check, made random when the DLL is loaded, and the end of a process whose
// check failed. The loader calls RkDllEntry, which then calls DllMain.
#include <windows.h>

#include <cstdint>

extern "C" {

// Stands until the loader calls the entry point; nothing runs before that.
uintptr_t __stack_chk_guard = 0x2b992ddfa23249d6u;

// RtlGenRandom.
BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

// A smashed stack cannot be trusted to unwind: end the process at once,
// as Windows does for a failed /GS check (__fastfail, code in x0).
[[noreturn]] void __stack_chk_fail() {
  register uintptr_t code asm("x0") = FAST_FAIL_STACK_COOKIE_CHECK_FAILURE;
  asm volatile("brk #0xf003" : : "r"(code));
  __builtin_unreachable();
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

// Runs before any protected function, so it may change the canary. Should
// the random source fail, the DLL's own (randomized) load address still
// makes the canary differ from the value above.
__attribute__((no_stack_protector)) BOOL WINAPI RkDllEntry(HINSTANCE module, DWORD reason,
                                                           LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    uintptr_t guard = 0;
    __stack_chk_guard = SystemFunction036(&guard, sizeof guard) && guard != 0
                            ? guard
                            : __stack_chk_guard ^ reinterpret_cast<uintptr_t>(module);
  }
  return DllMain(module, reason, reserved);
}

}  // extern "C"
