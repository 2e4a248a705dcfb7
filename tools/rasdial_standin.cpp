// A stand-in for Windows' rasdial, for trying the program under Wine, which has none: it shows in
// its console window the words it was given and what the real one would do with them. Never put
// it beside dialserver.exe on Windows, where the system's own rasdial must be found.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  std::printf("rasdial stand-in, started with %d word(s):", argc - 1);
  for (int i = 1; i < argc; ++i) std::printf(" [%s]", argv[i]);
  std::printf("\n");
  if (argc >= 3 && _stricmp(argv[argc - 1], "/disconnect") == 0) {
    std::printf("the real rasdial would now hang up the entry [%s]\n", argv[1]);
  } else if (argc >= 2) {
    std::printf("the real rasdial would now dial the entry [%s]\n", argv[1]);
  }
  std::fflush(stdout);
  Sleep(2000);  // long enough to be read
  return 0;
}
