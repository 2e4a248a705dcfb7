// Dialing and hanging up the connection through rasdial, with the current operator fields.
#pragma once

#include "dial/command_runner.h"
#include "dial/field_set.h"
#include "dial/text.h"

namespace dialserver {

// "cmd /c rasdial " + name + " " + user + " " + password, with no quoting and no trimming.
Text DialCommandLine(const FieldSet& fields);

// "cmd /c rasdial " + name + " /disconnect".
Text HangUpCommandLine(const FieldSet& fields);

class DialControl {
 public:
  DialControl(const FieldSet& fields, CommandRunner& runner) : fields_(fields), runner_(runner) {}
  DialControl(const DialControl&) = delete;
  DialControl& operator=(const DialControl&) = delete;

  // Each reads the fields afresh, runs its line and returns when the command has ended.
  void Dial();
  void HangUp();

 private:
  const FieldSet& fields_;
  CommandRunner& runner_;
};

}  // namespace dialserver
