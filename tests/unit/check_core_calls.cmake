# The command logic (librkvtps32_commands.a) asks the system nothing: no
# environment, no lock, no name, address or code-page call, no call into
# the library's own provider. Everything it needs comes in as arguments, so
# any number of threads compose at once with any code page each. This lists
# what its objects leave for the linker and fails on any such call.
# Usage: cmake -DNM=nm -DLIBRARY=librkvtps32_commands.a -P check_core_calls.cmake
cmake_minimum_required(VERSION 3.25)
set(ENV{LC_ALL} C)
execute_process(COMMAND "${NM}" -u "${LIBRARY}" OUTPUT_VARIABLE undefined RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} -u ${LIBRARY} failed")
endif()
set(forbidden
  getenv secure_getenv setenv putenv unsetenv environ setlocale newlocale uselocale
  pthread_mutex_lock pthread_once pthread_key_create
  gethostname gethostbyname getaddrinfo getnameinfo getpwuid geteuid getuid uname
  iconv_open dlopen dlsym GetACP IsDBCSLeadByte GetComputerNameA GetUserNameA
  RegOpenKeyExA LoadLibraryA GetProcAddress WideCharToMultiByte GlobalAlloc)
string(REGEX MATCHALL "U [^\n]+" calls "${undefined}")
set(found)
foreach(call IN LISTS calls)
  string(REGEX REPLACE "^U " "" name "${call}")
  string(REGEX REPLACE "@.*$" "" name "${name}")
  string(REGEX REPLACE "^_" "" plain "${name}")  # targets that prefix C names
  if(name IN_LIST forbidden OR plain IN_LIST forbidden OR name MATCHES "^_?_ZN2rk2os")
    list(APPEND found "${name}")
  endif()
endforeach()
list(LENGTH calls count)
if(count EQUAL 0)
  message(FATAL_ERROR "no undefined symbols read from ${LIBRARY}: is it the archive?")
endif()
if(found)
  list(REMOVE_DUPLICATES found)
  message(FATAL_ERROR "the command logic calls the system: ${found}")
endif()
message(STATUS "${count} calls out of the command logic, none to the system")
