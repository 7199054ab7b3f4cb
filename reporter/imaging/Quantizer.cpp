#include "reporter/imaging/Quantizer.h"

#include <cstdlib>
#include <new>

namespace ruvex {
namespace {

constexpr int kSide = 33;  // 32 levels a channel plus the zero border of the moments
constexpr std::size_t kCells = std::size_t(kSide) * kSide * kSide;

std::size_t Cell(int r, int g, int b) { return (std::size_t(r) * kSide + g) * kSide + b; }

// Histogram and, after Accumulate, cumulative moments. All counts are
// 64-bit: a large screen overflows 32-bit sums of channel values.
struct TMoments {
  std::vector<std::int64_t> wt, mr, mg, mb;
  std::vector<double> m2;
  TMoments() : wt(kCells), mr(kCells), mg(kCells), mb(kCells), m2(kCells) {}
};

struct TBox {
  int r0 = 0, r1 = 0, g0 = 0, g1 = 0, b0 = 0, b1 = 0;
  std::int64_t volume = 0;
};

enum class TAxis { red, green, blue };

template <typename T>
T Vol(const TBox& c, const std::vector<T>& m) {
  return m[Cell(c.r1, c.g1, c.b1)] - m[Cell(c.r1, c.g1, c.b0)] - m[Cell(c.r1, c.g0, c.b1)] +
         m[Cell(c.r1, c.g0, c.b0)] - m[Cell(c.r0, c.g1, c.b1)] + m[Cell(c.r0, c.g1, c.b0)] +
         m[Cell(c.r0, c.g0, c.b1)] - m[Cell(c.r0, c.g0, c.b0)];
}

// The part of Vol that does not depend on the cut position along axis.
std::int64_t Bottom(const TBox& c, TAxis axis, const std::vector<std::int64_t>& m) {
  switch (axis) {
    case TAxis::red:
      return -m[Cell(c.r0, c.g1, c.b1)] + m[Cell(c.r0, c.g1, c.b0)] + m[Cell(c.r0, c.g0, c.b1)] - m[Cell(c.r0, c.g0, c.b0)];
    case TAxis::green:
      return -m[Cell(c.r1, c.g0, c.b1)] + m[Cell(c.r1, c.g0, c.b0)] + m[Cell(c.r0, c.g0, c.b1)] - m[Cell(c.r0, c.g0, c.b0)];
    default:
      return -m[Cell(c.r1, c.g1, c.b0)] + m[Cell(c.r1, c.g0, c.b0)] + m[Cell(c.r0, c.g1, c.b0)] - m[Cell(c.r0, c.g0, c.b0)];
  }
}

// The rest of Vol with the box's upper bound on axis replaced by pos.
std::int64_t Top(const TBox& c, TAxis axis, int pos, const std::vector<std::int64_t>& m) {
  switch (axis) {
    case TAxis::red:
      return m[Cell(pos, c.g1, c.b1)] - m[Cell(pos, c.g1, c.b0)] - m[Cell(pos, c.g0, c.b1)] + m[Cell(pos, c.g0, c.b0)];
    case TAxis::green:
      return m[Cell(c.r1, pos, c.b1)] - m[Cell(c.r1, pos, c.b0)] - m[Cell(c.r0, pos, c.b1)] + m[Cell(c.r0, pos, c.b0)];
    default:
      return m[Cell(c.r1, c.g1, pos)] - m[Cell(c.r1, c.g0, pos)] - m[Cell(c.r0, c.g1, pos)] + m[Cell(c.r0, c.g0, pos)];
  }
}

double Variance(const TBox& c, const TMoments& m) {
  const double dr = double(Vol(c, m.mr)), dg = double(Vol(c, m.mg)), db = double(Vol(c, m.mb));
  return Vol(c, m.m2) - (dr * dr + dg * dg + db * db) / double(Vol(c, m.wt));
}

void Histogram(const TPixelView& p, TMoments& m) {
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* px = p.TopRow(y);
    for (int x = 0; x < p.width; ++x, px += 4) {
      const int b = px[0], g = px[1], r = px[2];
      const std::size_t i = Cell((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1);
      m.wt[i] += 1;
      m.mr[i] += r;
      m.mg[i] += g;
      m.mb[i] += b;
      m.m2[i] += double(r * r + g * g + b * b);
    }
  }
}

// Turns the histogram into moments summed over all cells up to each cell.
void Accumulate(TMoments& m) {
  for (int r = 1; r < kSide; ++r) {
    std::int64_t area[kSide] = {}, areaR[kSide] = {}, areaG[kSide] = {}, areaB[kSide] = {};
    double area2[kSide] = {};
    for (int g = 1; g < kSide; ++g) {
      std::int64_t line = 0, lineR = 0, lineG = 0, lineB = 0;
      double line2 = 0;
      for (int b = 1; b < kSide; ++b) {
        const std::size_t i = Cell(r, g, b), above = Cell(r - 1, g, b);
        line += m.wt[i];
        lineR += m.mr[i];
        lineG += m.mg[i];
        lineB += m.mb[i];
        line2 += m.m2[i];
        area[b] += line;
        areaR[b] += lineR;
        areaG[b] += lineG;
        areaB[b] += lineB;
        area2[b] += line2;
        m.wt[i] = m.wt[above] + area[b];
        m.mr[i] = m.mr[above] + areaR[b];
        m.mg[i] = m.mg[above] + areaG[b];
        m.mb[i] = m.mb[above] + areaB[b];
        m.m2[i] = m.m2[above] + area2[b];
      }
    }
  }
}

// The best cut of box along axis: the position and the value to maximise
// (sum over both halves of |mean colour sum|^2 weight), or cut -1.
double Maximize(const TBox& c, TAxis axis, int first, int last, int& cut, const TMoments& m,
                std::int64_t wholeR, std::int64_t wholeG, std::int64_t wholeB, std::int64_t wholeW) {
  const std::int64_t baseR = Bottom(c, axis, m.mr), baseG = Bottom(c, axis, m.mg), baseB = Bottom(c, axis, m.mb),
                     baseW = Bottom(c, axis, m.wt);
  double best = 0;
  cut = -1;
  for (int i = first; i < last; ++i) {
    std::int64_t halfR = baseR + Top(c, axis, i, m.mr), halfG = baseG + Top(c, axis, i, m.mg),
                 halfB = baseB + Top(c, axis, i, m.mb), halfW = baseW + Top(c, axis, i, m.wt);
    if (halfW == 0) continue;
    double value = (double(halfR) * halfR + double(halfG) * halfG + double(halfB) * halfB) / double(halfW);
    halfR = wholeR - halfR;
    halfG = wholeG - halfG;
    halfB = wholeB - halfB;
    halfW = wholeW - halfW;
    if (halfW == 0) continue;
    value += (double(halfR) * halfR + double(halfG) * halfG + double(halfB) * halfB) / double(halfW);
    if (value > best) {
      best = value;
      cut = i;
    }
  }
  return best;
}

std::int64_t CellVolume(const TBox& c) { return std::int64_t(c.r1 - c.r0) * (c.g1 - c.g0) * (c.b1 - c.b0); }

bool Cut(TBox& set1, TBox& set2, const TMoments& m) {
  const std::int64_t wholeR = Vol(set1, m.mr), wholeG = Vol(set1, m.mg), wholeB = Vol(set1, m.mb),
                     wholeW = Vol(set1, m.wt);
  int cutR, cutG, cutB;
  const double maxR = Maximize(set1, TAxis::red, set1.r0 + 1, set1.r1, cutR, m, wholeR, wholeG, wholeB, wholeW);
  const double maxG = Maximize(set1, TAxis::green, set1.g0 + 1, set1.g1, cutG, m, wholeR, wholeG, wholeB, wholeW);
  const double maxB = Maximize(set1, TAxis::blue, set1.b0 + 1, set1.b1, cutB, m, wholeR, wholeG, wholeB, wholeW);
  TAxis axis;
  if (maxR >= maxG && maxR >= maxB) {
    axis = TAxis::red;
    if (cutR < 0) return false;  // the box cannot be split
  } else {
    axis = maxG >= maxR && maxG >= maxB ? TAxis::green : TAxis::blue;
  }
  set2 = set1;
  switch (axis) {
    case TAxis::red:
      set2.r0 = set1.r1 = cutR;
      break;
    case TAxis::green:
      set2.g0 = set1.g1 = cutG;
      break;
    case TAxis::blue:
      set2.b0 = set1.b1 = cutB;
      break;
  }
  set1.volume = CellVolume(set1);
  set2.volume = CellVolume(set2);
  return true;
}

int Distance(const std::uint8_t* px, const TRgb& c) {
  return std::abs(px[2] - c.r) + std::abs(px[1] - c.g) + std::abs(px[0] - c.b);
}

}  // namespace

std::vector<TRgb> QuantizeColors(const TPixelView& pixels, int maxColors) {
  if (pixels.empty() || maxColors <= 0) return {};
  try {
    TMoments m;
    Histogram(pixels, m);
    Accumulate(m);
    std::vector<TBox> boxes(static_cast<std::size_t>(maxColors));
    std::vector<double> variance(boxes.size(), 0.0);
    boxes[0].r1 = boxes[0].g1 = boxes[0].b1 = kSide - 1;
    int count = 1, next = 0;
    while (count < maxColors) {
      if (Cut(boxes[next], boxes[count], m)) {
        variance[next] = boxes[next].volume > 1 ? Variance(boxes[next], m) : 0.0;
        variance[count] = boxes[count].volume > 1 ? Variance(boxes[count], m) : 0.0;
        ++count;
      } else {
        variance[next] = 0.0;  // never try this box again
      }
      next = 0;
      double largest = variance[0];
      for (int k = 1; k < count; ++k) {
        if (variance[k] > largest) {
          largest = variance[k];
          next = k;
        }
      }
      if (largest <= 0.0) break;
    }
    std::vector<TRgb> palette;
    for (int k = 0; k < count; ++k) {
      const std::int64_t weight = Vol(boxes[k], m.wt);
      TRgb c;
      if (weight > 0) {
        c.r = static_cast<std::uint8_t>(Vol(boxes[k], m.mr) / weight);
        c.g = static_cast<std::uint8_t>(Vol(boxes[k], m.mg) / weight);
        c.b = static_cast<std::uint8_t>(Vol(boxes[k], m.mb) / weight);
      }
      palette.push_back(c);
    }
    return palette;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::optional<std::string> MapToPalette(const TPixelView& p, const std::vector<TRgb>& palette) {
  if (p.empty() || palette.empty() || palette.size() > 256) return std::nullopt;
  try {
    constexpr std::uint16_t kUnset = 0xFFFF;
    std::vector<std::uint16_t> cache(32768, kUnset);
    std::string indices(std::size_t(p.width) * std::size_t(p.height), '\0');
    std::size_t out = 0;
    for (int y = 0; y < p.height; ++y) {
      const std::uint8_t* px = p.TopRow(y);
      for (int x = 0; x < p.width; ++x, px += 4) {
        const std::size_t key = (std::size_t(px[2] >> 3) << 10) | (std::size_t(px[1] >> 3) << 5) | (px[0] >> 3);
        if (cache[key] == kUnset) {
          std::uint16_t best = 0;
          int bestDistance = Distance(px, palette[0]);
          for (std::size_t k = 1; k < palette.size() && bestDistance > 0; ++k) {
            const int d = Distance(px, palette[k]);
            if (d < bestDistance) {
              bestDistance = d;
              best = static_cast<std::uint16_t>(k);
            }
          }
          cache[key] = best;
        }
        indices[out++] = static_cast<char>(cache[key]);
      }
    }
    return indices;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace ruvex
