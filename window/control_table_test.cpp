#include "window/control_table.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace dialserver {
namespace {

TEST(ControlTable, EditBoxesShowTheFieldsInOrderBesideTheirLabels) {
  for (const FieldInfo& info : kFields) {
    const int id = EditBoxIdOf(info.field);
    int found = 0;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
      const ControlRow& row = kControls[i];
      if (row.id != id) continue;
      ++found;
      EXPECT_EQ(row.kind, ControlKind::EditBox);
      EXPECT_EQ(row.name, info.editBox);
      EXPECT_EQ(row.text, info.defaultText);
      ASSERT_GT(i, 0u);
      EXPECT_EQ(kControls[i - 1].kind, ControlKind::Label);
      EXPECT_EQ(kControls[i - 1].text, info.label);
      // Each box stands at its label's height, but the connect time's four pixels higher.
      EXPECT_EQ(kControls[i - 1].top - row.top, info.field == Field::ConnectTime ? 4 : 0)
          << info.editBox;
    }
    EXPECT_EQ(found, 1) << info.editBox;
  }
  std::set<int> ids;
  for (const ControlRow& row : kControls) ids.insert(row.id);
  EXPECT_EQ(ids.size(), kControls.size()) << "identifiers are unique";
}

TEST(TabOrder, CyclesThroughButtonsThenFieldsInTheFixedOrder) {
  auto all = [](int) { return true; };
  const struct {
    int from;
    bool forward;
    int to;
  } cases[] = {
      {kButton1, true, kButton2},
      {kButton2, true, kEditBox1 + 3},
      {kEditBox1 + 2, true, kEditBox1 + 5},
      {kEditBox1 + 6, true, kButton1},
      {kButton1, false, kEditBox1 + 6},
      {kEditBox1, false, kEditBox1 + 4},
      {0, true, kButton1},
      {0, false, kEditBox1 + 6},
      {kLabel1, true, kButton1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextInTabOrder(c.from, c.forward, all), c.to) << c.from << " forward " << c.forward;
  }
  // Controls that cannot take the focus are passed over.
  auto noButton2 = [](int id) { return id != kButton2; };
  EXPECT_EQ(NextInTabOrder(kButton1, true, noButton2), kEditBox1 + 3);
  EXPECT_EQ(NextInTabOrder(kButton1, true, [](int) { return false; }), std::nullopt);
  // A full cycle visits each of the nine exactly once.
  std::vector<int> visited;
  int at = kButton1;
  for (int i = 0; i < 9; ++i) visited.push_back(at = *NextInTabOrder(at, true, all));
  EXPECT_EQ(std::set<int>(visited.begin(), visited.end()).size(), 9u);
  EXPECT_EQ(visited.back(), kButton1);
}

TEST(ActionForKey, CountsOnlyWithExactlyTheModifiersShown) {
  const struct {
    Key key;
    bool shift, control, alt;
    KeyAction action;
  } cases[] = {
      {kKeyTab, false, false, false, KeyAction::FocusNext},
      {kKeyTab, true, false, false, KeyAction::FocusPrevious},
      {kKeyTab, false, true, false, KeyAction::PassOn},
      {kKeyTab, true, false, true, KeyAction::PassOn},
      {kKeyEscape, false, false, false, KeyAction::Close},
      {kKeyEscape, true, false, false, KeyAction::PassOn},
      {kKeyEscape, false, true, false, KeyAction::PassOn},
      {kKeyReturn, false, false, false, KeyAction::PassOn},
      {kKeyOther, false, false, false, KeyAction::PassOn},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ActionForKey(c.key, c.shift, c.control, c.alt), c.action)
        << c.key << c.shift << c.control << c.alt;
  }
}

TEST(CentredOrigin, DropsTheRemainders) {
  EXPECT_EQ(CentredOrigin(1920, 1080).x, 797);
  EXPECT_EQ(CentredOrigin(1920, 1080).y, 370);
  EXPECT_EQ(CentredOrigin(1366, 768).x, 520);
  EXPECT_EQ(CentredOrigin(1366, 768).y, 214);
}

}  // namespace
}  // namespace dialserver
