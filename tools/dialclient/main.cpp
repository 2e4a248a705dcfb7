// dialclient: orders a redial from a dialserver, or sends it any other text.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/dialclient/arguments.h"
#include "tools/dialclient/send_text.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      std::fputs(dialclient::kUsage, stdout);
      return 0;
    }
  }
  std::string error;
  const auto options = dialclient::ParseArguments(arguments, &error);
  if (!options) {
    std::fprintf(stderr, "dialclient: %s\n%s", error.c_str(), dialclient::kUsage);
    return 2;
  }
  if (!dialclient::SendText(options->host, options->port, options->text, &error)) {
    std::fprintf(stderr, "dialclient: cannot send to %s:%u: %s\n", options->host.c_str(),
                 static_cast<unsigned>(options->port), error.c_str());
    return 1;
  }
  return 0;
}
