// The seven operator fields. In the program the window's edit boxes are their only storage; a read
// gives a fresh copy of the whole current text and a write replaces it whole.
#pragma once

#include <array>
#include <string_view>

#include "dial/text.h"

namespace dialserver {

// In the order of the edit boxes 编辑框1 to 编辑框7.
enum class Field { Name, User, Password, Client, ConnectTime, Task, RedialTime };

struct FieldInfo {
  Field field;
  std::string_view editBox;      // the edit box's name, GBK
  std::string_view label;        // the label beside it, GBK
  std::string_view defaultText;  // its text at start
};

extern const std::array<FieldInfo, 7> kFields;

const FieldInfo& InfoOf(Field field);

class FieldSet {
 public:
  FieldSet() = default;
  FieldSet(const FieldSet&) = delete;
  FieldSet& operator=(const FieldSet&) = delete;
  virtual ~FieldSet() = default;

  // A new text with the field's whole current content; the empty text for an empty field.
  virtual Text Read(Field field) const = 0;
  // Replaces the field's whole content; an absent text empties it.
  virtual void Write(Field field, std::string_view text) = 0;
};

// Fields held in memory, starting from their defaults: the field set of the tests and of any
// front end that keeps its own storage.
class MemoryFieldSet final : public FieldSet {
 public:
  MemoryFieldSet();
  Text Read(Field field) const override;
  void Write(Field field, std::string_view text) override;

 private:
  std::array<Text, kFields.size()> texts_;
};

}  // namespace dialserver
