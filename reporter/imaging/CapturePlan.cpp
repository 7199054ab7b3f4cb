#include "reporter/imaging/CapturePlan.h"

#include <algorithm>

namespace ruvex {
namespace {

TScreenRect Intersect(const TScreenRect& a, const TScreenRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool Counts(const TTopWindow& w) { return w.visible && !w.minimized && !w.rect.empty(); }

}  // namespace

std::vector<TScreenRect> Subtract(const TScreenRect& r, const TScreenRect& o) {
  const TScreenRect cut = Intersect(r, o);
  if (cut.empty()) return {r};
  std::vector<TScreenRect> pieces;
  auto add = [&](TScreenRect p) {
    if (!p.empty()) pieces.push_back(p);
  };
  add({r.left, r.top, r.right, cut.top});            // above
  add({r.left, cut.bottom, r.right, r.bottom});      // below
  add({r.left, cut.top, cut.left, cut.bottom});      // left
  add({cut.right, cut.top, r.right, cut.bottom});    // right
  return pieces;
}

std::optional<TCapturePlan> PlanCapture(const TScreenRect& screen, const std::vector<TTopWindow>& windows,
                                        bool appOnly) {
  if (screen.empty()) return std::nullopt;
  TCapturePlan plan;
  plan.area = screen;
  if (!appOnly) return plan;

  bool any = false;
  TScreenRect bounds;
  std::vector<TScreenRect> seen;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const TTopWindow& w = windows[i];
    if (!w.ownProcess || !Counts(w)) continue;
    const TScreenRect inside = Intersect(w.rect, screen);
    if (inside.empty()) continue;
    bounds = any ? TScreenRect{std::min(bounds.left, inside.left), std::min(bounds.top, inside.top),
                               std::max(bounds.right, inside.right), std::max(bounds.bottom, inside.bottom)}
                 : inside;
    any = true;
    std::vector<TScreenRect> visible{inside};
    for (std::size_t above = 0; above < i && !visible.empty(); ++above) {
      if (!Counts(windows[above])) continue;
      std::vector<TScreenRect> rest;
      for (const TScreenRect& piece : visible)
        for (const TScreenRect& p : Subtract(piece, windows[above].rect)) rest.push_back(p);
      visible = std::move(rest);
    }
    seen.insert(seen.end(), visible.begin(), visible.end());
  }
  if (!any || seen.empty()) return std::nullopt;
  plan.area = bounds;
  plan.clipped = true;
  for (const TScreenRect& r : seen)
    plan.clip.push_back({r.left - bounds.left, r.top - bounds.top, r.right - bounds.left, r.bottom - bounds.top});
  return plan;
}

}  // namespace ruvex
