// Cost per call of every export on the native build, the host-address
// call beside the bare resolver calls it makes, and heap allocations per
// call. Not part of the test pass or fail.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <netdb.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rkvtps32.h"

// ---- Heap allocations, counted by interposing the C allocator ------------------

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void Count() {
  if (g_counting.load(std::memory_order_relaxed))
    g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" void* malloc(size_t n) {
  Count();
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size) {
  Count();
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n) {
  Count();
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) { __libc_free(p); }

namespace {

const RK_WCHAR kWideGuest[] = {'g', 'u', 'e', 's', 't', '1', 0};

struct NamedCall {
  const char* name;
  std::function<void()> call;
};

char g_buffer[128];
uint16_t g_size;
int16_t g_status;

#define RK_CALL(expr)               \
  [] {                              \
    g_size = sizeof g_buffer;       \
    benchmark::DoNotOptimize(expr); \
  }

const std::vector<NamedCall>& Calls() {
  static const std::vector<NamedCall> calls = {
      {"Nup", RK_CALL(RKGetVTPSStringOfNup(6, g_buffer, &g_size, &g_status))},
      {"ValidA", RK_CALL(RKIsValidJobOwnerStringCodeAndLengthA(4, "guest1", &g_status))},
      {"ValidExA", RK_CALL(RKIsValidJobOwnerStringCodeAndLengthExA(4, "guest1", 0, &g_status))},
      {"ValidW", RK_CALL(RKIsValidJobOwnerStringCodeAndLengthW(4, kWideGuest, &g_status))},
      {"ValidExW", RK_CALL(RKIsValidJobOwnerStringCodeAndLengthExW(4, kWideGuest, 0, &g_status))},
      {"FromInputA", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputA(3, "guest1", 1, 5, g_buffer,
                                                                 &g_size, &g_status))},
      {"FromInputExA", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputExA(3, "guest1", 1, 5, g_buffer,
                                                                     &g_size, 0, &g_status))},
      {"FromInputWithIPA", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputWithIPA(
                               4, "guest1", 1, 5, g_buffer, "~C0A80001", &g_size, &g_status))},
      {"FromInputWithIPExA", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
                                 4, "guest1", 1, 5, g_buffer, "~C0A80001", &g_size, 0, &g_status))},
      {"FromInputW", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputW(3, kWideGuest, 1, 5, g_buffer,
                                                                 &g_size, &g_status))},
      {"FromInputExW", RK_CALL(RKGetVTPSStringOfJobOwnerFromInputExW(3, kWideGuest, 1, 5, g_buffer,
                                                                     &g_size, 0, &g_status))},
      {"UserHost", RK_CALL(RKGetVTPSStringOfJobOwnerStringFromUserHostName(1, 1, 5, g_buffer,
                                                                           &g_size, &g_status))},
      {"UserHostEx", RK_CALL(RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(
                         3, 1, 5, g_buffer, &g_size, 0, &g_status))},
      {"UserHostWithIP", RK_CALL(RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(
                             4, 1, 5, g_buffer, "~C0A80001", &g_size, &g_status))},
      {"UserHostWithIPEx", RK_CALL(RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
                               4, 1, 5, g_buffer, nullptr, &g_size, 0, &g_status))},
      {"HostNameEx", RK_CALL(RKGetVTPSStringOfHostNameEx(1, g_buffer, &g_size, 0, &g_status))},
      {"HostAddress", RK_CALL(RKGetVTPSStringOfHostAddress(g_buffer, &g_size, &g_status))},
      {"HostAddressFromInputA", RK_CALL(RKGetVTPSStringOfHostAddressFromInputA(
                                    "fe80::1%eth0", g_buffer, &g_size, &g_status))},
      {"HostNameFromInputExA", RK_CALL(RKGetVTPSStringOfHostNameFromInputExA(
                                   1, "laptop-ann", g_buffer, &g_size, 0, &g_status))},
      {"HostNameFromInputExW", RK_CALL(RKGetVTPSStringOfHostNameFromInputExW(
                                   1, kWideGuest, g_buffer, &g_size, 0, &g_status))},
  };
  return calls;
}

void BM_Export(benchmark::State& state, const NamedCall* call) {
  for (auto _ : state) call->call();
}

// The resolver calls a host-address call makes, without the library: the
// host name, then its host entry. Their ratio to BM_Export/HostAddress is
// what the binding, start-up and the IPv6 fallback add.
void BM_BareResolution(benchmark::State& state) {
  char host[260];
  hostent entry;
  hostent* found = nullptr;
  char storage[16384];
  int error = 0;
  for (auto _ : state) {
    gethostname(host, sizeof host);
    gethostbyname_r(host, &entry, storage, sizeof storage, &found, &error);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_BareResolution);

// The IPv6 fallback's resolution alone, which a host without a usable
// IPv4 address adds to every host-address call.
void BM_BareAddrInfo(benchmark::State& state) {
  char host[260];
  for (auto _ : state) {
    gethostname(host, sizeof host);
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) == 0) freeaddrinfo(list);
  }
}
BENCHMARK(BM_BareAddrInfo);

void RegisterExports() {
  for (const NamedCall& call : Calls()) {
    benchmark::RegisterBenchmark((std::string("BM_Export/") + call.name).c_str(), BM_Export, &call);
  }
}

// Heap allocations over 10,000 calls of each export: the library itself
// allocates only the conversion block of the wide variants; what else
// shows comes from the C library's resolver and account look-ups.
void ReportAllocations() {
  std::printf("%-20s %s\n", "export", "heap allocations per 10000 calls");
  for (const NamedCall& call : Calls()) {
    call.call();  // warm up whatever the C library sets up once
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < 10000; ++i) call.call();
    g_counting = false;
    std::printf("%-20s %ld\n", call.name, g_allocations.load());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  ReportAllocations();
  RegisterExports();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
