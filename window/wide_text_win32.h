#pragma once

#include <string>
#include <string_view>

namespace dialserver {

// The program's GBK literals as UTF-16, for the …W functions, so they read right whatever the
// system's code page.
std::wstring WideFromGbk(std::string_view gbk);

}  // namespace dialserver
