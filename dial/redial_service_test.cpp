#include "dial/redial_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dialserver {
namespace {

using namespace std::string_literals;

// Runner and clock write into one log, so the order of commands and time readings shows.
struct EventLog {
  std::vector<std::string> events;
};

class RecordingRunner final : public CommandRunner {
 public:
  explicit RecordingRunner(EventLog& log) : log_(log) {}
  void Run(std::string_view commandLine) override {
    log_.events.push_back("run " + std::string(commandLine));
  }

 private:
  EventLog& log_;
};

class CountingClock final : public TimeTextSource {
 public:
  explicit CountingClock(EventLog& log) : log_(log) {}
  Text Now() override {
    const std::string text = "T" + std::to_string(++readings_);
    log_.events.push_back("clock " + text);
    return text;
  }

 private:
  EventLog& log_;
  int readings_ = 0;
};

class RedialServiceTest : public testing::Test {
 protected:
  EventLog log;
  MemoryFieldSet fields;
  RecordingRunner runner{log};
  CountingClock clock{log};
  DialControl dialControl{fields, runner};
  RedialService service{fields, dialControl, clock};
};

TEST_F(RedialServiceTest, CommandHangsUpThenDialsThenWritesTheTime) {
  service.OnDataArrived("1", "127.0.0.1:50000");

  EXPECT_EQ(log.events, (std::vector<std::string>{
                            "run cmd /c rasdial DialLine /disconnect",
                            "run cmd /c rasdial DialLine MRTX4820 530942",
                            "clock T1",
                        }));
  EXPECT_EQ(fields.Read(Field::Task), "1");
  EXPECT_EQ(fields.Read(Field::RedialTime), "T1");
}

TEST_F(RedialServiceTest, CommandEndsAtTheFirstZeroByte) {
  service.OnDataArrived("1\0garbage"s, "c");
  EXPECT_EQ(fields.Read(Field::Task), "1");
  EXPECT_EQ(log.events.size(), 3u);
}

TEST_F(RedialServiceTest, AnythingElseOnlySetsTheTaskField) {
  const struct {
    std::string data;
    std::string task;
  } cases[] = {
      {"1\r\n", "1\r\n"},
      {"1\n", "1\n"},
      {"11", "11"},
      {"2", "2"},
      {"01", "01"},
      {"one", "one"},
      {" 1", " 1"},
      {"1 ", "1 "},
      {"\0"s
       "1",
       ""},
      {"\0"s, ""},
      {"\xB1", "\xB1"},
      {"1 & echo x", "1 & echo x"},
  };
  for (const auto& c : cases) {
    service.OnDataArrived(c.data, "c");
    EXPECT_EQ(fields.Read(Field::Task), c.task) << testing::PrintToString(c.data);
    EXPECT_TRUE(log.events.empty()) << testing::PrintToString(c.data);
    EXPECT_EQ(fields.Read(Field::RedialTime), "") << testing::PrintToString(c.data);
  }
}

TEST_F(RedialServiceTest, OperatorEditsAreUsedByTheNextRedial) {
  fields.Write(Field::Name, "My Line");
  fields.Write(Field::User, "someone");
  fields.Write(Field::Password, "");
  service.OnDataArrived("1", "c");
  EXPECT_EQ(log.events, (std::vector<std::string>{
                            "run cmd /c rasdial My Line /disconnect",
                            "run cmd /c rasdial My Line someone ",
                            "clock T1",
                        }));
}

TEST_F(RedialServiceTest, ClientArrivalSetsOnlyClientAndConnectTime) {
  fields.Write(Field::Task, "old task");
  service.OnClientEntered("10.0.0.5:50000");
  service.OnClientEntered("192.168.1.20:50001");

  EXPECT_EQ(fields.Read(Field::Client), "192.168.1.20:50001");
  EXPECT_EQ(fields.Read(Field::ConnectTime), "T2");
  EXPECT_EQ(fields.Read(Field::Task), "old task");
  EXPECT_EQ(fields.Read(Field::RedialTime), "");
  EXPECT_EQ(fields.Read(Field::Name), "DialLine");
  EXPECT_EQ(log.events, (std::vector<std::string>{"clock T1", "clock T2"}));
}

}  // namespace
}  // namespace dialserver
