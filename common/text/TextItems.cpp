#include "common/text/TextItems.h"

namespace kelvane {

std::vector<std::u16string> SplitItems(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    items.emplace_back(text.substr(start, end == std::u16string_view::npos ? text.npos : end - start));
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return items;
}

}  // namespace kelvane
