// A region of pixels as a list of disjoint rectangles: the invalid part of a
// window and the clip of a paint context.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/win_types.h"

namespace tessaro {

class Region {
 public:
  Region() = default;
  explicit Region(const CRect& r) { Add(r); }

  bool IsEmpty() const { return rects_.empty(); }
  void Clear() { rects_.clear(); }
  // Union with r. A region that splits into more than kMaxRects pieces is
  // replaced by its bounding box, which only ever grows it.
  void Add(const CRect& r);
  void Add(const Region& other);
  void Subtract(const CRect& r);
  void IntersectWith(const CRect& r);
  void Offset(int dx, int dy);

  bool Contains(int x, int y) const;
  CRect Bounds() const;
  long long Area() const;
  const std::vector<CRect>& Rects() const { return rects_; }

  static constexpr size_t kMaxRects = 256;

 private:
  std::vector<CRect> rects_;
};

// The parts of a that lie outside b (at most four rectangles).
std::vector<CRect> SubtractRect(const CRect& a, const CRect& b);

}  // namespace tessaro
