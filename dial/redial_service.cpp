#include "dial/redial_service.h"

namespace dialserver {

void RedialService::OnClientEntered(std::string_view client) {
  fields_.Write(Field::Client, client);
  fields_.Write(Field::ConnectTime, clock_.Now());
}

void RedialService::OnDataArrived(std::string_view data, std::string_view /*client*/) {
  fields_.Write(Field::Task, BytesToText(data));
  // The field is read back: what the edit box holds is what counts.
  if (CompareTexts(fields_.Read(Field::Task), kRedialCommand) != 0) return;
  dialControl_.HangUp();
  dialControl_.Dial();
  fields_.Write(Field::RedialTime, clock_.Now());
}

}  // namespace dialserver
