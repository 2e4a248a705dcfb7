#include "dial/field_set.h"

namespace dialserver {

const std::array<FieldInfo, 7> kFields = {{
    // 编辑框1, 名称
    {Field::Name,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "1",
     "\xC3\xFB\xB3\xC6", "DialLine"},
    // 编辑框2, 用户
    {Field::User,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "2",
     "\xD3\xC3\xBB\xA7", "MRTX4820"},
    // 编辑框3, 密码
    {Field::Password,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "3",
     "\xC3\xDC\xC2\xEB", "530942"},
    // 编辑框4, 客户
    {Field::Client,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "4",
     "\xBF\xCD\xBB\xA7", ""},
    // 编辑框5, 时间
    {Field::ConnectTime,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "5",
     "\xCA\xB1\xBC\xE4", ""},
    // 编辑框6, 任务
    {Field::Task,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "6",
     "\xC8\xCE\xCE\xF1", ""},
    // 编辑框7, 时间
    {Field::RedialTime,
     "\xB1\xE0\xBC\xAD\xBF\xF2"
     "7",
     "\xCA\xB1\xBC\xE4", ""},
}};

const FieldInfo& InfoOf(Field field) {
  return kFields[static_cast<std::size_t>(field)];
}

MemoryFieldSet::MemoryFieldSet() {
  for (const FieldInfo& info : kFields) Write(info.field, info.defaultText);
}

Text MemoryFieldSet::Read(Field field) const {
  return CopyText(texts_[static_cast<std::size_t>(field)]);
}

void MemoryFieldSet::Write(Field field, std::string_view text) {
  texts_[static_cast<std::size_t>(field)] = CopyText(text);
}

}  // namespace dialserver
