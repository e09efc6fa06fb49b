#include "framework/region.h"

#include <algorithm>

namespace tessaro {

std::vector<CRect> SubtractRect(const CRect& a, const CRect& b) {
  const CRect cut = Intersect(a, b);
  if (cut.IsRectEmpty()) return {a};
  std::vector<CRect> out;
  if (a.top < cut.top) out.emplace_back(a.left, a.top, a.right, cut.top);
  if (cut.bottom < a.bottom) out.emplace_back(a.left, cut.bottom, a.right, a.bottom);
  if (a.left < cut.left) out.emplace_back(a.left, cut.top, cut.left, cut.bottom);
  if (cut.right < a.right) out.emplace_back(cut.right, cut.top, a.right, cut.bottom);
  return out;
}

void Region::Add(const CRect& r) {
  if (r.IsRectEmpty()) return;
  std::vector<CRect> pieces{r};
  for (const CRect& existing : rects_) {
    std::vector<CRect> next;
    for (const CRect& p : pieces) {
      for (const CRect& q : SubtractRect(p, existing))
        next.push_back(q);
    }
    pieces.swap(next);
    if (pieces.empty()) return;
  }
  rects_.insert(rects_.end(), pieces.begin(), pieces.end());
  if (rects_.size() > kMaxRects) {
    const CRect box = Bounds();
    rects_.assign(1, box);
  }
}

void Region::Add(const Region& other) {
  for (const CRect& r : other.rects_)
    Add(r);
}

void Region::Subtract(const CRect& r) {
  if (r.IsRectEmpty()) return;
  std::vector<CRect> next;
  for (const CRect& e : rects_) {
    for (const CRect& q : SubtractRect(e, r))
      next.push_back(q);
  }
  rects_.swap(next);
}

void Region::IntersectWith(const CRect& r) {
  std::vector<CRect> next;
  for (const CRect& e : rects_) {
    const CRect c = Intersect(e, r);
    if (!c.IsRectEmpty()) next.push_back(c);
  }
  rects_.swap(next);
}

void Region::Offset(int dx, int dy) {
  for (CRect& r : rects_)
    r.OffsetRect(dx, dy);
}

bool Region::Contains(int x, int y) const {
  return std::any_of(rects_.begin(), rects_.end(),
                     [&](const CRect& r) { return r.PtInRect(CPoint(x, y)); });
}

CRect Region::Bounds() const {
  if (rects_.empty()) return {};
  CRect b = rects_.front();
  for (const CRect& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

long long Region::Area() const {
  long long a = 0;
  for (const CRect& r : rects_)
    a += static_cast<long long>(r.Width()) * r.Height();
  return a;
}

}  // namespace tessaro
