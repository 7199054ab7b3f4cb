#include "reporter/ui/assistant/FormLayout.h"

#include <algorithm>

namespace ruvex {

namespace {

// Stream values are 32-bit: keep every extent in window-coordinate range so
// that the sums below cannot overflow.
constexpr int kMaxExtent = 32767;
constexpr int kMaxFormExtent = 1 << 24;
int Clamped(int value, int low = -kMaxExtent) { return std::clamp(value, low, kMaxExtent); }

int ButtonWidth(const TNVButton& button, const ITextMeasure& measure) {
  if (button.FInvisible) return 0;
  return std::max(Clamped(button.FMinWidth, 0),
                  Clamped(measure.Extent(button.FCaption, TNVFont::dialog).width, 0) + kButtonCaptionPadding);
}

int FormWidth(const TNVForm& form, const ITextMeasure& measure) {
  int buttons = kButtonRowSlack;
  for (int i = 0; i < kFirstContentIndex; ++i) buttons += ButtonWidth(static_cast<TNVButton&>(*form.Item(i)), measure);
  const int header = Clamped(measure.Extent(form.FMessage, TNVFont::header).width, 0) +
                     Clamped(form.FSteps, 0) * kStepPitch + kMessageSlack;
  return std::max({kFormMinWidth, Clamped(form.FMinWidth, 0), buttons, header});
}

// The item's size when its content width is `width`.
TTextExtent ItemSize(const TNVItem& item, int width, const ITextMeasure& measure) {
  switch (item.Kind()) {
    case TNVItemKind::label:
      return {width, measure.WrappedHeight(static_cast<const TNVLabel&>(item).ShownText(), width)};
    case TNVItemKind::edit: {
      const int lines = Clamped(static_cast<const TNVEdit&>(item).FLines, 1);
      return {width, lines * measure.Extent(u"Gg", TNVFont::dialog).height + 2};
    }
    case TNVItemKind::checkBox:
      return {width, measure.Extent(static_cast<const TNVCheckBox&>(item).FCaption, TNVFont::dialog).height +
                         kCheckBoxPadding};
    case TNVItemKind::image:
      return {Clamped(item.FRect.width, 0), Clamped(item.FRect.height, 0)};
    case TNVItemKind::button:
      return {ButtonWidth(static_cast<const TNVButton&>(item), measure), kButtonHeight};
  }
  return {};
}

int GapAfter(const TNVForm& form, int index, int width, const ITextMeasure& measure) {
  const TNVItem& item = *form.Item(index);
  if (item.FSpacing != 0) return Clamped(item.FSpacing);
  const TNVItem* next = form.Item(index + 1);
  if (!next) return 0;
  if (IsHeadLabel(item, width, measure)) return 4;
  if (next->Kind() == item.Kind()) {
    switch (item.Kind()) {
      case TNVItemKind::button: return 4;
      case TNVItemKind::edit: return 6;
      default: return 8;
    }
  }
  // A run of head label + item pairs stays closer together.
  const TNVItem* previous = index > kFirstContentIndex ? form.Item(index - 1) : nullptr;
  const TNVItem* afterNext = form.Item(index + 2);
  if (IsHeadLabel(*next, width, measure) && previous && IsHeadLabel(*previous, width, measure) && afterNext &&
      afterNext->Kind() == item.Kind())
    return 8;
  return 12;
}

void PlaceButtons(const TNVForm& form, int top, const ITextMeasure& measure, TFormLayout& layout) {
  const TNVButton& next = form.ContinueButton();
  const TNVButton& skip = form.SkipButton();
  const TNVButton& cancel = form.CancelButton();
  const int nextWidth = ButtonWidth(next, measure), skipWidth = ButtonWidth(skip, measure),
            cancelWidth = ButtonWidth(cancel, measure);
  const int cancelLeft = layout.width - kButtonMargin - cancelWidth;
  int nextLeft, skipLeft;
  if (next.FNoOwnerDraw && cancel.FNoOwnerDraw && skip.FInvisible) {
    nextLeft = cancelLeft - kButtonMargin - nextWidth;
    skipLeft = kButtonMargin;
  } else {
    nextLeft = kButtonMargin;
    skipLeft = nextLeft + nextWidth + kButtonMargin;
  }
  layout.items[kContinueButtonIndex] = {nextLeft, top, nextWidth, kButtonHeight};
  if (!skip.FInvisible) layout.items[kSkipButtonIndex] = {skipLeft, top, skipWidth, kButtonHeight};
  if (!cancel.FInvisible) layout.items[kCancelButtonIndex] = {cancelLeft, top, cancelWidth, kButtonHeight};
  if (next.FInvisible) layout.items[kContinueButtonIndex] = {};
}

}  // namespace

bool IsHeadLabel(const TNVItem& item, int width, const ITextMeasure& measure) {
  if (item.Kind() != TNVItemKind::label) return false;
  const std::u16string& text = static_cast<const TNVLabel&>(item).ShownText();
  if (text.empty() || (text.back() != u':' && text.back() != u'?')) return false;
  const TTextExtent oneLine = measure.Extent(text, TNVFont::dialog);
  return oneLine.width <= width && measure.WrappedHeight(text, width) <= oneLine.height;
}

TFormLayout LayoutForm(const TNVForm& form, const ITextMeasure& measure) {
  TFormLayout layout;
  layout.width = FormWidth(form, measure);
  layout.items.resize(std::size_t(form.ItemCount()));
  const int contentWidth = layout.width - kContentInset;
  int y = kContentTop;
  for (int i = kFirstContentIndex; i < form.ItemCount(); ++i) {
    const TTextExtent size = ItemSize(*form.Item(i), contentWidth, measure);
    layout.items[std::size_t(i)] = {kContentLeft, y, size.width, size.height};
    const int gap = GapAfter(form, i, contentWidth, measure);
    layout.gaps.push_back(gap);
    // A hostile stream may hold thousands of items: stop growing, not wrap.
    y = std::min(y + Clamped(size.height, 0) + gap, kMaxFormExtent);
  }
  layout.height = kButtonHeight + y + kFormBottomSlack;
  const int buttonTop = layout.height - kButtonMargin - kButtonHeight;
  PlaceButtons(form, buttonTop, measure, layout);
  const int panelBottom = buttonTop - kPanelAboveButtons;
  layout.panel = {kPanelLeft, kPanelTop, layout.width - kPanelRightInset - kPanelLeft, panelBottom - kPanelTop};
  return layout;
}

}  // namespace ruvex
