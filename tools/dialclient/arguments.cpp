#include "tools/dialclient/arguments.h"

#include <charconv>

namespace dialclient {

std::optional<Options> ParseArguments(const std::vector<std::string>& arguments,
                                      std::string* error) {
  Options options;
  bool haveText = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--host" || argument == "--port") {
      if (i + 1 == arguments.size()) {
        *error = argument + " needs a value";
        return std::nullopt;
      }
      const std::string& value = arguments[++i];
      if (argument == "--host") {
        if (value.empty()) {
          *error = "--host needs a host name or address";
          return std::nullopt;
        }
        options.host = value;
        continue;
      }
      unsigned port = 0;
      const auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (problem != std::errc() || end != value.data() + value.size() || port == 0 ||
          port > 65535) {
        *error = "--port needs a number from 1 to 65535, not \"" + value + "\"";
        return std::nullopt;
      }
      options.port = static_cast<std::uint16_t>(port);
    } else if (argument.size() > 2 && argument.rfind("--", 0) == 0) {
      *error = "unknown option " + argument;
      return std::nullopt;
    } else if (haveText) {
      *error = "only one TEXT may be given";
      return std::nullopt;
    } else {
      options.text = argument;
      haveText = true;
    }
  }
  return options;
}

}  // namespace dialclient
