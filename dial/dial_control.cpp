#include "dial/dial_control.h"

namespace dialserver {
namespace {

constexpr std::string_view kRasdialPrefix = "cmd /c rasdial ";
constexpr std::string_view kBlank = " ";
constexpr std::string_view kDisconnect = " /disconnect";

}  // namespace

Text DialCommandLine(const FieldSet& fields) {
  const Text name = fields.Read(Field::Name);
  const Text user = fields.Read(Field::User);
  const Text password = fields.Read(Field::Password);
  return JoinTexts({kRasdialPrefix, name, kBlank, user, kBlank, password});
}

Text HangUpCommandLine(const FieldSet& fields) {
  const Text name = fields.Read(Field::Name);
  return JoinTexts({kRasdialPrefix, name, kDisconnect});
}

void DialControl::Dial() {
  runner_.Run(DialCommandLine(fields_));
}

void DialControl::HangUp() {
  runner_.Run(HangUpCommandLine(fields_));
}

}  // namespace dialserver
