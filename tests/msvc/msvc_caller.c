/* A caller built the way a Windows driver is: MSVC's ABI (clang in MSVC
 * mode), linked by an MSVC-compatible linker (lld-link) against the .lib
 * import library, with no C runtime and no Windows SDK, only the public
 * header. It calls an export of every family and, on x86, checks that the
 * stack pointer is where it was after thousands of __stdcall calls: a
 * calling-convention mismatch moves it on every call. */
#include "rkvtps32.h"

/* The few kernel32 calls it needs, declared here: there is no SDK. */
#if defined(_WIN64)
#define RK_WINAPI
#else
#define RK_WINAPI __stdcall
#endif
__declspec(dllimport) void* RK_WINAPI GetStdHandle(unsigned long which);
__declspec(dllimport) int RK_WINAPI WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void RK_WINAPI ExitProcess(unsigned int code);

static void Say(const char* text) {
  unsigned long length = 0, written = 0;
  while (text[length] != '\0') ++length;
  WriteFile(GetStdHandle((unsigned long)-11), text, length, &written, 0);
}

static int Same(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

static int failures = 0;

static void Expect(int ok, const char* what) {
  if (!ok) {
    Say("msvc caller: FAILED ");
    Say(what);
    Say("\n");
    ++failures;
  }
}

static int Command(int32_t result, const char* buffer, const char* expected) {
  return result == 1 && Same(buffer, expected);
}

static void CallEveryFamily(void) {
  char buffer[80];
  uint16_t size;
  int16_t status;
  static const RK_WCHAR wide_guest[] = {'g', 'u', 'e', 's', 't', '1', 0};

  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfNup(12, buffer, &size, &status), buffer, "@NLPP=N32"), "nup");
  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfJobOwnerFromInputA(3, "guest1", 1, 5, buffer, &size, &status),
                 buffer, "@JOAU=#CB6@d,F>3"),
         "owner A");
  size = sizeof buffer;
  Expect(
      Command(RKGetVTPSStringOfJobOwnerFromInputExW(3, wide_guest, 1, 5, buffer, &size, 0, &status),
              buffer, "@JOAU=#CB6@d,F>3"),
      "owner ExW");
  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfJobOwnerFromInputWithIPExA(4, "guest1", 1, 5, buffer, "~C0A80001",
                                                             &size, 0, &status),
                 buffer, "@JOAU=#CB6@d,F>8530L7ZP0JG3"),
         "owner WithIPExA");
  size = sizeof buffer;
  Expect(RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(1, 1, 5, buffer, &size, 0, &status) == 1,
         "owner from user and host");
  Expect(RKIsValidJobOwnerStringCodeAndLengthA(4, "abcdefghijklmnop", &status) == 0 &&
             status == RK_STATUS_TOO_LONG,
         "validation A");
  Expect(RKIsValidJobOwnerStringCodeAndLengthExW(4, wide_guest, 0, &status) == 1, "validation ExW");
  size = sizeof buffer;
  Expect(RKGetVTPSStringOfHostNameEx(5, buffer, &size, RK_CHARSET_NO_CHECK, &status) == 1,
         "client name");
  size = sizeof buffer;
  status = RK_STATUS_OK;
  RKGetVTPSStringOfHostAddress(buffer, &size, &status); /* a fact of the host, either way */
  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfHostAddressFromInputA("192.168.1.10", buffer, &size, &status),
                 buffer, "@HOAD=IC0A8010A"),
         "host address from input");
  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfHostNameFromInputExA(1, "laptop", buffer, &size, 0, &status),
                 buffer, "@CNAM=laptop"),
         "client name from input A");
  size = sizeof buffer;
  Expect(Command(RKGetVTPSStringOfHostNameFromInputExW(1, wide_guest, buffer, &size, 0, &status),
                 buffer, "@CNAM=guest1"),
         "client name from input W");
}

#if !defined(_WIN64)
static void* StackPointer(void) {
  void* sp;
  __asm__ volatile("movl %%esp, %0" : "=r"(sp));
  return sp;
}
#endif

void Start(void) {
  int i;
#if !defined(_WIN64)
  void* before = StackPointer();
#endif
  CallEveryFamily();
  for (i = 0; i < 2000; ++i) {
    char buffer[16];
    uint16_t size = sizeof buffer;
    int16_t status;
    RKGetVTPSStringOfNup((uint16_t)(i % 14), buffer, &size, &status);
    RKIsValidJobOwnerStringCodeAndLengthExA(1, "guest1", 0, &status);
  }
#if !defined(_WIN64)
  Expect(StackPointer() == before, "stack pointer moved over 4000 __stdcall calls");
#endif
  Say(failures == 0 ? "msvc caller: ok\n" : "msvc caller: failed\n");
  ExitProcess(failures == 0 ? 0 : 1);
}
