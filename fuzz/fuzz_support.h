// Shared by the fuzz targets: the scripted operating system drawn from the
// fuzz input, and the invariants every export call must keep.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fake_os.h"
#include "rkvtps32.h"

namespace rk::fuzz {

// Sets every answer of the fake operating system from the input.
inline void ScriptFromInput(FuzzedDataProvider& in) {
  rk::fake::Reset();
  rk::fake::Script& s = rk::fake::script();
  s.computer_name_fails = in.ConsumeBool();
  s.computer_name = in.ConsumeRandomLengthString(48);
  s.user_name_fails = in.ConsumeBool();
  s.user_name = in.PickValueInArray({std::string("SYSTEM"), std::string("System"), std::string()});
  if (s.user_name.empty()) s.user_name = in.ConsumeRandomLengthString(48);
  s.open_key_result = in.ConsumeBool() ? 0 : 2;
  s.query_value_result = in.ConsumeBool() ? 0 : 2;
  s.default_user_name = in.ConsumeRandomLengthString(48);
  s.default_user_name_terminated = in.ConsumeBool();
  s.code_page = in.PickValueInArray({932u, 1252u});
  s.allocation_fails = in.ConsumeIntegralInRange(0, 7) == 0;
  s.module =
      in.PickValueInArray({os::ModuleHandle{0}, os::ModuleHandle{32}, os::ModuleHandle{0x1000},
                           os::ModuleHandle{0x1000}, os::ModuleHandle{0x1000}});
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    s.missing_entry_points.insert(in.PickValueInArray(
        {"WSAStartup", "WSACleanup", "gethostname", "gethostbyname", "inet_ntoa", "inet_addr",
         "getaddrinfo", "getnameinfo", "freeaddrinfo"}));
  }
  s.startup_result = in.ConsumeIntegralInRange(0, 7) == 0 ? 10091 : 0;
  s.granted_version =
      in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<uint16_t>() : 0x0202;
  s.host_name_fails = in.ConsumeIntegralInRange(0, 7) == 0;
  s.host_entry_missing = in.ConsumeIntegralInRange(0, 7) == 0;
  s.inet_addr_fails = in.ConsumeIntegralInRange(0, 7) == 0;
  const int ipv4 = in.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < ipv4; ++i) {
    rk::fake::Ipv4 a{};
    const int kind = in.ConsumeIntegralInRange(0, 3);  // loopback, link-local, broadcast, any
    if (kind == 0) a = {127, 0, 0, 1};
    if (kind == 1) a = {169, 254, in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>()};
    if (kind == 2) a = {255, 255, 255, 255};
    if (kind == 3) {
      for (auto& b : a) b = in.ConsumeIntegral<uint8_t>();
    }
    s.ipv4_addresses.push_back(a);
  }
  s.first_addrinfo_result = in.ConsumeIntegralInRange(0, 7) == 0 ? EAI_FAIL : 0;
  s.second_addrinfo_result = in.ConsumeIntegralInRange(0, 7) == 0 ? EAI_FAIL : 0;
  const int ipv6 = in.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < ipv6; ++i) {
    rk::fake::AddressEntry e;
    e.family = in.ConsumeIntegralInRange(0, 4) == 0 ? AF_INET : AF_INET6;
    const int kind = in.ConsumeIntegralInRange(0, 4);  // ::1, fe80::1, fe80::x, other
    if (kind == 0) e.bytes[15] = 1;
    if (kind == 1) e.bytes = {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (kind == 2) {
      e.bytes = {0xFE, 0x80};
      e.bytes[15] = in.ConsumeIntegral<uint8_t>();
    }
    if (kind >= 3) {
      for (auto& b : e.bytes) b = in.ConsumeIntegral<uint8_t>();
    }
    if (in.ConsumeIntegralInRange(0, 7) == 0) s.unnamed_addresses.insert(e.bytes);
    s.addrinfo_entries.push_back(e);
  }
}

// A text from the input: usually short, sometimes far beyond every buffer.
inline std::string TextFromInput(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    return std::string(in.ConsumeIntegralInRange<size_t>(80, 70000),
                       static_cast<char>(in.ConsumeIntegral<uint8_t>()));
  }
  return in.ConsumeRandomLengthString(100);
}

inline std::vector<RK_WCHAR> WideFromInput(FuzzedDataProvider& in) {
  std::vector<RK_WCHAR> wide;
  const size_t n =
      in.ConsumeIntegralInRange<size_t>(0, in.ConsumeIntegralInRange(0, 15) == 0 ? 5000 : 60);
  for (size_t i = 0; i < n; ++i) {
    RK_WCHAR unit = in.ConsumeIntegral<uint16_t>();
    if (unit == 0) unit = 0x3042;
    wide.push_back(unit);
  }
  wide.push_back(0);
  return wide;
}

// The selectors every job-owner export takes.
struct OwnerKeys {
  uint16_t code_type, column, row, mask;
};

inline OwnerKeys OwnerKeysFromInput(FuzzedDataProvider& in) {
  OwnerKeys k;
  k.code_type = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                                 : in.PickValueInArray<uint16_t>({1, 2, 3, 4, 5, 32, 255});
  k.column = in.ConsumeIntegral<uint16_t>();
  k.row = in.ConsumeIntegral<uint16_t>();
  k.mask = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>()
                            : in.PickValueInArray<uint16_t>({0, 0xFFFF});
  return k;
}

[[noreturn]] inline void Violated(const char* what) {
  std::fprintf(stderr, "invariant violated: %s\n", what);
  std::abort();
}

// One builder call through a canary-filled buffer of `capacity` bytes (or
// a null buffer). `delivered_when_result` is false for the wide job-owner
// exports, whose result is 1 whatever happened: there the status tells.
template <typename Call>
void CheckBuilderCall(FuzzedDataProvider& in, Call call, bool wide_result = false) {
  const bool null_buffer = in.ConsumeIntegralInRange(0, 7) == 0;
  const uint16_t capacity = in.ConsumeIntegralInRange(0, 3) == 0
                                ? in.ConsumeIntegral<uint16_t>() % 128
                                : in.ConsumeIntegralInRange<uint16_t>(0, 130);
  std::vector<char> buffer(static_cast<size_t>(capacity) + 1,
                           '\xA5');  // exact room, plus one canary
  const std::vector<char> before = buffer;
  uint16_t size = capacity;
  int16_t status = in.ConsumeIntegral<int16_t>();
  const int32_t result = call(null_buffer ? nullptr : buffer.data(), &size, &status);
  if (buffer.back() != '\xA5') Violated("wrote past the buffer's capacity");
  const bool delivered = result == 1 && (!wide_result || status == RK_STATUS_OK);
  if (delivered) {
    if (null_buffer) Violated("delivered into a null buffer");
    const char* command = buffer.data();
    if (std::memchr(command, '\0', capacity) == nullptr) Violated("command not terminated");
    if (size != std::strlen(command)) Violated("size word is not the command's length");
    if (command[0] != '@' || command[5] != '=') Violated("command does not start with @XXXX=");
    for (int i = 1; i <= 4; ++i) {
      if (command[i] < 'A' || command[i] > 'Z') Violated("command name not upper case");
    }
  } else {
    if (result != 0 && !wide_result) Violated("result neither 0 nor 1");
    if (buffer != before) Violated("buffer changed without a command");
    if (size != capacity && status != RK_STATUS_BUFFER_TOO_SMALL)
      Violated("size word changed without status 3");
    if (status == RK_STATUS_BUFFER_TOO_SMALL && size <= capacity)
      Violated("size needed not above the capacity");
  }
  if (rk::fake::OutstandingResources() != 0) Violated("a resource was not returned");
}

}  // namespace rk::fuzz
