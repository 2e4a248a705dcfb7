#include "tools/dialclient/arguments.h"

#include <gtest/gtest.h>

namespace dialclient {
namespace {

TEST(ParseArguments, DefaultsAndOverrides) {
  const struct {
    std::vector<std::string> arguments;
    std::string host;
    std::uint16_t port;
    std::string text;
  } cases[] = {
      {{}, "127.0.0.1", 19730, "1"},
      {{"2"}, "127.0.0.1", 19730, "2"},
      {{"--host", "example.lan", "--port", "2000"}, "example.lan", 2000, "1"},
      {{"--port", "65535", "hello world"}, "127.0.0.1", 65535, "hello world"},
      {{"-"}, "127.0.0.1", 19730, "-"},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto options = ParseArguments(c.arguments, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->host, c.host);
    EXPECT_EQ(options->port, c.port);
    EXPECT_EQ(options->text, c.text);
  }
}

TEST(ParseArguments, RejectsWhatItCannotUse) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port"}, {"--port", "0"}, {"--port", "65536"}, {"--port", "12x"}, {"--port", ""},
      {"--host"}, {"--host", ""},  {"--colour", "red"}, {"one", "two"},
  };
  for (const auto& arguments : cases) {
    std::string error;
    EXPECT_FALSE(ParseArguments(arguments, &error)) << testing::PrintToString(arguments);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace dialclient
