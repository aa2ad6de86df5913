/* The one place the library's version is written down. CMake reads these
 * lines for the shared library's version and SONAME, and the Windows
 * resource script includes this file for the version resource. Keep the
 * lines in this form: the build parses them. */
#ifndef RKVTPS32_VERSION_H
#define RKVTPS32_VERSION_H

#define RKVTPS32_VERSION_MAJOR 3
#define RKVTPS32_VERSION_MINOR 2
#define RKVTPS32_VERSION_PATCH 1
#define RKVTPS32_VERSION_BUILD 1

#define RKVTPS32_VERSION_TEXT "3.2.1.1"

#endif
