#pragma once
// An assistant: its forms in order, built from their streams, shown one
// after the other through the window seam.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/win/NativeHandles.h"
#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/ui/assistant/NVForm.h"

namespace ruvex {

// What the assistant asks of the windowing system.
class IFormWindows {
 public:
  virtual ~IFormWindows() = default;
  virtual void EnableParent(kelvane::TWindowHandle parent, bool enable) = 0;
  // Shows the form until it ends. The window calls BeginShow first, reports
  // its events to the form and returns the form's result.
  virtual TNVModalResult ShowModal(TNVForm& form, kelvane::TWindowHandle parent) = 0;
};

class TNVAssistant {
 public:
  const std::u16string& Title() const { return FTitle; }
  // Retitles every form with it.
  void SetTitle(std::u16string title);
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TNVForm* Form(int index) const;
  TNVForm* FormByName(std::u16string_view name) const;  // case-insensitive
  // Forms in order; a cancelled form ends the assistant with nvmCancel,
  // otherwise (skipped forms included) the result is nvmOk.
  TNVModalResult RunModal(kelvane::TWindowHandle parent, IFormWindows& windows);

  std::u16string FTitle;
  std::vector<std::unique_ptr<TNVForm>> FForms;
  TNVModalResult FModalResult = nvmInvalid;
  IREException* FException = nullptr;
  void* FData = nullptr;
};

// A form alone: not shown when its skip flag is set (nvmSkip); otherwise
// the parent is disabled while it is shown.
TNVModalResult RunForm(TNVForm& form, kelvane::TWindowHandle parent, IFormWindows& windows);

struct TAssistantBuild {
  // The handler that an "OnAction" value names; empty when there is none.
  std::function<TNVActionHandler(std::u16string_view name)> resolveHandler;
  // The message box for a form stream with an invalid value type.
  std::function<void(std::u16string_view text, std::u16string_view caption)> showMessage;
  // Called with every assistant built.
  std::function<void(TNVAssistant&)> createdHook;
};

// One form per stream, step i of n.
std::unique_ptr<TNVAssistant> BuildAssistant(std::u16string title, const std::vector<std::string>& streams,
                                             const TAssistantBuild& how);

// The streams from the RCDATA resources "TRE" + form name: all from the
// resource instance when it holds the first form, else all from the module.
std::unique_ptr<TNVAssistant> ReadAssistant(const IMemoryReader& memory, Address module, Address resourceInstance,
                                            std::u16string title, const std::vector<std::u16string>& formNames,
                                            const TAssistantBuild& how);

}  // namespace ruvex
