#pragma once

#include "dial/command_runner.h"

namespace dialserver {

// Runs a line with CreateProcessA, the way a user's double-click would: the line is found by the
// system's usual search (the program's own folder first), in a console window of its own, with
// the program's environment and current directory.
class ProcessCommandRunner final : public CommandRunner {
 public:
  void Run(std::string_view commandLine) override;
};

}  // namespace dialserver
