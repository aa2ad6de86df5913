/* Asks Windows (here Wine) whether each file's Authenticode signature holds,
 * as the loader of a signed driver package does, and prints one line per
 * file: its name and the HRESULT of WinVerifyTrust in hex. The caller judges
 * the results; the exit status says only whether every file could be asked.
 * Usage: verify_trust.exe FILE... */
#include <windows.h>
/* after windows.h, which it needs */
#include <softpub.h>
#include <stdio.h>
#include <wintrust.h>

static LONG VerifyFile(const char* path) {
  WCHAR wide_path[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH) == 0) return -1;
  WINTRUST_FILE_INFO file;
  ZeroMemory(&file, sizeof file);
  file.cbStruct = sizeof file;
  file.pcwszFilePath = wide_path;
  WINTRUST_DATA data;
  ZeroMemory(&data, sizeof data);
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);
  /* The verification keeps state until it is closed. */
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);
  return result;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: verify_trust.exe FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const LONG result = VerifyFile(argv[i]);
    if (result == -1) {
      fprintf(stderr, "verify_trust: %s: the path cannot be converted\n", argv[i]);
      return 1;
    }
    printf("%s 0x%08lX\n", argv[i], (unsigned long)result);
  }
  return 0;
}
