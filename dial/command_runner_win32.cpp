#include "dial/command_runner_win32.h"

#include <windows.h>

#include <string>

namespace dialserver {

void ProcessCommandRunner::Run(std::string_view commandLine) {
  // CreateProcessA may write into the line, so it gets a copy of its own.
  std::string line(commandLine);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace dialserver
