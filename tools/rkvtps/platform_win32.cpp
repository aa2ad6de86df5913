// The tool on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace {

std::string Utf8FromWide(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size) - 1);
  return text;
}

}  // namespace

std::vector<std::string> ArgumentsAsUtf8(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

FILE* OpenInput(const std::string& path) {
  if (path == "-") {
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
  }
  WideText wide;
  size_t bad = 0;
  if (!DecodeUtf8(path, &wide, &bad)) {
    errno = EINVAL;
    return nullptr;
  }
  return _wfopen(reinterpret_cast<const wchar_t*>(wide.c_str()), L"rb");
}

std::string LoadedLibraryVersion() {
  HMODULE module = GetModuleHandleA("rkvtps32.dll");
  char path[MAX_PATH] = "";
  if (module == nullptr || GetModuleFileNameA(module, path, sizeof path) == 0) return "unknown";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, &data[0]) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr) {
    return std::string("unknown (") + path + ")";
  }
  char version[64];
  std::snprintf(version, sizeof version, "%lu.%lu.%lu",
                static_cast<unsigned long>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(info->dwFileVersionLS)));
  return std::string(version) + " (" + path + ")";
}
