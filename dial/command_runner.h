#pragma once

#include <string_view>

namespace dialserver {

// Starts a command line as a new process and waits for it to end. Nothing is reported: a line
// that cannot be started returns at once, and the exit status is not read.
class CommandRunner {
 public:
  CommandRunner() = default;
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;
  virtual ~CommandRunner() = default;

  virtual void Run(std::string_view commandLine) = 0;
};

}  // namespace dialserver
