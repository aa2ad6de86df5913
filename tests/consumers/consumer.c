/* A program that uses an installed rkvtps32 as any project would. */
#include <rkvtps32.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  char command[32];
  uint16_t size = sizeof command;
  int16_t status = -1;
  if (RKGetVTPSStringOfNup(12, command, &size, &status) != 1 || strcmp(command, "@NLPP=N32") != 0) {
    fprintf(stderr, "consumer: unexpected answer (status %d)\n", status);
    return 1;
  }
  size = sizeof command;
  if (RKGetVTPSStringOfJobOwnerFromInputA(3, "guest1", 1, 5, command, &size, &status) != 1 ||
      strcmp(command, "@JOAU=#CB6@d,F>3") != 0) {
    fprintf(stderr, "consumer: unexpected owner command (status %d)\n", status);
    return 1;
  }
  printf("consumer: %s\n", command);
  return 0;
}
