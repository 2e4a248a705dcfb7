// dialserver.exe: reads no command line; everything happens in the window.
#include <windows.h>

#include "window/main_window_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return dialserver::RunProgram(instance);
}
