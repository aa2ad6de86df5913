/* A plain C caller, linked the way a driver links: against the shared
 * library (on Windows through its import library), or with the static one
 * linked in. It proves the header compiles as C and that the exported names
 * and calling convention bind. */
#include <stdio.h>
#include <string.h>

#include "rkvtps32.h"

int main(void) {
  char buffer[16];
  uint16_t size = (uint16_t)sizeof buffer;
  int16_t status = -1;
  if (RKGetVTPSStringOfNup(12, buffer, &size, &status) != 1 || strcmp(buffer, "@NLPP=N32") != 0 ||
      size != 9 || status != RK_STATUS_OK) {
    fprintf(stderr, "c caller: unexpected N-up answer (status %d)\n", status);
    return 1;
  }
  puts("c caller: ok");
  return 0;
}
