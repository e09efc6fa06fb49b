#include "framework/snapshot.h"

#include "framework/bitmap_font.h"
#include "framework/menu.h"
#include "framework/platform.h"
#include "framework/surface.h"

namespace tessaro {
namespace {

constexpr int kBorder = 3;
constexpr int kBar = 18;  // caption and menu bar height
constexpr uint32_t kFace = Argb(192, 192, 192);
constexpr uint32_t kDark = Argb(64, 64, 64);
constexpr uint32_t kCaption = Argb(0, 0, 128);
constexpr uint32_t kWhite = Argb(255, 255, 255);
constexpr uint32_t kBlack = Argb(0, 0, 0);

}  // namespace

Image SnapshotWithFrame(const Platform& platform, HWND hwnd) {
  const HWND top = platform.TopLevelOf(hwnd);
  const WindowRecord* rec = platform.Find(top);
  if (!rec) return Image();
  const Image client = platform.Snapshot(top);
  const bool caption = (rec->style & WS_CAPTION) == WS_CAPTION;
  const bool menu = rec->menu != nullptr;
  const int clientTop = kBorder + (caption ? kBar : 0) + (menu ? kBar : 0);
  Image out(client.width + 2 * kBorder, client.height + clientTop + kBorder, kFace);
  Surface s = Surface::Whole(out);
  FrameRect(s, CRect(0, 0, out.width, out.height), kDark);

  int y = kBorder;
  if (caption) {
    FillRect(s, CRect(kBorder, y, out.width - kBorder, y + kBar), kCaption);
    int x = kBorder + 2;
    if (const IconImages* icon =
            platform.IconImagesOf(rec->smallIcon ? rec->smallIcon : rec->bigIcon)) {
      if (const Image* small = icon->Pick(16)) {
        Blit(s, CPoint(x, y + 1), *small, CRect(0, 0, 16, 16), true);
        x += 18;
      }
    }
    TextOptions title;
    title.color = kWhite;
    title.bold = true;
    DrawTextLine(s, x, y + (kBar - TextHeight()) / 2, rec->text, title);
    if (rec->style & WS_SYSMENU) {
      const CRect close(out.width - kBorder - 17, y + 2, out.width - kBorder - 3, y + kBar - 2);
      FillRect(s, close, kFace);
      FrameRect(s, close, kBlack);
      for (int i = 3; i < close.Width() - 3; ++i) {
        PutPixel(s, close.left + i, close.top + i - 1, kBlack);
        PutPixel(s, close.right - 1 - i, close.top + i - 1, kBlack);
      }
    }
    y += kBar;
  }
  if (menu) {
    TextOptions items;
    items.prefix = true;
    int x = kBorder + 6;
    for (const CMenu::Item& item : rec->menu->Items()) {
      if (item.flags & MF_SEPARATOR) continue;
      items.color = (item.flags & MF_GRAYED) ? Argb(128, 128, 128) : kBlack;
      DrawTextLine(s, x, y + (kBar - TextHeight()) / 2, item.text, items);
      x += TextWidth(item.text, items) + 12;
    }
    FillRect(s, CRect(kBorder, y + kBar - 1, out.width - kBorder, y + kBar), kDark);
  }
  Blit(s, CPoint(kBorder, clientTop), client, CRect(0, 0, client.width, client.height), false);
  return out;
}

}  // namespace tessaro
