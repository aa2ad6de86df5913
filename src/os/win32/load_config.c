/* The load configuration of every Windows binary this project links.
 *
 * Windows reads Control Flow Guard from an image's load configuration
 * directory: the table of valid call targets and the slots of the check and
 * dispatch functions it fills in when it enforces the guard. MSVC's C
 * runtime brings that directory (`_load_config_used`); MinGW-w64 10, which
 * the DLL is built on, brings none, so the linker would write no directory
 * and the guard instrumentation clang emits would be inert. This file is
 * that directory, for x86, x64 and ARM64. The linker (lld, -guard:cf) defines the __guard_* and
 * __safe_se_handler_* symbols: their addresses are the tables and their
 * values the counts and flags. */
#include <stddef.h>
#include <stdint.h>

extern const char __guard_fids_table[], __guard_fids_count[], __guard_flags[];
extern const char __guard_iat_table[], __guard_iat_count[];
extern const char __guard_longjmp_table[], __guard_longjmp_count[];
#if defined(__i386__)
extern const char __safe_se_handler_table[], __safe_se_handler_count[];
#endif

/* Where Windows does not enforce the guard (older versions, Wine) an
 * instrumented call goes through these: the check accepts every target (the
 * target is in ECX on x86, RCX on x64, X15 on ARM64, and must stay there),
 * the dispatch (x64 only: clang checks, then calls, on the other CPUs) jumps
 * to the target in RAX. Written as bare instructions because the
 * instrumented caller assumes they change no register. */
__attribute__((naked)) static void rk_guard_check(void) { __asm__("ret"); }
#if defined(__x86_64__)
__attribute__((naked)) static void rk_guard_dispatch(void) { __asm__("jmp *%rax"); }
#endif

/* The slots the compiler's instrumentation calls through, in the section
 * the loader makes writable while it puts its own functions there. */
typedef void (*rk_guard_function)(void);
__attribute__((section(".00cfg"), used)) const rk_guard_function __guard_check_icall_fptr =
    rk_guard_check;
#if defined(__x86_64__)
__attribute__((section(".00cfg"), used)) const rk_guard_function __guard_dispatch_icall_fptr =
    rk_guard_dispatch;
#endif

/* IMAGE_LOAD_CONFIG_DIRECTORY up to the long-jump table, as Windows 10
 * reads it. MinGW-w64 10's winnt.h stops before the guard fields. */
struct rk_load_config {
  uint32_t size, time_date_stamp;
  uint16_t major_version, minor_version;
  uint32_t global_flags_clear, global_flags_set, critical_section_default_timeout;
  uintptr_t de_commit_free_block_threshold, de_commit_total_free_threshold, lock_prefix_table,
      maximum_allocation_size, virtual_memory_threshold;
#if defined(_WIN64)
  uintptr_t process_affinity_mask;
  uint32_t process_heap_flags;
#else
  uint32_t process_heap_flags;
  uintptr_t process_affinity_mask;
#endif
  uint16_t csd_version, dependent_load_flags;
  uintptr_t edit_list, security_cookie, se_handler_table, se_handler_count;
  uintptr_t guard_cf_check_function_pointer, guard_cf_dispatch_function_pointer,
      guard_cf_function_table, guard_cf_function_count;
#if defined(_WIN64)
  /* GuardFlags and the code-integrity Flags and Catalog words after it, as
   * one 64-bit field: a 32-bit field cannot take a symbol's address in a
   * 64-bit image. The flags symbol's value is below 2^32, so the two words
   * stay 0. */
  uint64_t guard_flags;
#else
  uint32_t guard_flags;
  uint16_t code_integrity_flags, code_integrity_catalog;
#endif
  uint32_t code_integrity_catalog_offset, code_integrity_reserved;
  uintptr_t guard_address_taken_iat_entry_table, guard_address_taken_iat_entry_count,
      guard_long_jump_target_table, guard_long_jump_target_count;
};

/* Where Windows looks for the fields (winnt.h of the Windows 10 SDK; ARM64
 * images use the 64-bit directory of x64). */
#if defined(_WIN64)
_Static_assert(offsetof(struct rk_load_config, security_cookie) == 0x58, "64-bit layout");
_Static_assert(offsetof(struct rk_load_config, guard_flags) == 0x90, "64-bit layout");
_Static_assert(offsetof(struct rk_load_config, guard_long_jump_target_table) == 0xB0,
               "64-bit layout");
#else
_Static_assert(offsetof(struct rk_load_config, security_cookie) == 0x3C, "x86 layout");
_Static_assert(offsetof(struct rk_load_config, guard_flags) == 0x58, "x86 layout");
_Static_assert(offsetof(struct rk_load_config, guard_long_jump_target_table) == 0x70, "x86 layout");
#endif

const struct rk_load_config _load_config_used = {
    .size = sizeof(struct rk_load_config),
#if defined(__i386__)
    .se_handler_table = (uintptr_t)__safe_se_handler_table,
    .se_handler_count = (uintptr_t)__safe_se_handler_count,
#endif
    .guard_cf_check_function_pointer = (uintptr_t)&__guard_check_icall_fptr,
#if defined(__x86_64__)
    .guard_cf_dispatch_function_pointer = (uintptr_t)&__guard_dispatch_icall_fptr,
#endif
    .guard_cf_function_table = (uintptr_t)__guard_fids_table,
    .guard_cf_function_count = (uintptr_t)__guard_fids_count,
    .guard_flags = (uintptr_t)__guard_flags,
    .guard_address_taken_iat_entry_table = (uintptr_t)__guard_iat_table,
    .guard_address_taken_iat_entry_count = (uintptr_t)__guard_iat_count,
    .guard_long_jump_target_table = (uintptr_t)__guard_longjmp_table,
    .guard_long_jump_target_count = (uintptr_t)__guard_longjmp_count,
};
