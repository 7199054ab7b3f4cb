// Random operations on a field list: it stays consistent (trimmed, no empty
// contents, the add index inside the list) and its clone matches it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "reporter/core/fields/Fields.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  static const char16_t* const kNames[] = {u"date/time", u"DATE/TIME", u"callstack crc", u"Ärger", u"ärger", u"x"};
  static const char16_t* const kContents[] = {u"", u"  ", u"value", u" value\r\n", u"\x01", u"other"};
  TIREFields fields;
  int notifications = 0;
  fields.SetOnChange([&] { ++notifications; });
  int depth = 0;
  for (std::size_t i = 0; i + 2 < size; i += 3) {
    const char16_t* name = kNames[data[i + 1] % 6];
    const char16_t* content = kContents[data[i + 2] % 6];
    const int index = static_cast<int>(data[i + 2] % 9) - 2;
    switch (data[i] % 10) {
      case 0: fields.SetContent(name, content); break;
      case 1: fields.Insert(index, name, content); break;
      case 2: fields.Delete(index); break;
      case 3: fields.Delete(name); break;
      case 4: fields.SetItem(index, name); break;
      case 5: fields.SetAddIndex(index); break;
      case 6: fields.AcceptData(data[i + 1] & 1); break;
      case 7:
        if (depth < 4) fields.Lock(), ++depth;
        break;
      case 8:
        if (depth > 0) fields.Unlock(), --depth;
        break;
      default: fields.Add(name, content); break;
    }
    const int count = fields.GetItemCount();
    Require(fields.AddIndex() >= -1 && fields.AddIndex() <= count);
    for (const auto& [itemName, itemContent] : fields.Items()) {
      Require(!itemContent.empty() && itemContent.front() > 32 && itemContent.back() > 32);
      Require(!itemName.empty());
    }
    Require(static_cast<TIREFields&>(*fields.Clone()).Items() == fields.Items());
  }
  while (depth-- > 0) fields.Unlock();
  Require(notifications >= 0);
  return 0;
}
