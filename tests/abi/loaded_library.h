// The library under test, loaded the way a caller loads it (dlopen or
// LoadLibraryA), and facts about this host gathered without it.
#pragma once

#include <set>
#include <string>

// The export's address, or null.
void* FindExport(const char* name);

template <typename F>
F* Export(const char* name) {
  return reinterpret_cast<F*>(FindExport(name));
}

#define RK_EXPORT_OF(name) Export<decltype(name)>(#name)

// This host's computer name as the platform's own call reports it.
std::string ComputerName();

// The addresses this host's name resolves to, and those of its interfaces
// where the platform lists them, as the digits the library writes: IPv4 as
// 8 upper-case, IPv6 as 32 lower-case hexadecimal digits.
std::set<std::string> HostIPv4Digits();
std::set<std::string> HostIPv6Digits();

// The IPv4 addresses the host's name alone resolves to.
std::set<std::string> ResolvedIPv4Digits();

// Hexadecimal digits of raw address bytes.
std::string HexDigits(const unsigned char* bytes, int count, bool upper_case);
