#include "reporter/delivery/trackers/ListValues.h"

#include "common/text/Windows1252.h"

namespace ruvex {
namespace {

// An id list shorter than its list (a broken answer) falls back to the entry.
const std::u16string& IdOrEntry(const TTextList& list, const TTextList& ids, std::size_t index) {
  return index < ids.size() ? ids[index] : list[index];
}

}  // namespace

bool CheckListValue(std::u16string& value, const TTextList& list, const TTextList& ids) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (kelvane::EqualsIgnoreCase(list[i], value)) {
      value = IdOrEntry(list, ids, i);
      return true;
    }
  }
  if (!list.empty()) value = IdOrEntry(list, ids, 0);
  return false;
}

bool CheckDoubleListValue(std::u16string& value, const TTextList& list, const TTextList& ids,
                          const TTextList& owners, const std::u16string& owner) {
  const auto ownedBy = [&](std::size_t i) { return i < owners.size() && kelvane::EqualsIgnoreCase(owners[i], owner); };
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (ownedBy(i) && kelvane::EqualsIgnoreCase(list[i], value)) {
      value = IdOrEntry(list, ids, i);
      return true;
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (ownedBy(i)) {
      value = IdOrEntry(list, ids, i);
      return false;
    }
  }
  return false;
}

}  // namespace ruvex
