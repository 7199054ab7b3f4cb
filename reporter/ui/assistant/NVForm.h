#pragma once
// One assistant page: its items (the three built-in buttons first, then the
// content of its stream), the focus ring, the "Next >" rule and how a page
// ends. The window that shows it calls these methods and owns nothing of
// the logic.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/ui/assistant/NVItems.h"

namespace ruvex {

enum TNVModalResult { nvmInvalid, nvmOk, nvmSkip, nvmCancel };
enum TNVAction { nvaFormCreate, nvaFormShow, nvaFormClose, nvaItemEvent };

// The exception the report is about; the forms only pass it on.
class IREException;

using TNVActionHandler =
    std::function<void(TNVAction action, TNVForm& form, TNVItem* item, IREException* exception)>;

inline constexpr int kContinueButtonIndex = 0;
inline constexpr int kSkipButtonIndex = 1;
inline constexpr int kCancelButtonIndex = 2;
inline constexpr int kFirstContentIndex = 3;

class TNVForm {
 public:
  explicit TNVForm(std::u16string name = {});
  TNVForm(const TNVForm&) = delete;
  TNVForm& operator=(const TNVForm&) = delete;

  int ItemCount() const { return static_cast<int>(FItems.size()); }
  TNVItem* Item(int index) const;
  // Case-insensitive; null when there is none.
  TNVItem* ItemByName(std::u16string_view name) const;
  TNVButton& ContinueButton() const;
  TNVButton& SkipButton() const;
  TNVButton& CancelButton() const;
  // Appends a content item and gives it its index.
  template <class T>
  T& Add(std::u16string name) {
    auto item = std::make_unique<T>(this, std::move(name));
    T& added = *item;
    added.FIndex = ItemCount();
    FItems.push_back(std::move(item));
    return added;
  }

  // Form properties from the stream's root object.
  void SetProperty(std::u16string_view name, std::u16string_view value);
  void Fire(TNVAction action, TNVItem* item = nullptr);

  // "Next >" is enabled only while every content item allows it.
  bool NextAllowed() const;
  void UpdateContinueButton() { ContinueButton().FEnabled = NextAllowed(); }
  // The item that takes the focus first: "ActiveControl", else the first
  // focusable item after "Cancel"; null when none can.
  TNVItem* FirstFocus() const;
  // Tab and Shift+Tab around the ring of focusable items.
  TNVItem* NextFocus(const TNVItem* from, bool backwards = false) const;

  // What the window reports: an item event (edit change, check box click,
  // content button, clickable image; null for a timer tick), a press of a
  // built-in button, Escape and the system close command. Each returns the
  // result that ends the form, or nvmInvalid while it stays open.
  void ItemEvent(TNVItem* item);
  // Called by the window before it appears: the handler may set the skip
  // flag, and then the form ends at once with nvmSkip (false).
  bool BeginShow();
  TNVModalResult PressButton(int buttonIndex);
  TNVModalResult Escape();
  TNVModalResult SystemClose();

  std::u16string FName;
  std::u16string FTitle;
  std::u16string FMessage;
  int FStep = 1;
  int FSteps = 1;
  std::vector<std::unique_ptr<TNVItem>> FItems;
  TNVActionHandler FOnAction;
  std::u16string FOnActionName;
  int FMinWidth = 0;
  std::u16string FActiveControl;
  int FTimer = 0;
  TNVModalResult FModalResult = nvmInvalid;
  IREException* FException = nullptr;
  void* FData = nullptr;
  bool FSkip = false;

 private:
  TNVModalResult Close(TNVModalResult result);
};

}  // namespace ruvex
