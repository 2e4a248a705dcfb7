// Texts and the small operations on them that the dial commands and the remote redial rest on.
//
// A text is a string of 8-bit bytes in the system code page; every literal of the program is in
// code page 936 (GBK). An absent text and the empty text are the same value: every operation here
// takes a default-constructed std::string_view as the empty text. Results are new values owned by
// the caller. Running out of memory while building a result throws std::bad_alloc, which the
// program turns into a fatal message.
#pragma once

#include <cstddef>
#include <ctime>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dialserver {

using Text = std::string;

// Bytes as a client sent them: any values, zero bytes included.
using Bytes = std::string;

struct DateTime {
  int year;    // the full year, such as 2024
  int month;   // 1 to 12
  int day;     // 1 to the last day of the month
  int hour;    // 0 to 23
  int minute;  // 0 to 59
  int second;  // 0 to 59
  bool operator==(const DateTime&) const = default;
};

// The local calendar time of a clock reading in whole seconds since 1970-01-01 00:00:00 UTC, with
// the system's time zone and daylight-saving rules. A reading that the conversion cannot handle
// gives 1970-01-01 00:00:00, so that every reading still has a text.
DateTime LocalCalendarTime(std::time_t secondsSinceEpoch);

// The present local time; the fraction of the current second is dropped.
DateTime CurrentLocalTime();

// "%d年%d月%d日" followed by "%d时%d分%d秒", "%d时%d分", "%d时" or nothing, according to the
// last non-zero unit of the time of day. Numbers without leading zeros.
Text DateTimeText(const DateTime& time);

// DateTimeText(CurrentLocalTime()).
Text LocalTimeText();

// Received bytes as text: the bytes in front of the first zero byte, otherwise unchanged.
Text BytesToText(std::string_view bytes);

Text CopyText(std::string_view text);

// The pieces joined in order with nothing between them, built in one allocation.
Text JoinTexts(std::initializer_list<std::string_view> pieces);

// Byte-wise comparison with unsigned bytes, where the end of a text is below every byte: exactly
// -1, 0 or +1.
int CompareTexts(std::string_view a, std::string_view b);

std::size_t TextLength(std::string_view text);

}  // namespace dialserver
