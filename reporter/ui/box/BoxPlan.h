#pragma once
// What a box shows and does, decided before any window exists: the kind,
// the visible buttons and their captions, the texts, the focused and the
// automatic button, and the answers to a close request and to a button.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "reporter/core/flow/Exception.h"

namespace ruvex {

enum class TBoxKind { full, detail, simple };

inline constexpr int kButtonCount = 7;

// Process-wide options of the box, with their defaults.
struct TBoxOptions {
  int boxMinWidth = 0;
  int boxDetailsHeight = 0;
  std::uint32_t detailsHotKey = 0;  // virtual key; Shift+Ctrl+Alt held
  std::u16string noSentenceBreakClass;
  bool smallBoxUsesSettings = false;
};

struct TBoxPlan {
  TBoxKind kind = TBoxKind::full;
  std::array<bool, kButtonCount> visible{};
  std::array<std::u16string, kButtonCount> captions;
  std::u16string text, title;
  bool autoShowBugReport = false;
  bool ownerDrawn = true;  // "UglyBtns" off and a full box
  bool canContinue = true;
  bool continueDisabled = false;  // shows "cantContinue"
  std::optional<TREButton> focused;  // only ever a visible button
  std::optional<TREButton> automatic;
  std::int32_t autoDelaySeconds = 60;

  bool Visible(TREButton b) const { return visible[b]; }
  bool Small() const { return kind != TBoxKind::full; }
};

// Every ". " between the 20th and the 10th-last character becomes "." CR LF.
std::u16string BreakSentences(std::u16string_view message);

TBoxPlan PlanBox(IREException& exception, TBoxKind kind, const TBoxOptions& options);

enum class TBoxCommand { none, details, send, save, print, continueApp, restartApp, closeApp };

// A button's command: continue closes when the exception cannot continue.
TBoxCommand CommandOfButton(const TBoxPlan& plan, TREButton button);
// Esc, Alt+F4 and the system menu's close: never leaves a box without a way out.
TBoxCommand CommandOfCloseRequest(const TBoxPlan& plan);

// The glyph resource name of a button ("rei" + glyph name).
std::u16string GlyphResourceName(TREButton button, bool cannotContinue);

}  // namespace ruvex
