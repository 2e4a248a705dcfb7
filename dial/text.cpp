#include "dial/text.h"

#include <algorithm>

namespace dialserver {
namespace {

// The unit characters of the time text, in code page 936.
constexpr std::string_view kYear = "\xC4\xEA";    // 年
constexpr std::string_view kMonth = "\xD4\xC2";   // 月
constexpr std::string_view kDay = "\xC8\xD5";     // 日
constexpr std::string_view kHour = "\xCA\xB1";    // 时
constexpr std::string_view kMinute = "\xB7\xD6";  // 分
constexpr std::string_view kSecond = "\xC3\xEB";  // 秒

constexpr DateTime kEpoch{1970, 1, 1, 0, 0, 0};

void AppendNumber(Text& text, int number, std::string_view unit) {
  text += std::to_string(number);
  text += unit;
}

}  // namespace

DateTime LocalCalendarTime(std::time_t secondsSinceEpoch) {
  // The program has one thread, so the shared result of std::localtime is safe to read here.
  const std::tm* local = std::localtime(&secondsSinceEpoch);
  if (local == nullptr) return kEpoch;
  return DateTime{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                  local->tm_hour,        local->tm_min,     local->tm_sec};
}

DateTime CurrentLocalTime() {
  return LocalCalendarTime(std::time(nullptr));
}

Text DateTimeText(const DateTime& time) {
  Text text;
  AppendNumber(text, time.year, kYear);
  AppendNumber(text, time.month, kMonth);
  AppendNumber(text, time.day, kDay);
  if (time.second != 0) {
    AppendNumber(text, time.hour, kHour);
    AppendNumber(text, time.minute, kMinute);
    AppendNumber(text, time.second, kSecond);
  } else if (time.minute != 0) {
    AppendNumber(text, time.hour, kHour);
    AppendNumber(text, time.minute, kMinute);
  } else if (time.hour != 0) {
    AppendNumber(text, time.hour, kHour);
  }
  return text;
}

Text LocalTimeText() {
  return DateTimeText(CurrentLocalTime());
}

Text BytesToText(std::string_view bytes) {
  return Text(bytes.substr(0, bytes.find('\0')));
}

Text CopyText(std::string_view text) {
  return Text(text);
}

Text JoinTexts(std::initializer_list<std::string_view> pieces) {
  std::size_t length = 0;
  for (std::string_view piece : pieces) length += TextLength(piece);
  Text joined(length, '\0');
  char* out = joined.data();
  for (std::string_view piece : pieces) out = std::copy(piece.begin(), piece.end(), out);
  return joined;
}

int CompareTexts(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto byteOfA = static_cast<unsigned char>(a[i]);
    const auto byteOfB = static_cast<unsigned char>(b[i]);
    if (byteOfA != byteOfB) return byteOfA < byteOfB ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::size_t TextLength(std::string_view text) {
  return text.size();
}

}  // namespace dialserver
