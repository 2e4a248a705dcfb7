// What the program does with the listener's notifications: record who connected and when, record
// what arrived, and on the redial command hang up, dial again and record when that ended.
#pragma once

#include <string_view>

#include "dial/dial_control.h"
#include "dial/field_set.h"
#include "dial/text.h"

namespace dialserver {

// The redial command: the single character "1", nothing before or after it.
inline constexpr std::string_view kRedialCommand = "1";

// Where the time texts come from.
class TimeTextSource {
 public:
  TimeTextSource() = default;
  TimeTextSource(const TimeTextSource&) = delete;
  TimeTextSource& operator=(const TimeTextSource&) = delete;
  virtual ~TimeTextSource() = default;

  virtual Text Now() = 0;
};

// The local clock: LocalTimeText at the moment of the call.
class LocalClock final : public TimeTextSource {
 public:
  Text Now() override { return LocalTimeText(); }
};

class RedialService {
 public:
  RedialService(FieldSet& fields, DialControl& dialControl, TimeTextSource& clock)
      : fields_(fields), dialControl_(dialControl), clock_(clock) {}
  RedialService(const RedialService&) = delete;
  RedialService& operator=(const RedialService&) = delete;

  void OnClientEntered(std::string_view client);
  // `client` names the sender; it is not used.
  void OnDataArrived(std::string_view data, std::string_view client);

 private:
  FieldSet& fields_;
  DialControl& dialControl_;
  TimeTextSource& clock_;
};

}  // namespace dialserver
