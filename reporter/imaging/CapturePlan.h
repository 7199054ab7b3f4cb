#pragma once
// What a screenshot covers: the whole screen, or only the application's own
// windows with the parts that windows of other programs cover cut out.
#include <optional>
#include <vector>

namespace ruvex {

struct TScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const TScreenRect&) const = default;
};

// One top-level window, in Z order (the topmost first).
struct TTopWindow {
  TScreenRect rect;
  bool ownProcess = false;
  bool visible = false;
  bool minimized = false;
};

struct TCapturePlan {
  TScreenRect area;                 // in screen coordinates
  bool clipped = false;             // copy only inside the clip rectangles
  std::vector<TScreenRect> clip;    // relative to the area's top left corner
};

// The pieces of rect that other does not cover (at most four).
std::vector<TScreenRect> Subtract(const TScreenRect& rect, const TScreenRect& other);

// The whole screen; or, with appOnly, the union of the application's
// visible, not minimised, not empty windows clipped to the screen, with a
// clip region of what is seen of them. nullopt when there is no such window
// or when windows of other programs cover all of them: a screenshot must
// then show nothing rather than those programs.
std::optional<TCapturePlan> PlanCapture(const TScreenRect& screen, const std::vector<TTopWindow>& windowsTopFirst,
                                        bool appOnly);

}  // namespace ruvex
