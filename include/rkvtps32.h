/*
 * rkvtps32: job-control command strings for printer drivers.
 *
 * Every command builder writes a NUL-terminated 8-bit command into the
 * caller's buffer by one rule:
 *   - *size holds the buffer's capacity in bytes on entry;
 *   - on success the result is 1 and *size holds the command's length
 *     without its NUL;
 *   - when the buffer is too small the result is 0, *status is
 *     RK_STATUS_BUFFER_TOO_SMALL, *size holds the size needed including
 *     the NUL and the buffer is untouched (pass *size == 0 to ask first);
 *   - a null buffer with a large enough *size gives RK_STATUS_GENERAL_ERROR.
 * A null status or size pointer makes an export return 0 and write nothing.
 *
 * Plain C; usable from C and C++.
 */
#ifndef RKVTPS32_H
#define RKVTPS32_H

/* The library's version, its one source: the build, the shared library's
 * version and the DLL's version resource (MAJOR.MINOR.PATCH.0) read it. */
#define RKVTPS32_VERSION_MAJOR 3
#define RKVTPS32_VERSION_MINOR 3
#define RKVTPS32_VERSION_PATCH 0
#define RKVTPS32_VERSION_STRING "3.3.0"

/* The resource compiler reads the version above and nothing below. */
#ifndef RC_INVOKED

#include <stddef.h> /* wchar_t, for RK_WCHAR on Windows */
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define RK_API __stdcall
#else
#define RK_API
#endif

/* On Windows the export list lives in the module-definition file, so the
 * library itself needs no attribute; callers import. Elsewhere the library
 * is built with hidden visibility and only these names are made visible. */
#if defined(_WIN32)
#if defined(RKVTPS32_BUILD)
#define RK_EXPORT
#else
#define RK_EXPORT __declspec(dllimport)
#endif
#else
#define RK_EXPORT __attribute__((visibility("default")))
#endif

/* UTF-16 text on every platform. */
#if defined(_WIN32)
typedef wchar_t RK_WCHAR;
#elif defined(__cplusplus)
typedef char16_t RK_WCHAR;
#else
typedef uint_least16_t RK_WCHAR; /* the same 16-bit unit as C++'s char16_t */
#endif

/* Status codes, written through the last argument of every export. */
#define RK_STATUS_OK 0
#define RK_STATUS_BAD_CHARACTER 1
#define RK_STATUS_TOO_LONG 2
#define RK_STATUS_BUFFER_TOO_SMALL 3
#define RK_STATUS_BAD_NUP 4
#define RK_STATUS_WINSOCK_STARTUP 5
#define RK_STATUS_NO_HOST_NAME 6
#define RK_STATUS_NO_HOST_ENTRY 7
#define RK_STATUS_NO_WINSOCK 8
#define RK_STATUS_GENERAL_ERROR 9
#define RK_STATUS_LOOPBACK_ONLY 10
#define RK_STATUS_BAD_ADDRESS 112
#define RK_STATUS_ADDRINFO_FAILED 113 /* internal; never returned by an export */

/* Charset mask bits: which character classes an owner text may hold. */
#define RK_CHARSET_ASCII 0x01u          /* 0x20-0x7E */
#define RK_CHARSET_LATIN1 0x02u         /* 0x20-0x7E, 0xA0-0xFF */
#define RK_CHARSET_ANY_BYTE 0x04u       /* 0x20-0xFF */
#define RK_CHARSET_HALFWIDTH_KANA 0x08u /* 0xA1-0xDF */
#define RK_CHARSET_DOUBLE_BYTE 0x10u    /* code page 932 double-byte characters */
#define RK_CHARSET_DEFAULT 0x19u        /* what a mask of 0 stands for */
#define RK_CHARSET_NO_CHECK 0xFFFFu     /* skip the character test */

#ifdef __cplusplus
extern "C" {
#endif

/* Client name: "@CNAM=" and the computer name, checked and cut as an owner
 * text of `code_type` and `mask`. "UnknownHost" stands in when the name
 * cannot be read (warning RK_STATUS_NO_HOST_NAME) or is refused (warning
 * RK_STATUS_BAD_CHARACTER); the warnings come with result 1. The status is
 * not reset on entry. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameEx(uint16_t code_type, char* buffer,
                                                     uint16_t* size, uint16_t mask,
                                                     int16_t* status);

/* Host address: "@HOAD=I" and 8 upper-case hexadecimal digits of an IPv4
 * address, or "@HOAD=6" and 32 lower-case digits of an IPv6 address when the
 * host has no usable IPv4 address. When neither is found: 0 with the IPv4
 * discovery's reason (5, 6, 7, 8, 9, 10 or 112). The status is not reset
 * on entry. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddress(char* buffer, uint16_t* size,
                                                      int16_t* status);

/* Job owner: "@JOAU=" with a form mark by code type and the owner text:
 *   1 "@" + text;  5 text;  2 "$" + base-85 of the text;
 *   3 "#" + tag + base-85;  4 and 255 "#" + tag + base-85 of the text and
 *   an address part: `address_text` as given, or "~" and the host's IPv4
 *   digits (code type 4: eight blanks when there is none; 255: the call
 *   fails with the discovery's status).
 * The tag character comes from the tag column and row keys. An owner text
 * that is refused becomes "UnknownUser" and a longer one is cut, silently.
 * Under RK_CHARSET_NO_CHECK a text that cannot be carried whole gives
 * RK_STATUS_TOO_LONG and nothing is written. The W variants return 1
 * whenever `owner_text` is not null: read the status and size word. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputA(uint16_t code_type,
                                                             const char* owner_text,
                                                             uint16_t tag_column_key,
                                                             uint16_t tag_row_key, char* buffer,
                                                             uint16_t* size, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputExA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, uint16_t* size, uint16_t mask, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputWithIPA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, const char* address_text, uint16_t* size, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputWithIPExA(
    uint16_t code_type, const char* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, const char* address_text, uint16_t* size, uint16_t mask, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputW(uint16_t code_type,
                                                             const RK_WCHAR* owner_text,
                                                             uint16_t tag_column_key,
                                                             uint16_t tag_row_key, char* buffer,
                                                             uint16_t* size, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerFromInputExW(
    uint16_t code_type, const RK_WCHAR* owner_text, uint16_t tag_column_key, uint16_t tag_row_key,
    char* buffer, uint16_t* size, uint16_t mask, int16_t* status);

/* Job owner from the logged-on user (under the system account, the
 * machine's default logon user from the registry) and the computer name:
 * "user\computer" cut to the code type's byte limit (code type 5: the user
 * alone). */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostName(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer, uint16_t* size,
    int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameEx(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer, uint16_t* size,
    uint16_t mask, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIP(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
    const char* address_text, uint16_t* size, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfJobOwnerStringFromUserHostNameWithIPEx(
    uint16_t code_type, uint16_t tag_column_key, uint16_t tag_row_key, char* buffer,
    const char* address_text, uint16_t* size, uint16_t mask, int16_t* status);

/* N-up: "@NLPP=" and the layout keyword of selector 0..13. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfNup(uint16_t selector, char* buffer, uint16_t* size,
                                              int16_t* status);

/* Owner text validation: 1 when `text` is acceptable for `code_type`
 * (byte limit 31, 24, 24, 15, 63, 32 and 15 for code types 1, 2, 3, 4, 5,
 * 32 and 255) and every character is in a class of `mask` (0 means
 * RK_CHARSET_DEFAULT). Otherwise 0 with RK_STATUS_GENERAL_ERROR (null text,
 * unknown code type), RK_STATUS_TOO_LONG, or RK_STATUS_BAD_CHARACTER (a
 * refused character, or an empty or all-blank text). The W variants judge
 * the text converted to the ANSI code page. The status is always written. */
RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthA(uint16_t code_type, const char* text,
                                                               int16_t* status);
RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthExA(uint16_t code_type,
                                                                 const char* text, uint16_t mask,
                                                                 int16_t* status);
RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthW(uint16_t code_type,
                                                               const RK_WCHAR* text,
                                                               int16_t* status);
RK_EXPORT int32_t RK_API RKIsValidJobOwnerStringCodeAndLengthExW(uint16_t code_type,
                                                                 const RK_WCHAR* text,
                                                                 uint16_t mask, int16_t* status);

/* Host address of another machine, for print servers that know where a job
 * came from: "@HOAD=I" and 8 upper-case hexadecimal digits for a dotted IPv4
 * address of four decimal parts (0-255, no leading zeros), or "@HOAD=6" and
 * 32 lower-case digits for an IPv6 address (a "%scope" is dropped); an
 * IPv4-mapped address (::ffff:a.b.c.d) gives the IPv4 form. The text is
 * never looked up as a name. A null text: 0 with RK_STATUS_GENERAL_ERROR;
 * anything else that is not such an address: 0 with RK_STATUS_BAD_ADDRESS.
 * The status is written only when something is wrong. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostAddressFromInputA(const char* address_text,
                                                                char* buffer, uint16_t* size,
                                                                int16_t* status);

/* Client name of another machine: "@CNAM=" and `name` (as given, in the
 * ANSI code page for the A variant), checked and cut as the client-name
 * command checks the computer name. A refused name becomes "UnknownHost"
 * with the warning RK_STATUS_BAD_CHARACTER and result 1. Under
 * RK_CHARSET_NO_CHECK a name of more than 63 bytes cannot be carried whole:
 * 0 with RK_STATUS_TOO_LONG. A null name, or a wide name whose conversion
 * block cannot be had: 0 with RK_STATUS_GENERAL_ERROR. The status is not
 * reset on entry. */
RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameFromInputExA(uint16_t code_type, const char* name,
                                                               char* buffer, uint16_t* size,
                                                               uint16_t mask, int16_t* status);
RK_EXPORT int32_t RK_API RKGetVTPSStringOfHostNameFromInputExW(uint16_t code_type,
                                                               const RK_WCHAR* name, char* buffer,
                                                               uint16_t* size, uint16_t mask,
                                                               int16_t* status);

#ifdef __cplusplus
}
#endif

#endif /* RC_INVOKED */

#endif /* RKVTPS32_H */
