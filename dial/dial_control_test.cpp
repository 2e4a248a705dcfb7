#include "dial/dial_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dialserver {
namespace {

class RecordingRunner final : public CommandRunner {
 public:
  void Run(std::string_view commandLine) override { lines.emplace_back(commandLine); }
  std::vector<std::string> lines;
};

TEST(CommandLines, AreBuiltByteForByte) {
  const struct {
    const char* what;
    const char* name;
    const char* user;
    const char* password;
    const char* dial;
    const char* hangUp;
  } cases[] = {
      {"defaults", "DialLine", "MRTX4820", "530942", "cmd /c rasdial DialLine MRTX4820 530942",
       "cmd /c rasdial DialLine /disconnect"},
      {"all empty", "", "", "", "cmd /c rasdial   ", "cmd /c rasdial  /disconnect"},
      {"empty user", "DialLine", "", "530942", "cmd /c rasdial DialLine  530942",
       "cmd /c rasdial DialLine /disconnect"},
      {"blank in name", "My Line", "u", "p", "cmd /c rasdial My Line u p",
       "cmd /c rasdial My Line /disconnect"},
      {"untrimmed", " a ", "\tb", "c ", "cmd /c rasdial  a  \tb c ",
       "cmd /c rasdial  a  /disconnect"},
      // 宽带 (GBK) as the entry name passes unchanged
      {"GBK name", "\xBF\xED\xB4\xF8", "u", "p", "cmd /c rasdial \xBF\xED\xB4\xF8 u p",
       "cmd /c rasdial \xBF\xED\xB4\xF8 /disconnect"},
  };
  for (const auto& c : cases) {
    MemoryFieldSet fields;
    if (std::string_view(c.what) != "defaults") {
      fields.Write(Field::Name, c.name);
      fields.Write(Field::User, c.user);
      fields.Write(Field::Password, c.password);
    }
    EXPECT_EQ(DialCommandLine(fields), c.dial) << c.what;
    EXPECT_EQ(HangUpCommandLine(fields), c.hangUp) << c.what;
  }
}

TEST(DialControl, RunsEachLineOnceWithTheFieldsOfThatMoment) {
  MemoryFieldSet fields;
  RecordingRunner runner;
  DialControl control(fields, runner);

  control.HangUp();
  control.Dial();
  fields.Write(Field::Name, "Other");
  control.Dial();

  EXPECT_EQ(runner.lines, (std::vector<std::string>{
                              "cmd /c rasdial DialLine /disconnect",
                              "cmd /c rasdial DialLine MRTX4820 530942",
                              "cmd /c rasdial Other MRTX4820 530942",
                          }));
}

TEST(MemoryFieldSet, StartsFromTheDefaults) {
  MemoryFieldSet fields;
  for (const FieldInfo& info : kFields) {
    EXPECT_EQ(fields.Read(info.field), info.defaultText) << info.editBox;
  }
  EXPECT_EQ(fields.Read(Field::Name), "DialLine");
  EXPECT_EQ(fields.Read(Field::User), "MRTX4820");
  EXPECT_EQ(fields.Read(Field::Password), "530942");
  EXPECT_EQ(fields.Read(Field::RedialTime), "");
}

}  // namespace
}  // namespace dialserver
