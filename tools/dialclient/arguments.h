// dialclient [--host HOST] [--port PORT] [TEXT]: what to send, and where.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dialclient {

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = 19730;
  std::string text = "1";  // the redial command
};

// The options, or nothing with `error` saying what is wrong.
std::optional<Options> ParseArguments(const std::vector<std::string>& arguments,
                                      std::string* error);

inline constexpr const char kUsage[] =
    "usage: dialclient [--host HOST] [--port PORT] [TEXT]\n"
    "Sends TEXT (default \"1\", a redial) to a dialserver at HOST (default 127.0.0.1) and\n"
    "PORT (default 19730), then closes the connection.\n";

}  // namespace dialclient
