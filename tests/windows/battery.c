/* Every export over fixed inputs, one line a call: what went in and what
 * came out (result, status, size word, the bytes written). The same program
 * built for x64 and for ARM64, run under the same code page, must print the
 * same bytes (compare_battery.sh): the ARM64 DLL is held to the x64 one.
 * Every call also gets a buffer with guard bytes past the capacity it is
 * told of, and the program fails if any of them changes. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "rkvtps32.h"

#define COUNT(table) (sizeof(table) / sizeof((table)[0]))
#define kUntouched ((char)0xA5)
#define kStatusUnwritten 77

static const uint16_t kCodeTypes[] = {0, 1, 2, 3, 4, 5, 6, 32, 255};
static const uint16_t kMasks[] = {0, 0x01, 0x02, 0x04, 0x08, 0x10, 0x19, 0x1F, 0xFFFF};
static const uint16_t kTagKeys[][2] = {{1, 5}, {0, 0}, {3, 2}, {9, 9}};
static const uint16_t kCapacities[] = {80, 0, 1, 7, 16};

/* Owner and name texts in the ANSI code page: ASCII, blanks, a cut at the
 * code types' limits, Shift_JIS (double-byte, half-width kana, a double-byte
 * character across the 15-byte limit), Latin-1, control bytes, a command. */
static const char* const kTexts[] = {
    "guest1",
    "",
    "   ",
    "a b",
    "guest1\\PC01",
    "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
    "\x93\xfa\x96\x7b\x8c\xea",
    "\xb1\xb2\xb3",
    "ab\x82\xa0"
    "cd",
    "abcdefghijklmn\x93\xfa",
    "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab\x82\xad\x82\xaf",
    "Jos\xe9 M\xfcller",
    "tab\tx",
    "x@JOAU=@root",
    NULL,
};

/* The same kinds of text as UTF-16: kana and kanji, Latin-1, the euro sign,
 * a surrogate pair, half-width kana, a character no ANSI code page has. */
static const RK_WCHAR* const kWideTexts[] = {
    L"guest1",
    L"",
    L"\x65e5\x672c\x8a9e",
    L"\x3042\x3044\x3046\x3048\x304a\x304b\x304d\x304f\x3051",
    L"Jos\x00e9",
    L"\x00e9\x20ac",
    L"\xd83d\xde00",
    L"\xff71\xff72",
    L"\x0627\x0644",
    L"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
    NULL,
};

/* Address texts: as the WithIP variants pass them on, and as another
 * machine's address is read. */
static const char* const kAddresses[] = {
    "~C0A80001",
    "192.168.1.10",
    "0.0.0.0",
    "255.255.255.255",
    "fd00::5",
    "fe80::1%2",
    "::ffff:192.168.1.10",
    "::",
    "1:2:3:4:5:6:7:8",
    "localhost",
    "1.2.3",
    "01.2.3.4",
    "256.1.1.1",
    "",
    "10.0.0.1x",
    "1::2::3",
    NULL,
};

static int guard_broken = 0;

static void PrintText(const char* text) {
  if (text == NULL) {
    fputs("(null)", stdout);
    return;
  }
  putchar('"');
  for (; *text != '\0'; ++text) {
    const unsigned char byte = (unsigned char)*text;
    if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
      putchar(byte);
    } else {
      printf("\\x%02X", byte);
    }
  }
  putchar('"');
}

static void PrintWide(const RK_WCHAR* text) {
  if (text == NULL) {
    fputs("(null)", stdout);
    return;
  }
  fputs("L\"", stdout);
  for (; *text != 0; ++text) printf("\\u%04X", (unsigned)*text);
  putchar('"');
}

/* One call's buffer: `capacity` bytes for the export, guard bytes after. */
typedef struct Call {
  char bytes[128];
  uint16_t capacity;
  uint16_t size;
  int16_t status;
} Call;

static char* Begin(Call* call, uint16_t capacity) {
  memset(call->bytes, kUntouched, sizeof call->bytes);
  call->capacity = capacity;
  call->size = capacity;
  call->status = kStatusUnwritten;
  return call->bytes;
}

/* The outcome, and the bytes the export wrote into the buffer (up to the
 * first byte it left alone, or its NUL). */
static void End(const Call* call, int32_t result) {
  size_t i, written = 0;
  for (i = call->capacity; i < sizeof call->bytes; ++i) {
    if (call->bytes[i] != kUntouched) guard_broken = 1;
  }
  printf(" -> %ld status %d size %u ", (long)result, call->status, call->size);
  while (written < call->capacity && call->bytes[written] != kUntouched &&
         call->bytes[written] != '\0') {
    ++written;
  }
  if (written == 0 && call->capacity > 0 && call->bytes[0] == kUntouched) {
    fputs("untouched", stdout);
  } else {
    char text[128];
    memcpy(text, call->bytes, written);
    text[written] = '\0';
    PrintText(text);
  }
  putchar('\n');
}

static void Nup(void) {
  uint16_t selector, c;
  Call call;
  for (selector = 0; selector <= 16; ++selector) {
    for (c = 0; c < COUNT(kCapacities); ++c) {
      char* buffer = Begin(&call, kCapacities[c]);
      printf("Nup %u cap %u", selector, call.capacity);
      End(&call, RKGetVTPSStringOfNup(selector, buffer, &call.size, &call.status));
    }
  }
  Begin(&call, 80);
  printf("Nup 0 null buffer cap 80");
  End(&call, RKGetVTPSStringOfNup(0, NULL, &call.size, &call.status));
  printf("Nup 65535 cap 80");
  End(&call, RKGetVTPSStringOfNup(65535, Begin(&call, 80), &call.size, &call.status));
}

static void Validation(void) {
  size_t t, k, m;
  Call call;
  for (t = 0; t < COUNT(kTexts); ++t) {
    for (k = 0; k < COUNT(kCodeTypes); ++k) {
      Begin(&call, 0);
      printf("IsValidA %u ", kCodeTypes[k]);
      PrintText(kTexts[t]);
      End(&call, RKIsValidJobOwnerStringCodeAndLengthA(kCodeTypes[k], kTexts[t], &call.status));
      for (m = 0; m < COUNT(kMasks); ++m) {
        Begin(&call, 0);
        printf("IsValidExA %u mask %X ", kCodeTypes[k], kMasks[m]);
        PrintText(kTexts[t]);
        End(&call, RKIsValidJobOwnerStringCodeAndLengthExA(kCodeTypes[k], kTexts[t], kMasks[m],
                                                           &call.status));
      }
    }
  }
  for (t = 0; t < COUNT(kWideTexts); ++t) {
    for (k = 0; k < COUNT(kCodeTypes); ++k) {
      Begin(&call, 0);
      printf("IsValidW %u ", kCodeTypes[k]);
      PrintWide(kWideTexts[t]);
      End(&call, RKIsValidJobOwnerStringCodeAndLengthW(kCodeTypes[k], kWideTexts[t], &call.status));
      for (m = 0; m < COUNT(kMasks); ++m) {
        Begin(&call, 0);
        printf("IsValidExW %u mask %X ", kCodeTypes[k], kMasks[m]);
        PrintWide(kWideTexts[t]);
        End(&call, RKIsValidJobOwnerStringCodeAndLengthExW(kCodeTypes[k], kWideTexts[t], kMasks[m],
                                                           &call.status));
      }
    }
  }
}

static void OwnerFromText(void) {
  size_t t, k, g, m, a, c;
  Call call;
  for (t = 0; t < COUNT(kTexts); ++t) {
    for (k = 0; k < COUNT(kCodeTypes); ++k) {
      const uint16_t type = kCodeTypes[k];
      for (g = 0; g < COUNT(kTagKeys); ++g) {
        const uint16_t column = kTagKeys[g][0], row = kTagKeys[g][1];
        printf("OwnerA %u tag %u,%u ", type, column, row);
        PrintText(kTexts[t]);
        End(&call, RKGetVTPSStringOfJobOwnerFromInputA(type, kTexts[t], column, row,
                                                       Begin(&call, 80), &call.size, &call.status));
      }
      for (m = 0; m < COUNT(kMasks); ++m) {
        printf("OwnerExA %u mask %X ", type, kMasks[m]);
        PrintText(kTexts[t]);
        End(&call, RKGetVTPSStringOfJobOwnerFromInputExA(type, kTexts[t], 1, 5, Begin(&call, 80),
                                                         &call.size, kMasks[m], &call.status));
      }
      for (a = 0; a < COUNT(kAddresses); ++a) {
        printf("OwnerWithIPA %u ", type);
        PrintText(kTexts[t]);
        PrintText(kAddresses[a]);
        End(&call,
            RKGetVTPSStringOfJobOwnerFromInputWithIPA(type, kTexts[t], 1, 5, Begin(&call, 80),
                                                      kAddresses[a], &call.size, &call.status));
        printf("OwnerWithIPExA %u mask FFFF ", type);
        PrintText(kTexts[t]);
        PrintText(kAddresses[a]);
        End(&call, RKGetVTPSStringOfJobOwnerFromInputWithIPExA(type, kTexts[t], 1, 5,
                                                               Begin(&call, 80), kAddresses[a],
                                                               &call.size, 0xFFFF, &call.status));
      }
      for (c = 0; c < COUNT(kCapacities); ++c) {
        printf("OwnerA %u cap %u ", type, kCapacities[c]);
        PrintText(kTexts[t]);
        End(&call,
            RKGetVTPSStringOfJobOwnerFromInputA(type, kTexts[t], 1, 5, Begin(&call, kCapacities[c]),
                                                &call.size, &call.status));
      }
    }
  }
}

static void OwnerFromWideText(void) {
  size_t t, k, m, c;
  Call call;
  for (t = 0; t < COUNT(kWideTexts); ++t) {
    for (k = 0; k < COUNT(kCodeTypes); ++k) {
      const uint16_t type = kCodeTypes[k];
      printf("OwnerW %u ", type);
      PrintWide(kWideTexts[t]);
      End(&call, RKGetVTPSStringOfJobOwnerFromInputW(type, kWideTexts[t], 3, 2, Begin(&call, 80),
                                                     &call.size, &call.status));
      for (m = 0; m < COUNT(kMasks); ++m) {
        printf("OwnerExW %u mask %X ", type, kMasks[m]);
        PrintWide(kWideTexts[t]);
        End(&call,
            RKGetVTPSStringOfJobOwnerFromInputExW(type, kWideTexts[t], 1, 5, Begin(&call, 80),
                                                  &call.size, kMasks[m], &call.status));
      }
      for (c = 0; c < COUNT(kCapacities); ++c) {
        printf("OwnerW %u cap %u ", type, kCapacities[c]);
        PrintWide(kWideTexts[t]);
        End(&call,
            RKGetVTPSStringOfJobOwnerFromInputW(
                type, kWideTexts[t], 1, 5, Begin(&call, kCapacities[c]), &call.size, &call.status));
      }
    }
  }
}

/* The calls that read this machine: its user, computer name and address.
 * Both programs run on the same machine, so they see the same ones. */
static void FromThisMachine(void) {
  size_t k, g, m, a, c;
  Call call;
  for (k = 0; k < COUNT(kCodeTypes); ++k) {
    const uint16_t type = kCodeTypes[k];
    for (g = 0; g < COUNT(kTagKeys); ++g) {
      printf("OwnerFromUserHost %u tag %u,%u", type, kTagKeys[g][0], kTagKeys[g][1]);
      End(&call,
          RKGetVTPSStringOfJobOwnerStringFromUserHostName(
              type, kTagKeys[g][0], kTagKeys[g][1], Begin(&call, 80), &call.size, &call.status));
    }
    for (m = 0; m < COUNT(kMasks); ++m) {
      printf("OwnerFromUserHostEx %u mask %X", type, kMasks[m]);
      End(&call, RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(
                     type, 1, 5, Begin(&call, 80), &call.size, kMasks[m], &call.status));
      printf("HostNameEx %u mask %X", type, kMasks[m]);
      End(&call,
          RKGetVTPSStringOfHostNameEx(type, Begin(&call, 80), &call.size, kMasks[m], &call.status));
    }
    for (a = 0; a < COUNT(kAddresses); ++a) {
      printf("OwnerFromUserHostWithIP %u ", type);
      PrintText(kAddresses[a]);
      End(&call, RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(
                     type, 1, 5, Begin(&call, 80), kAddresses[a], &call.size, &call.status));
      printf("OwnerFromUserHostWithIPEx %u mask FFFF ", type);
      PrintText(kAddresses[a]);
      End(&call,
          RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
              type, 1, 5, Begin(&call, 80), kAddresses[a], &call.size, 0xFFFF, &call.status));
    }
    for (c = 0; c < COUNT(kCapacities); ++c) {
      printf("HostNameEx %u cap %u", type, kCapacities[c]);
      End(&call, RKGetVTPSStringOfHostNameEx(type, Begin(&call, kCapacities[c]), &call.size, 0,
                                             &call.status));
    }
  }
  for (c = 0; c < COUNT(kCapacities); ++c) {
    printf("HostAddress cap %u", kCapacities[c]);
    End(&call,
        RKGetVTPSStringOfHostAddress(Begin(&call, kCapacities[c]), &call.size, &call.status));
  }
}

static void OtherMachine(void) {
  size_t t, k, m, a, c;
  Call call;
  for (a = 0; a < COUNT(kAddresses); ++a) {
    for (c = 0; c < COUNT(kCapacities); ++c) {
      printf("HostAddressFromInputA cap %u ", kCapacities[c]);
      PrintText(kAddresses[a]);
      End(&call, RKGetVTPSStringOfHostAddressFromInputA(kAddresses[a], Begin(&call, kCapacities[c]),
                                                        &call.size, &call.status));
    }
  }
  for (k = 0; k < COUNT(kCodeTypes); ++k) {
    for (m = 0; m < COUNT(kMasks); ++m) {
      for (t = 0; t < COUNT(kTexts); ++t) {
        printf("HostNameFromInputExA %u mask %X ", kCodeTypes[k], kMasks[m]);
        PrintText(kTexts[t]);
        End(&call, RKGetVTPSStringOfHostNameFromInputExA(kCodeTypes[k], kTexts[t], Begin(&call, 80),
                                                         &call.size, kMasks[m], &call.status));
      }
      for (t = 0; t < COUNT(kWideTexts); ++t) {
        printf("HostNameFromInputExW %u mask %X ", kCodeTypes[k], kMasks[m]);
        PrintWide(kWideTexts[t]);
        End(&call,
            RKGetVTPSStringOfHostNameFromInputExW(kCodeTypes[k], kWideTexts[t], Begin(&call, 80),
                                                  &call.size, kMasks[m], &call.status));
      }
    }
  }
}

/* Texts no table above thought of: bytes, UTF-16 units and address-like
 * characters drawn from a fixed seed, so both programs draw the same ones. */
static uint32_t random_state = 20251;

static uint32_t Draw(uint32_t bound) {
  random_state = random_state * 1103515245u + 12345u;
  return (random_state >> 8) % bound;
}

static void RandomText(char* text, size_t capacity, const char* alphabet) {
  const size_t length = Draw((uint32_t)capacity);
  size_t i;
  for (i = 0; i < length; ++i) {
    text[i] = alphabet != NULL ? alphabet[Draw((uint32_t)strlen(alphabet))] : (char)(1 + Draw(255));
  }
  text[length] = '\0';
}

static void RandomTexts(void) {
  int round;
  Call call;
  for (round = 0; round < 1500; ++round) {
    char text[48], address[48];
    RK_WCHAR wide[24];
    const size_t wide_length = Draw(COUNT(wide));
    const uint16_t type = kCodeTypes[Draw(COUNT(kCodeTypes))];
    const uint16_t mask = kMasks[Draw(COUNT(kMasks))];
    size_t i;
    RandomText(text, sizeof text, NULL);
    RandomText(address, sizeof address, "0123456789abcdefABCDEF.:%~ ");
    for (i = 0; i < wide_length; ++i) wide[i] = (RK_WCHAR)(1 + Draw(0xFFFF));
    wide[wide_length] = 0;
    printf("random %d: type %u mask %X ", round, type, mask);
    PrintText(text);
    PrintText(address);
    PrintWide(wide);
    putchar('\n');
    Begin(&call, 0);
    printf(" IsValidExA");
    End(&call, RKIsValidJobOwnerStringCodeAndLengthExA(type, text, mask, &call.status));
    Begin(&call, 0);
    printf(" IsValidExW");
    End(&call, RKIsValidJobOwnerStringCodeAndLengthExW(type, wide, mask, &call.status));
    printf(" OwnerWithIPExA");
    End(&call, RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
                   type, text, 1, 5, Begin(&call, 80), address, &call.size, mask, &call.status));
    printf(" OwnerExW");
    End(&call, RKGetVTPSStringOfJobOwnerFromInputExW(type, wide, 3, 2, Begin(&call, 80), &call.size,
                                                     mask, &call.status));
    printf(" HostAddressFromInputA");
    End(&call, RKGetVTPSStringOfHostAddressFromInputA(address, Begin(&call, 80), &call.size,
                                                      &call.status));
    printf(" HostNameFromInputExA");
    End(&call, RKGetVTPSStringOfHostNameFromInputExA(type, text, Begin(&call, 80), &call.size, mask,
                                                     &call.status));
    printf(" HostNameFromInputExW");
    End(&call, RKGetVTPSStringOfHostNameFromInputExW(type, wide, Begin(&call, 80), &call.size, mask,
                                                     &call.status));
  }
}

int main(void) {
  printf("ANSI code page %u\n", GetACP());
  Nup();
  Validation();
  OwnerFromText();
  OwnerFromWideText();
  FromThisMachine();
  OtherMachine();
  RandomTexts();
  if (guard_broken) {
    printf("FAILED: an export wrote past the capacity it was given\n");
    return 1;
  }
  return 0;
}
