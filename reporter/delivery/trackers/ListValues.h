#pragma once
// Matching a configured value (project, area, user, ...) against a list
// the tracker sent. An unknown value never stops an upload: it falls back
// to the first entry that fits.
#include <string>
#include <vector>

namespace ruvex {

using TTextList = std::vector<std::u16string>;

// True when an entry equals value (without regard to case); value becomes
// that entry's id, or the entry itself when ids is empty. Otherwise value
// becomes the first entry's id or entry, when the list has one.
bool CheckListValue(std::u16string& value, const TTextList& list, const TTextList& ids);

// The same within the entries whose owner equals owner: the fallback is the
// first entry of that owner; value stays when the owner has none.
bool CheckDoubleListValue(std::u16string& value, const TTextList& list, const TTextList& ids,
                          const TTextList& owners, const std::u16string& owner);

}  // namespace ruvex
