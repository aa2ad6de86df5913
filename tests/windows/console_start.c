/* The start of a console program that links no C runtime start-up (the
 * ARM64 build has none): msvcrt.dll sets itself up when it is loaded, gives
 * the arguments, and flushes standard output on exit. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv);

/* msvcrt's own start-up argument call; `startup` receives its new-mode flag. */
int __getmainargs(int* argc, char*** argv, char*** environment, int expand, int* startup);

void mainCRTStartup(void) {
  int argc = 0, startup = 0;
  char** argv = NULL;
  char** environment = NULL;
  if (__getmainargs(&argc, &argv, &environment, 0, &startup) != 0) exit(255);
  exit(main(argc, argv));
}

/* MinGW's headers reach stdin, stdout and stderr through the newer
 * runtime's __acrt_iob_func, which msvcrt.dll lacks; MinGW's own runtime
 * supplies it over __iob_func, and so does this file. */
static FILE* __cdecl StandardStream(unsigned index) { return &__iob_func()[index]; }
FILE* (*__imp___acrt_iob_func)(unsigned) = StandardStream;
