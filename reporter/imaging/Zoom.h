#pragma once
// Scaling of pictures for display: the fitted size and the resampling with
// the Mitchell-Netravali cubic (B = C = 1/3).
#include <optional>

#include "reporter/imaging/Pixels.h"

namespace ruvex {

struct TSize {
  int width = 0;
  int height = 0;
  bool operator==(const TSize&) const = default;
};

// The largest size of the picture's aspect ratio inside the maximum (at
// least 1 x 1); 0 x 0 for an empty picture or maximum.
TSize FitInside(int width, int height, int maxWidth, int maxHeight);

// The filter's weight at distance x.
double MitchellWeight(double x);

// The picture resampled to the given size; all four bytes of each pixel are
// filtered. nullopt for empty sizes or when memory runs out.
std::optional<TPixels> Resample(const TPixelView& source, int width, int height);

}  // namespace ruvex
