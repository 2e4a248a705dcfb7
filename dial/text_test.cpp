#include "dial/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace dialserver {
namespace {

using namespace std::string_literals;

// Date-time texts as GBK bytes: 年 C4EA, 月 D4C2, 日 C8D5, 时 CAB1, 分 B7D6, 秒 C3EB.
TEST(DateTimeText, DropsTrailingZeroUnitsOnly) {
  const struct {
    DateTime time;
    const char* text;
  } cases[] = {
      // 2024年3月5日14时7分9秒
      {{2024, 3, 5, 14, 7, 9},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "14\xCA\xB1"
       "7\xB7\xD6"
       "9\xC3\xEB"},
      // 2024年3月5日14时7分
      {{2024, 3, 5, 14, 7, 0},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "14\xCA\xB1"
       "7\xB7\xD6"},
      // 2024年3月5日14时
      {{2024, 3, 5, 14, 0, 0},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "14\xCA\xB1"},
      // 2024年3月5日
      {{2024, 3, 5, 0, 0, 0},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"},
      // 2024年3月5日0时0分5秒
      {{2024, 3, 5, 0, 0, 5},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "0\xCA\xB1"
       "0\xB7\xD6"
       "5\xC3\xEB"},
      // 2024年3月5日0时30分
      {{2024, 3, 5, 0, 30, 0},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "0\xCA\xB1"
       "30\xB7\xD6"},
      // 2024年3月5日14时0分30秒
      {{2024, 3, 5, 14, 0, 30},
       "2024\xC4\xEA"
       "3\xD4\xC2"
       "5\xC8\xD5"
       "14\xCA\xB1"
       "0\xB7\xD6"
       "30\xC3\xEB"},
      // 2024年12月31日23时59分59秒
      {{2024, 12, 31, 23, 59, 59},
       "2024\xC4\xEA"
       "12\xD4\xC2"
       "31\xC8\xD5"
       "23\xCA\xB1"
       "59\xB7\xD6"
       "59\xC3\xEB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeText(c.time), c.text)
        << c.time.year << "-" << c.time.month << "-" << c.time.day << " " << c.time.hour << ":"
        << c.time.minute << ":" << c.time.second;
  }
}

TEST(LocalCalendarTime, UnconvertibleClockGivesTheEpoch) {
  EXPECT_EQ(LocalCalendarTime(std::numeric_limits<std::time_t>::max()),
            (DateTime{1970, 1, 1, 0, 0, 0}));
}

TEST(LocalCalendarTime, AgreesWithTheCurrentClock) {
  const std::time_t before = std::time(nullptr);
  const DateTime now = CurrentLocalTime();
  const std::time_t after = std::time(nullptr);
  // The reading lies between two clock readings taken around it (whole seconds, same zone).
  const DateTime first = LocalCalendarTime(before);
  const DateTime last = LocalCalendarTime(after);
  auto key = [](const DateTime& t) {
    return ((((t.year * 13LL + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) * 60 +
           t.second;
  };
  EXPECT_LE(key(first), key(now));
  EXPECT_LE(key(now), key(last));
  EXPECT_GE(now.year, 2024);
}

TEST(LocalTimeText, BeginsWithTheDateAndIsNeverEmpty) {
  const DateTime now = CurrentLocalTime();
  const Text text = LocalTimeText();
  const Text date = std::to_string(now.year) + "\xC4\xEA";  // 年
  EXPECT_EQ(text.compare(0, date.size(), date), 0) << text;
}

TEST(BytesToText, CutsBeforeTheFirstZeroByteOnly) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"1", "1"},
      {"1\0"s
       "2",
       "1"},
      {"\0"s
       "1",
       ""},
      {"", ""},
      {"1\r\n", "1\r\n"},
      {"\xC4\xEA", "\xC4\xEA"},                  // 年
      {"\xFF\x80\x7F\xA1", "\xFF\x80\x7F\xA1"},  // not valid GBK: copied as it stands
      {"1 & echo x\0tail"s, "1 & echo x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BytesToText(c.bytes), c.text) << "bytes: " << testing::PrintToString(c.bytes);
  }
  EXPECT_EQ(BytesToText(std::string_view{}), "");
}

TEST(BytesToText, KeepsALongBlockWithoutZeroWhole) {
  std::string block(4096, 'x');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(1 + i % 255);
  EXPECT_EQ(BytesToText(block), block);
}

TEST(JoinTexts, JoinsWithNothingBetween) {
  const struct {
    std::initializer_list<std::string_view> pieces;
    std::string joined;
  } cases[] = {
      {{"cmd /c rasdial ", std::string_view{}, " /disconnect"}, "cmd /c rasdial  /disconnect"},
      {{"", "", ""}, ""},
      {{std::string_view{}}, ""},
      {{"a"}, "a"},
      {{" a ", " b", "c "}, " a  bc "},
      {{"\xC4\xEA", "\xD4\xC2"}, "\xC4\xEA\xD4\xC2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinTexts(c.pieces), c.joined) << "expected: " << c.joined;
  }
}

TEST(CompareTexts, OrdersUnsignedBytesAndShorterFirst) {
  const struct {
    std::string_view a, b;
    int result;
  } cases[] = {
      {"1", "1", 0},
      {std::string_view{}, "", 0},
      {std::string_view{}, std::string_view{}, 0},
      {std::string_view{}, "1", -1},
      {"1", std::string_view{}, 1},
      {"11", "1", 1},
      {"1\r\n", "1", 1},
      {" 1", "1", -1},
      {"A", "a", -1},
      {"\xC4", "1", 1},  // unsigned: C4 is above 31
      {"1", "\xC4\xEA", -1},
      {"abc", "abd", -1},
      {"abd", "abc", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareTexts(c.a, c.b), c.result)
        << testing::PrintToString(std::string(c.a)) << " vs "
        << testing::PrintToString(std::string(c.b));
  }
}

TEST(CopyTextAndTextLength, CountBytes) {
  EXPECT_EQ(CopyText("\xC4\xEA"
                     "1"),
            "\xC4\xEA"
            "1");
  EXPECT_EQ(CopyText(std::string_view{}), "");
  EXPECT_EQ(TextLength("\xC4\xEA"), 2u);
  EXPECT_EQ(TextLength(std::string_view{}), 0u);
}

}  // namespace
}  // namespace dialserver
