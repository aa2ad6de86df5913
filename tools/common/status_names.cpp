#include "status_names.h"

#include <cstdio>

#include "rkvtps32.h"

const char* StatusName(int16_t status) {
  switch (status) {
    case RK_STATUS_OK:
      return "RK_STATUS_OK";
    case RK_STATUS_BAD_CHARACTER:
      return "RK_STATUS_BAD_CHARACTER";
    case RK_STATUS_TOO_LONG:
      return "RK_STATUS_TOO_LONG";
    case RK_STATUS_BUFFER_TOO_SMALL:
      return "RK_STATUS_BUFFER_TOO_SMALL";
    case RK_STATUS_BAD_NUP:
      return "RK_STATUS_BAD_NUP";
    case RK_STATUS_WINSOCK_STARTUP:
      return "RK_STATUS_WINSOCK_STARTUP";
    case RK_STATUS_NO_HOST_NAME:
      return "RK_STATUS_NO_HOST_NAME";
    case RK_STATUS_NO_HOST_ENTRY:
      return "RK_STATUS_NO_HOST_ENTRY";
    case RK_STATUS_NO_WINSOCK:
      return "RK_STATUS_NO_WINSOCK";
    case RK_STATUS_GENERAL_ERROR:
      return "RK_STATUS_GENERAL_ERROR";
    case RK_STATUS_LOOPBACK_ONLY:
      return "RK_STATUS_LOOPBACK_ONLY";
    case RK_STATUS_BAD_ADDRESS:
      return "RK_STATUS_BAD_ADDRESS";
    case RK_STATUS_ADDRINFO_FAILED:
      return "RK_STATUS_ADDRINFO_FAILED";
    default: {
      static thread_local char unknown[32];
      std::snprintf(unknown, sizeof unknown, "RK_STATUS_%d", status);
      return unknown;
    }
  }
}
