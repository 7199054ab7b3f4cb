#include "reporter/ui/assistant/NVItems.h"

#include <climits>

#include "common/text/Windows1252.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;

namespace {

bool Is(std::u16string_view name, std::u16string_view expected) { return EqualsIgnoreCase(name, expected); }

// "%lf%" in an edit's text stands for a line break.
std::u16string ExpandLineFeeds(std::u16string_view text) {
  static constexpr std::u16string_view kMarker = u"%lf%";
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, kMarker.size()) == kMarker) {
      out += u"\r\n";
      i += kMarker.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

bool ContainsIgnoreCase(std::u16string_view text, std::u16string_view part) {
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
    if (EqualsIgnoreCase(text.substr(i, part.size()), part)) return true;
  return false;
}

}  // namespace

bool NVBoolean(std::u16string_view value) {
  return value == u"1" || EqualsIgnoreCase(value, u"yes") || EqualsIgnoreCase(value, u"true");
}

int NVInteger(std::u16string_view value) {
  std::size_t i = 0;
  const bool negative = !value.empty() && value[0] == u'-';
  if (negative) ++i;
  if (i == value.size()) return 0;
  long long result = 0;
  for (; i < value.size(); ++i) {
    if (value[i] < u'0' || value[i] > u'9') return 0;
    result = result * 10 + (value[i] - u'0');
    // The stream holds 32-bit values at most; anything longer is no number.
    if (result > INT_MAX) return 0;
  }
  return static_cast<int>(negative ? -result : result);
}

void TNVItem::SetProperty(std::u16string_view name, std::u16string_view value) {
  if (SetOwnProperty(name, value)) return;
  if (Is(name, u"Spacing")) {
    FSpacing = NVInteger(value);
  } else if (Is(name, u"Enabled")) {
    FEnabled = NVBoolean(value);
  } else if (Is(name, u"OutputType")) {
    FOutputType = ContainsIgnoreCase(value, u"ownSection") ? otOwnSection : otHeader;
  } else if (Is(name, u"OutputName")) {
    FOutputName = std::u16string(value);
  }
}

bool TNVButton::SetOwnProperty(std::u16string_view name, std::u16string_view value) {
  if (Is(name, u"MinWidth")) FMinWidth = NVInteger(value);
  else if (Is(name, u"Caption")) FCaption = std::u16string(value);
  else if (Is(name, u"NoOwnerDraw")) FNoOwnerDraw = NVBoolean(value);
  else if (Is(name, u"Visible")) FInvisible = !NVBoolean(value);
  else return false;
  return true;
}

bool TNVLabel::SetOwnProperty(std::u16string_view name, std::u16string_view value) {
  if (!Is(name, u"Caption")) return false;
  FCaption = std::u16string(value);
  return true;
}

bool TNVEdit::SetOwnProperty(std::u16string_view name, std::u16string_view value) {
  if (Is(name, u"Text")) FText = ExpandLineFeeds(value);
  else if (Is(name, u"Lines")) FLines = NVInteger(value);
  else if (Is(name, u"Optional")) FOptional = NVBoolean(value);
  else if (Is(name, u"Colored")) FNColored = !NVBoolean(value);
  else if (Is(name, u"Valid")) FNValid = !NVBoolean(value);
  else return false;
  return true;
}

bool TNVCheckBox::SetOwnProperty(std::u16string_view name, std::u16string_view value) {
  if (Is(name, u"Caption") || Is(name, u"Text")) FCaption = std::u16string(value);
  else if (Is(name, u"Checked")) FChecked = NVBoolean(value);
  else return false;
  return true;
}

bool TNVImage::SetOwnProperty(std::u16string_view name, std::u16string_view value) {
  if (Is(name, u"Width")) FRect.width = NVInteger(value);
  else if (Is(name, u"Height")) FRect.height = NVInteger(value);
  else if (Is(name, u"File")) FFile = std::u16string(value);
  else if (Is(name, u"Clickable")) FClickable = NVBoolean(value);
  else if (Is(name, u"Border")) FBorder = NVBoolean(value);
  else return false;
  return true;
}

}  // namespace ruvex
