#pragma once

#include <cstdint>
#include <string>

namespace dialclient {

// Connects to host:port over TCP (IPv4), sends the text whole and closes. False with `error`
// saying why when any step fails.
bool SendText(const std::string& host, std::uint16_t port, const std::string& text,
              std::string* error);

}  // namespace dialclient
