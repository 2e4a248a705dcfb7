// libFuzzer target: the text operations against plain reference definitions.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dial/text.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "differs from the reference: %s\n", what);
    std::abort();
  }
}

std::string ReferenceBytesToText(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    if (c == '\0') break;
    text.push_back(c);
  }
  return text;
}

int ReferenceCompare(const std::string& a, const std::string& b) {
  for (std::size_t i = 0;; ++i) {
    // The end of a text counts as a byte 0, below every byte a text holds.
    const int x = i < a.size() ? static_cast<unsigned char>(a[i]) + 1 : 0;
    const int y = i < b.size() ? static_cast<unsigned char>(b[i]) + 1 : 0;
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

std::string ReferenceDateTimeText(const dialserver::DateTime& t) {
  char buffer[128];
  int n = std::snprintf(buffer, sizeof buffer, "%d\xC4\xEA%d\xD4\xC2%d\xC8\xD5", t.year, t.month,
                        t.day);
  if (t.second != 0) {
    n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n),
                       "%d\xCA\xB1%d\xB7\xD6%d\xC3\xEB", t.hour, t.minute, t.second);
  } else if (t.minute != 0) {
    n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n),
                       "%d\xCA\xB1%d\xB7\xD6", t.hour, t.minute);
  } else if (t.hour != 0) {
    n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), "%d\xCA\xB1",
                       t.hour);
  }
  return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // Three pieces cut from the input at places it chooses.
  const std::size_t cut1 = size == 0 ? 0 : data[0] % (size + 1);
  const std::size_t cut2 = size < 2 ? cut1 : std::max(cut1, data[1] % (size + 1));
  const std::string a = input.substr(0, cut1), b = input.substr(cut1, cut2 - cut1),
                    c = input.substr(cut2);

  using namespace dialserver;
  Check(BytesToText(input) == ReferenceBytesToText(input), "BytesToText");
  Check(JoinTexts({a, b, c}) == input, "JoinTexts");
  Check(JoinTexts({a, std::string_view{}, c}) == a + c, "JoinTexts with an absent piece");
  const std::string textA = BytesToText(a), textB = BytesToText(b);
  Check(CompareTexts(textA, textB) == ReferenceCompare(textA, textB), "CompareTexts");
  Check(CompareTexts(textB, textA) == -CompareTexts(textA, textB), "CompareTexts antisymmetry");
  Check(CopyText(input) == input && TextLength(input) == size, "CopyText and TextLength");

  if (size >= 8) {
    const DateTime t{1 + (data[2] | data[3] << 8) % 9999,
                     1 + data[4] % 12,
                     1 + data[5] % 28,
                     data[6] % 24,
                     data[7] % 60,
                     data[size - 1] % 60};
    Check(DateTimeText(t) == ReferenceDateTimeText(t), "DateTimeText");
  }
  return 0;
}
