#include "window/wide_text_win32.h"

#include <windows.h>

namespace dialserver {

std::wstring WideFromGbk(std::string_view gbk) {
  constexpr UINT kGbkCodePage = 936;
  if (gbk.empty()) return std::wstring();
  const int size = static_cast<int>(gbk.size());
  const int length = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, wide.data(), length);
  return wide;
}

}  // namespace dialserver
