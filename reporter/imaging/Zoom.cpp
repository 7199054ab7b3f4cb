#include "reporter/imaging/Zoom.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace ruvex {
namespace {

// One output position: the source indices it reads and their 16.16 weights.
struct TContribution {
  std::vector<int> index;
  std::vector<std::int32_t> weight;
};

// A source index outside 0..size-1 reflected back at the edges.
int Mirror(int i, int size) {
  if (size == 1) return 0;
  const int period = 2 * size;
  i %= period;
  if (i < 0) i += period;
  return i < size ? i : period - 1 - i;
}

std::vector<TContribution> Contributions(int sourceSize, int targetSize) {
  const double scale = double(sourceSize) / double(targetSize);
  const double widen = std::max(scale, 1.0);  // shrinking widens the filter
  const double support = 2.0 * widen;
  std::vector<TContribution> all(static_cast<std::size_t>(targetSize));
  for (int t = 0; t < targetSize; ++t) {
    const double centre = (t + 0.5) * scale;
    const int first = static_cast<int>(std::floor(centre - support));
    const int last = static_cast<int>(std::ceil(centre + support));
    std::vector<double> weights;
    std::vector<int> indices;
    double sum = 0;
    for (int s = first; s <= last; ++s) {
      const double w = MitchellWeight((s + 0.5 - centre) / widen);
      if (w == 0) continue;
      weights.push_back(w);
      indices.push_back(Mirror(s, sourceSize));
      sum += w;
    }
    TContribution& c = all[static_cast<std::size_t>(t)];
    std::int32_t fixedSum = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < weights.size(); ++k) {
      c.index.push_back(indices[k]);
      c.weight.push_back(static_cast<std::int32_t>(std::lround(weights[k] / sum * 65536.0)));
      fixedSum += c.weight.back();
      if (weights[k] > weights[largest]) largest = k;
    }
    // Rounding must not brighten or darken a flat area.
    if (!c.weight.empty()) c.weight[largest] += 65536 - fixedSum;
  }
  return all;
}

std::uint8_t Clamp(std::int64_t fixed) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>((fixed + 32768) >> 16, 0, 255));
}

}  // namespace

double MitchellWeight(double x) {
  x = std::fabs(x);
  if (x < 1) return (7.0 / 6.0) * x * x * x - 2.0 * x * x + 8.0 / 9.0;
  if (x < 2) return -(7.0 / 18.0) * x * x * x + 2.0 * x * x - (10.0 / 3.0) * x + 16.0 / 9.0;
  return 0;
}

TSize FitInside(int width, int height, int maxWidth, int maxHeight) {
  if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0) return {};
  const std::int64_t fitWidth = std::int64_t(maxHeight) * width / height;
  const std::int64_t fitHeight = std::int64_t(maxWidth) * height / width;
  const std::int64_t heightRatio = std::int64_t(height) * 65536 / maxHeight;
  const std::int64_t widthRatio = std::int64_t(width) * 65536 / maxWidth;
  TSize size{maxWidth, maxHeight};
  if (fitWidth > maxWidth || fitHeight > maxHeight) {
    if (heightRatio > widthRatio)
      size.width = static_cast<int>(fitWidth);  // the height decides
    else
      size.height = static_cast<int>(fitHeight);
  }
  size.width = std::max(size.width, 1);
  size.height = std::max(size.height, 1);
  return size;
}

std::optional<TPixels> Resample(const TPixelView& source, int width, int height) {
  if (source.empty()) return std::nullopt;
  auto target = MakePixels(width, height);
  auto between = MakePixels(width, source.height);  // rows done, columns to do
  if (!target || !between) return std::nullopt;
  try {
    const auto columns = Contributions(source.width, width);
    const auto rows = Contributions(source.height, height);
    const TPixelView mid = between->view(), out = target->view();
    for (int y = 0; y < source.height; ++y) {
      for (int x = 0; x < width; ++x) {
        const TContribution& c = columns[static_cast<std::size_t>(x)];
        for (int channel = 0; channel < 4; ++channel) {
          std::int64_t sum = 0;
          for (std::size_t k = 0; k < c.index.size(); ++k) sum += std::int64_t(c.weight[k]) * source.At(c.index[k], y)[channel];
          mid.At(x, y)[channel] = Clamp(sum);
        }
      }
    }
    for (int y = 0; y < height; ++y) {
      const TContribution& c = rows[static_cast<std::size_t>(y)];
      for (int x = 0; x < width; ++x) {
        for (int channel = 0; channel < 4; ++channel) {
          std::int64_t sum = 0;
          for (std::size_t k = 0; k < c.index.size(); ++k) sum += std::int64_t(c.weight[k]) * mid.At(x, c.index[k])[channel];
          out.At(x, y)[channel] = Clamp(sum);
        }
      }
    }
    return target;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace ruvex
