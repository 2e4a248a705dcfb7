// Runs real processes: a recording stand-in cmd.exe is built beside this test, where
// CreateProcessA looks first.
#include "dial/command_runner_win32.h"
#include "tools/handle_count_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dialserver {
namespace {

struct Record {
  long long start = 0;
  long long end = 0;
  std::string line;
};

long long MillisecondsSince1970() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string OwnFolder() {
  char path[MAX_PATH];
  std::string folder(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.rfind('\\'));
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

class ProcessCommandRunnerTest : public testing::Test {
 protected:
  void SetUp() override {
    DeleteFileA(log_.c_str());
    DeleteFileA(delay_.c_str());
  }
  void TearDown() override { SetUp(); }

  void SetDelay(int milliseconds) { std::ofstream(delay_) << milliseconds; }

  std::vector<Record> Records() const {
    std::vector<Record> records;
    std::ifstream in(log_);
    Record record;
    std::string hex;
    while (in >> record.start >> record.end >> hex) {
      record.line = FromHex(hex);
      records.push_back(record);
    }
    return records;
  }

  const std::string log_ = OwnFolder() + "\\cmd.log";
  const std::string delay_ = OwnFolder() + "\\cmd.delay";
  ProcessCommandRunner runner_;
};

TEST_F(ProcessCommandRunnerTest, PassesTheLineUnchangedAndWaitsForTheEnd) {
  SetDelay(400);
  const std::string line = "cmd /c rasdial My Line  \"x\" /disconnect";
  const long long before = MillisecondsSince1970();
  runner_.Run(line);
  const long long after = MillisecondsSince1970();

  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].line, line);
  EXPECT_GE(records[0].start, before - 50);  // clock granularity
  EXPECT_GE(records[0].end - records[0].start, 400);
  EXPECT_LE(records[0].end, after);
}

TEST_F(ProcessCommandRunnerTest, RunsCommandsOneAfterAnother) {
  SetDelay(150);
  runner_.Run("cmd /c rasdial DialLine /disconnect");
  runner_.Run("cmd /c rasdial DialLine MRTX4820 530942");
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].line, "cmd /c rasdial DialLine /disconnect");
  EXPECT_EQ(records[1].line, "cmd /c rasdial DialLine MRTX4820 530942");
  EXPECT_LE(records[0].end, records[1].start);
}

TEST_F(ProcessCommandRunnerTest, ALineThatCannotStartReturnsAtOnce) {
  const auto before = std::chrono::steady_clock::now();
  runner_.Run("no-such-program-here /c rasdial");
  runner_.Run("");
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_TRUE(Records().empty());
}

TEST_F(ProcessCommandRunnerTest, ReleasesTheProcessAndThreadHandles) {
  runner_.Run("cmd /c rasdial warm-up");
  const long long before = HandleCountOf(GetCurrentProcessId());
  ASSERT_GT(before, 0);
  for (int i = 0; i < 20; ++i) runner_.Run("cmd /c rasdial DialLine /disconnect");
  EXPECT_LE(HandleCountOf(GetCurrentProcessId()), before);
  EXPECT_EQ(Records().size(), 21u);
}

}  // namespace
}  // namespace dialserver
