// The main window's layout as data: one row per control, the same table that building the window
// loops over and that the tests read. Positions are pixels in the window's client area.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "dial/field_set.h"

namespace dialserver {

// The window's own literals, GBK.
inline constexpr std::string_view kWindowTitle =
    "\xB2\xA6\xBA\xC5\xB7\xFE\xCE\xF1\xB6\xCB";  // 拨号服务端
inline constexpr std::string_view kStartFailedMessage =
    "\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xD4\xD8\xC8\xEB\xCA\xA7\xB0\xDC";  // 启动窗口载入失败
inline constexpr std::string_view kOutOfMemoryMessage =
    "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3";  // 内存不足

inline constexpr int kWindowWidth = 325;
inline constexpr int kWindowHeight = 340;

enum class ControlKind { Label, EditBox, PushButton };

// Control identifiers; the edit boxes' follow the field order.
enum ControlId : int {
  kLabel1 = 101,    // 标签1 .. 标签7: 101 .. 107
  kEditBox1 = 201,  // 编辑框1 .. 编辑框7: 201 .. 207
  kButton1 = 301,   // 按钮1
  kButton2 = 302,   // 按钮2
};

struct ControlRow {
  std::string_view name;  // GBK
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  std::string_view text;  // at start, GBK
  int id;
};

extern const std::array<ControlRow, 16> kControls;

// Tab and Shift+Tab cycle through these, in this order.
extern const std::array<int, 9> kTabOrder;

int EditBoxIdOf(Field field);

// The control of the tab order after (forward) or before `current`, skipping controls that
// `takesPart` rejects; an unknown `current` starts from the first (forward) or the last. Nothing
// when no control takes part.
template <typename TakesPart>
std::optional<int> NextInTabOrder(int current, bool forward, TakesPart takesPart);

// What the window does with a key before the focused control sees it.
enum class KeyAction { PassOn, FocusNext, FocusPrevious, Close };

enum Key { kKeyTab, kKeyEscape, kKeyReturn, kKeyOther };

// A key counts only with exactly the modifiers shown: Tab alone or with Shift, Esc alone.
KeyAction ActionForKey(Key key, bool shift, bool control, bool alt);

struct ScreenPoint {
  int x;
  int y;
};

// The window's top-left corner when centred on a screen of that size.
ScreenPoint CentredOrigin(int screenWidth, int screenHeight);

template <typename TakesPart>
std::optional<int> NextInTabOrder(int current, bool forward, TakesPart takesPart) {
  const int count = static_cast<int>(kTabOrder.size());
  int position = forward ? -1 : count;
  for (int i = 0; i < count; ++i) {
    if (kTabOrder[static_cast<std::size_t>(i)] == current) position = i;
  }
  for (int step = 1; step <= count; ++step) {
    const int next = ((position + (forward ? step : -step)) % count + count) % count;
    const int id = kTabOrder[static_cast<std::size_t>(next)];
    if (takesPart(id)) return id;
  }
  return std::nullopt;
}

}  // namespace dialserver
