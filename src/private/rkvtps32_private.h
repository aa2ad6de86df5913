/* Entry points of librkvtps32.so for the project's own programs, not for
 * drivers: this header is never installed, and the names sit in a version
 * node of their own (RKVTPS32_PRIVATE, as glibc's GLIBC_PRIVATE) that may
 * change with any release. The programs of the same release are the only
 * callers; the Debian packages pin them to the library of their build.
 *
 * Through them a program converts text exactly as the library does, without
 * carrying a copy of the library's code-page tables, and for the code page
 * it names (a printer's), not the process's; and it learns what the library
 * knows of this host, to compose commands for a printer by the same logic
 * the exports run. Linux only: on Windows the programs have the system's
 * own calls. */
#ifndef RKVTPS32_PRIVATE_H
#define RKVTPS32_PRIVATE_H

#include "rkvtps32.h"

/* iconv's name for RK_WCHAR text in this machine's byte order, for every
 * iconv conversion on either side of the entry. */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define RKVTPS32_UTF16_CHARSET "UTF-16BE"
#else
#define RKVTPS32_UTF16_CHARSET "UTF-16LE"
#endif

#if !defined(_WIN32)

#ifdef __cplusplus
extern "C" {
#endif

/* The ANSI code page the exports convert to and cut by in this process: the
 * one Windows gives the locale, or RKVTPS32_ACP's. */
RK_EXPORT unsigned rkvtps32_private_ansi_code_page(void);

/* WideCharToMultiByte(code_page, 0, wide, count, out, capacity, NULL, NULL)
 * as the library answers it: the bytes written, or 0 when nothing could be
 * converted (a count below 1, a result that does not fit, an unknown code
 * page). Characters with no form in the code page become '?'. No NUL is
 * added. */
RK_EXPORT int rkvtps32_private_convert_wide(unsigned code_page, const RK_WCHAR* wide, int count,
                                            char* out, int capacity);

/* This computer's name as the host commands read it, into `name` (40 bytes
 * with its NUL, always terminated): 1, or 0 when it cannot be read. */
RK_EXPORT int rkvtps32_private_computer_name(char* name);

/* This host's IPv4 address as the owner's address part and "@HOAD=" carry
 * it: 8 upper-case hexadecimal digits and a NUL into `digits` (9 bytes), 1;
 * or 0 with the library's reason in `*status`. */
RK_EXPORT int rkvtps32_private_ipv4_digits(char* digits, int16_t* status);

#ifdef __cplusplus
}
#endif

#endif /* !_WIN32 */

#endif /* RKVTPS32_PRIVATE_H */
