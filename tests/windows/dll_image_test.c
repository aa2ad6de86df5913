/* The DLL as the Windows loader sees it, from a plain C program (the ARM64
 * build has no C++ runtime for GoogleTest): its export table by name and by
 * ordinal, its ASLR and DEP flags, and its version resource. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "exports_table.h"
#include "rkvtps32.h"

#define kExportCount (sizeof kExports / sizeof kExports[0])

static int failures = 0;

static void Check(int ok, const char* what, const char* detail) {
  if (!ok) {
    printf("FAILED: %s (%s)\n", what, detail);
    ++failures;
  }
}

static const ExportRow* RowNamed(const char* name) {
  size_t i;
  for (i = 0; i < kExportCount; ++i) {
    if (strcmp(kExports[i].name, name) == 0) return &kExports[i];
  }
  return NULL;
}

static const IMAGE_NT_HEADERS* Headers(HMODULE module) {
  const BYTE* base = (const BYTE*)module;
  return (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
}

/* The loaded image's own table: every name it holds is one of the public
 * exports with its ordinal, and every address slot that holds an entry
 * point has a name (no export by ordinal only). */
static void CheckExportTable(HMODULE module) {
  const BYTE* base = (const BYTE*)module;
  const IMAGE_DATA_DIRECTORY* entry =
      &Headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const IMAGE_EXPORT_DIRECTORY* table =
      (const IMAGE_EXPORT_DIRECTORY*)(base + entry->VirtualAddress);
  const DWORD* functions = (const DWORD*)(base + table->AddressOfFunctions);
  const DWORD* names = (const DWORD*)(base + table->AddressOfNames);
  const WORD* indexes = (const WORD*)(base + table->AddressOfNameOrdinals);
  DWORD i, entry_points = 0;
  Check(table->NumberOfNames == kExportCount, "the number of named exports", "");
  for (i = 0; i < table->NumberOfNames; ++i) {
    const char* name = (const char*)(base + names[i]);
    const ExportRow* row = RowNamed(name);
    Check(row != NULL, "a name the DLL exports is public", name);
    Check(row != NULL && table->Base + indexes[i] == row->ordinal, "the ordinal of a name", name);
  }
  for (i = 0; i < table->NumberOfFunctions; ++i) entry_points += functions[i] != 0;
  Check(entry_points == kExportCount, "every entry point is named", "");
}

/* What a caller gets: each export found by name and by its ordinal, at the
 * same entry point; nothing at the next ordinal. */
static void CheckLookups(HMODULE module) {
  size_t i;
  for (i = 0; i < kExportCount; ++i) {
    FARPROC by_name = GetProcAddress(module, kExports[i].name);
    FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(kExports[i].ordinal));
    Check(by_name != NULL && by_name == by_ordinal, "found by name and by ordinal",
          kExports[i].name);
  }
  Check(GetProcAddress(module, MAKEINTRESOURCEA(kExportCount + 1)) == NULL,
        "nothing past the last ordinal", "");
}

/* A driver's DLL is loaded into the spooler: it must take a random base,
 * never run data, and let Windows check its indirect calls (Control Flow
 * Guard, with a load configuration the loader can read). */
static void CheckHardening(HMODULE module) {
  const IMAGE_OPTIONAL_HEADER* header = &Headers(module)->OptionalHeader;
  WORD wanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
                IMAGE_DLLCHARACTERISTICS_GUARD_CF;
#ifdef _WIN64
  wanted |= IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
#endif
  Check((header->DllCharacteristics & wanted) == wanted, "ASLR, DEP and Control Flow Guard flags",
        "");
  Check(header->DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG].Size != 0,
        "a load configuration directory", "");
}

static const char* VersionString(const void* block, const char* name) {
  char path[96] = "\\StringFileInfo\\040904b0\\";
  void* value = NULL;
  UINT length = 0;
  strcat(path, name);
  return VerQueryValueA(block, path, &value, &length) && length > 0 ? (const char*)value : "";
}

/* The version resource, against the version in the public header. */
static void CheckVersionResource(HMODULE module) {
  static char block[16384];
  static const struct {
    const char* name;
    const char* value;
  } kStrings[] = {
      {"FileVersion", RKVTPS32_VERSION_STRING ".0"},
      {"ProductVersion", RKVTPS32_VERSION_STRING ".0"},
      {"OriginalFilename", "rkvtps32.dll"},
      {"InternalName", "rkvtps32"},
      {"ProductName", "rkvtps32"},
  };
  char path[MAX_PATH];
  DWORD ignored = 0, size;
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  size_t i;
  GetModuleFileNameA(module, path, sizeof path);
  size = GetFileVersionInfoSizeA(path, &ignored);
  Check(size > 0 && size <= sizeof block, "a version resource of a sensible size", path);
  if (size == 0 || size > sizeof block || !GetFileVersionInfoA(path, 0, size, block)) return;
  Check(VerQueryValueA(block, "\\", (void**)&fixed, &length) && length == sizeof *fixed,
        "the fixed version block", "");
  if (fixed == NULL) return;
  Check(fixed->dwFileVersionMS == MAKELONG(RKVTPS32_VERSION_MINOR, RKVTPS32_VERSION_MAJOR) &&
            fixed->dwFileVersionLS == MAKELONG(0, RKVTPS32_VERSION_PATCH),
        "the file version", RKVTPS32_VERSION_STRING);
  Check(fixed->dwFileType == VFT_DLL, "the file type", "");
  for (i = 0; i < sizeof kStrings / sizeof kStrings[0]; ++i) {
    Check(strcmp(VersionString(block, kStrings[i].name), kStrings[i].value) == 0, kStrings[i].name,
          kStrings[i].value);
  }
}

int main(void) {
  HMODULE module = LoadLibraryA("rkvtps32.dll");
  if (module == NULL) {
    printf("FAILED: rkvtps32.dll does not load\n");
    return 1;
  }
  CheckExportTable(module);
  CheckLookups(module);
  CheckHardening(module);
  CheckVersionResource(module);
  FreeLibrary(module);
  printf("dll image: %u exports by name and ordinal, version %s.0: %s\n", (unsigned)kExportCount,
         RKVTPS32_VERSION_STRING, failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
