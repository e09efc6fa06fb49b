#include "framework/static_button.h"

#include <string>
#include <vector>

#include "framework/font.h"
#include "framework/image.h"
#include "framework/metrics.h"
#include "framework/platform.h"

namespace tessaro {
namespace {

constexpr uint32_t kFace = Argb(192, 192, 192);
constexpr uint32_t kShadow = Argb(128, 128, 128);
constexpr uint32_t kBlack = Argb(0, 0, 0);

// Splits text into lines: at line feeds, and at blanks where a line would be
// wider than `width` (when width > 0). Carriage returns are dropped.
std::vector<std::string> Lines(const std::string& text, int width, const TextOptions& o) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      out.emplace_back();
      continue;
    }
    out.back() += c;
    if (width > 0 && TextWidth(out.back(), o) > width) {
      const size_t blank = out.back().find_last_of(' ');
      if (blank != std::string::npos && blank > 0) {
        std::string rest = out.back().substr(blank + 1);
        out.back().resize(blank);
        out.push_back(std::move(rest));
      }
    }
  }
  return out;
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  Platform* p = Platform::Current();
  if (!p || !p->Find(hwnd)) return 0;
  if (message == WM_LBUTTONDOWN) p->SetFocus(hwnd);
  const bool click = message == WM_LBUTTONUP || (message == WM_KEYDOWN && wParam == VK_SPACE);
  if (click && p->IsEnabled(hwnd)) p->NotifyParent(hwnd, BN_CLICKED);
  return 0;
}

void DrawStatic(const WindowRecord& r, Surface& s, bool enabled, const Platform& p) {
  const CRect box(0, 0, r.rect.Width(), r.rect.Height());
  FillRect(s, box, kFace);
  const DWORD type = r.style & SS_TYPEMASK;
  if (type == SS_ICON) {
    const IconImages* images = p.IconImagesOf(r.staticIcon);
    if (const Image* img = images ? images->Pick(GetSystemMetrics(SM_CXICON)) : nullptr)
      Blit(s, CPoint(0, 0), *img, CRect(0, 0, img->width, img->height), true);
    return;
  }
  TextOptions o;
  o.color = enabled ? kBlack : kShadow;
  o.prefix = !(r.style & SS_NOPREFIX);
  o.bold = IsBold(r.font.get());
  const int lineHeight = LineHeightOf(r.font.get());
  const bool wrap = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
  const std::vector<std::string> lines = Lines(r.text, wrap ? box.Width() : 0, o);
  int y = 0;
  if ((r.style & SS_CENTERIMAGE) && lines.size() == 1) y = (box.Height() - TextHeight()) / 2;
  for (const std::string& line : lines) {
    const int w = TextWidth(line, o);
    int x = 0;
    if (type == SS_CENTER) x = (box.Width() - w) / 2;
    if (type == SS_RIGHT || (r.exStyle & WS_EX_RIGHT)) x = box.Width() - w;
    DrawTextLine(s, x, y, line, o);
    y += lineHeight;
  }
}

void DrawButton(const WindowRecord& r, Surface& s, bool enabled, bool focused) {
  CRect box(0, 0, r.rect.Width(), r.rect.Height());
  FillRect(s, box, kFace);
  if (r.exStyle & WS_EX_STATICEDGE) {
    FrameRect(s, box, kShadow);
    box = CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
  }
  FrameRect(s, box, kBlack);
  if ((r.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    FrameRect(s, CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1), kBlack);
  }
  TextOptions o;
  o.color = enabled ? kBlack : kShadow;
  o.prefix = true;
  o.bold = IsBold(r.font.get());
  const int w = TextWidth(r.text, o);
  DrawTextLine(s, box.left + (box.Width() - w) / 2, box.top + (box.Height() - TextHeight()) / 2,
               r.text, o);
  if (focused) {
    const CRect f(box.left + 3, box.top + 3, box.right - 3, box.bottom - 3);
    for (int x = f.left; x < f.right; x += 2) {
      PutPixel(s, x, f.top, kBlack);
      PutPixel(s, x, f.bottom - 1, kBlack);
    }
    for (int y = f.top; y < f.bottom; y += 2) {
      PutPixel(s, f.left, y, kBlack);
      PutPixel(s, f.right - 1, y, kBlack);
    }
  }
}

}  // namespace tessaro
