#pragma once
// The controls of an assistant form as data: what the form stream sets and
// what the window, the layout and the report output read.
#include <memory>
#include <string>
#include <string_view>

namespace ruvex {

class TNVForm;

enum TOutputType { otHeader, otOwnSection };

// The classes the stream may name; the layout compares items by class.
enum class TNVItemKind { button, label, edit, checkBox, image };

struct TNVRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TNVRect&) const = default;
};

// Stream booleans: "yes", "true" (any case) or "1".
bool NVBoolean(std::u16string_view value);
// A stream integer in decimal; 0 when the text is not a number.
int NVInteger(std::u16string_view value);

class TNVItem {
 public:
  TNVItem(TNVForm* parent, std::u16string name) : FParent(parent), FName(std::move(name)) {}
  virtual ~TNVItem() = default;

  virtual TNVItemKind Kind() const = 0;
  // Takes one property of the stream; unknown names are ignored.
  void SetProperty(std::u16string_view name, std::u16string_view value);
  // Whether the item may take the focus when it is enabled.
  virtual bool Focusable() const { return true; }
  // Whether the item lets "Next >" be pressed.
  virtual bool AllowsNext() const { return true; }
  bool CanFocus() const { return Focusable() && FEnabled && !FForceDisabled; }

  TNVForm* FParent;
  std::u16string FName;
  bool FTabStop = true;
  bool FEnabled = true;
  bool FForceDisabled = false;
  int FSpacing = 0;
  int FIndex = 0;
  TNVRect FRect;
  TOutputType FOutputType = otHeader;
  std::u16string FOutputName;

 protected:
  // The class's own properties; false when the name is not one of them.
  virtual bool SetOwnProperty(std::u16string_view name, std::u16string_view value) = 0;
};

class TNVButton final : public TNVItem {
 public:
  TNVButton(TNVForm* parent, std::u16string name, std::u16string caption = {})
      : TNVItem(parent, std::move(name)), FCaption(std::move(caption)) {}
  TNVItemKind Kind() const override { return TNVItemKind::button; }
  bool Focusable() const override { return !FInvisible; }

  int FMinWidth = 75;
  std::u16string FCaption;
  bool FNoOwnerDraw = false;
  bool FInvisible = false;

 protected:
  bool SetOwnProperty(std::u16string_view name, std::u16string_view value) override;
};

class TNVLabel final : public TNVItem {
 public:
  using TNVItem::TNVItem;
  TNVItemKind Kind() const override { return TNVItemKind::label; }
  bool Focusable() const override { return false; }
  // The caption, or the name when the caption is empty.
  const std::u16string& ShownText() const { return FCaption.empty() ? FName : FCaption; }

  std::u16string FCaption;

 protected:
  bool SetOwnProperty(std::u16string_view name, std::u16string_view value) override;
};

class TNVEdit final : public TNVItem {
 public:
  using TNVItem::TNVItem;
  TNVItemKind Kind() const override { return TNVItemKind::edit; }
  bool AllowsNext() const override { return FOptional || (!FNValid && !FText.empty()); }
  bool MultiLine() const { return FLines > 1; }

  int FLines = 1;
  bool FOptional = false;
  std::u16string FText;
  bool FNColored = false;
  bool FNValid = false;

 protected:
  bool SetOwnProperty(std::u16string_view name, std::u16string_view value) override;
};

class TNVCheckBox final : public TNVItem {
 public:
  using TNVItem::TNVItem;
  TNVItemKind Kind() const override { return TNVItemKind::checkBox; }

  std::u16string FCaption;
  bool FChecked = false;

 protected:
  bool SetOwnProperty(std::u16string_view name, std::u16string_view value) override;
};

class TNVImage final : public TNVItem {
 public:
  using TNVItem::TNVItem;
  TNVItemKind Kind() const override { return TNVItemKind::image; }
  bool Focusable() const override { return FClickable; }

  std::u16string FFile;
  bool FClickable = false;
  bool FBorder = false;

 protected:
  bool SetOwnProperty(std::u16string_view name, std::u16string_view value) override;
};

}  // namespace ruvex
