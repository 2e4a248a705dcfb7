#include "window/control_table.h"

namespace dialserver {
namespace {

// 标签, 编辑框, 按钮 with their numbers.
#define DIALSERVER_LABEL(n) "\xB1\xEA\xC7\xA9" #n
#define DIALSERVER_EDIT_BOX(n) "\xB1\xE0\xBC\xAD\xBF\xF2" #n
#define DIALSERVER_BUTTON(n) "\xB0\xB4\xC5\xA5" #n

}  // namespace

// The labels' and edit boxes' texts come from the field table.
const std::array<ControlRow, 16> kControls = {{
    {DIALSERVER_LABEL(1), ControlKind::Label, 20, 20, 80, 24, kFields[0].label, kLabel1},
    {kFields[0].editBox, ControlKind::EditBox, 120, 20, 80, 20, kFields[0].defaultText, kEditBox1},
    {DIALSERVER_LABEL(2), ControlKind::Label, 20, 54, 80, 24, kFields[1].label, kLabel1 + 1},
    {kFields[1].editBox, ControlKind::EditBox, 120, 54, 80, 20, kFields[1].defaultText,
     kEditBox1 + 1},
    {DIALSERVER_LABEL(3), ControlKind::Label, 20, 88, 80, 24, kFields[2].label, kLabel1 + 2},
    {kFields[2].editBox, ControlKind::EditBox, 120, 88, 80, 20, kFields[2].defaultText,
     kEditBox1 + 2},
    {DIALSERVER_LABEL(4), ControlKind::Label, 20, 122, 80, 24, kFields[3].label, kLabel1 + 3},
    {kFields[3].editBox, ControlKind::EditBox, 120, 122, 180, 20, kFields[3].defaultText,
     kEditBox1 + 3},
    {DIALSERVER_LABEL(5), ControlKind::Label, 20, 156, 80, 24, kFields[4].label, kLabel1 + 4},
    // Four pixels above its label, as the layout has always been.
    {kFields[4].editBox, ControlKind::EditBox, 120, 152, 180, 20, kFields[4].defaultText,
     kEditBox1 + 4},
    {DIALSERVER_LABEL(6), ControlKind::Label, 20, 190, 80, 24, kFields[5].label, kLabel1 + 5},
    {kFields[5].editBox, ControlKind::EditBox, 120, 190, 80, 20, kFields[5].defaultText,
     kEditBox1 + 5},
    {DIALSERVER_LABEL(7), ControlKind::Label, 20, 224, 80, 24, kFields[6].label, kLabel1 + 6},
    {kFields[6].editBox, ControlKind::EditBox, 120, 224, 180, 20, kFields[6].defaultText,
     kEditBox1 + 6},
    {DIALSERVER_BUTTON(1), ControlKind::PushButton, 20, 258, 80, 32, "\xC1\xAC\xBD\xD3",  // 连接
     kButton1},
    {DIALSERVER_BUTTON(2), ControlKind::PushButton, 120, 258, 80, 32, "\xB6\xCF\xBF\xAA",  // 断开
     kButton2},
}};

const std::array<int, 9> kTabOrder = {
    kButton1,      kButton2,      kEditBox1 + 3, kEditBox1 + 4, kEditBox1,
    kEditBox1 + 1, kEditBox1 + 2, kEditBox1 + 5, kEditBox1 + 6,
};

int EditBoxIdOf(Field field) {
  return kEditBox1 + static_cast<int>(field);
}

KeyAction ActionForKey(Key key, bool shift, bool control, bool alt) {
  if (control || alt) return KeyAction::PassOn;
  if (key == kKeyTab) return shift ? KeyAction::FocusPrevious : KeyAction::FocusNext;
  if (key == kKeyEscape && !shift) return KeyAction::Close;
  return KeyAction::PassOn;
}

ScreenPoint CentredOrigin(int screenWidth, int screenHeight) {
  return ScreenPoint{(screenWidth - kWindowWidth) / 2, (screenHeight - kWindowHeight) / 2};
}

}  // namespace dialserver
