#pragma once
// IProgressAlert for tests: records what the code under test asks of the
// progress window (areas, positions, area steps, closes) and shows nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

struct TRecordedArea {
  std::u16string caption;
  std::uint64_t weight = 0;
  bool operator==(const TRecordedArea&) const = default;
};

class TRecordingProgressAlert final : public IProgressAlert {
 public:
  std::u16string title;
  std::vector<TRecordedArea> areas;  // since the last ClearAreas
  std::vector<int> positions;        // every SetPosition, in order
  int current = 0;                   // the current area
  int closes = 0;

  std::u16string GetTitle() override { return title; }
  void SetTitle(const std::u16string& newTitle) override { title = newTitle; }
  int GetPosition() override { return positions.empty() ? 0 : positions.back(); }
  void SetPosition(int perMille) override { positions.push_back(perMille); }
  void AddArea(const std::u16string& caption, std::uint64_t weight) override { areas.push_back({caption, weight}); }
  void ClearAreas() override { areas.clear(); }
  void AreaDone() override { ++current; }
  int GetCurrentArea() override { return current; }
  void SetCurrentArea(int index) override { current = index; }
  void ProcessMessages() override {}
  bool Show(kelvane::TWindowHandle, bool) override { return false; }
  void Close() override { ++closes; }
  int GetBarPosition() override { return 0; }
  kelvane::TWindowHandle WindowHandle() override { return {}; }
};

}  // namespace ruvex
