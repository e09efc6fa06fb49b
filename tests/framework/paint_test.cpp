// Painting: the paint context's clip and validation, background erase,
// bitmaps drawn unscaled and opaque, icons with their mask, controls drawn by
// the framework, and screenshots.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/png.h"
#include "framework/snapshot.h"
#include "test_support.h"

namespace tessaro::test {
namespace {

constexpr COLORREF kRedRef = RGB(255, 0, 0);
constexpr COLORREF kFaceRef = RGB(192, 192, 192);
constexpr COLORREF kWhiteRef = RGB(255, 255, 255);

// A window whose paint handler runs a test's drawing inside a paint context.
class Canvas : public CWnd {
 public:
  std::function<void(CPaintDC&)> draw;
  int paints = 0;
  PAINTSTRUCT lastPaint;

  bool Make(bool visible = true) {
    return CreateEx(0, "Canvas", "c", WS_POPUP | (visible ? WS_VISIBLE : 0), CRect(0, 0, 60, 40),
                    nullptr, 0);
  }
  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {OnMessage<WM_PAINT, &Canvas::OnPaint>()};
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  afx_msg void OnPaint() {
    ++paints;
    CPaintDC dc(this);
    lastPaint = dc.m_ps;
    if (draw) draw(dc);
  }
};

class PaintTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(w.Make());
    os.RunUntilIdle();
    w.paints = 0;
  }
  // Fills the whole client area outside of any paint.
  void Fill(COLORREF c) {
    CClientDC dc(&w);
    dc.FillSolidRect(0, 0, 60, 40, c);
  }
  int CountPixels(COLORREF c) {
    const Image image = os.Snapshot(w);
    int n = 0;
    for (uint32_t p : image.pixels)
      n += ColorrefFromArgb(p) == c ? 1 : 0;
    return n;
  }
  Canvas w;
};

TEST_F(PaintTest, DrawingIsClippedToTheInvalidRegionWhichIsThenValid) {
  Fill(kWhiteRef);
  w.draw = [](CPaintDC& dc) { dc.FillSolidRect(0, 0, 60, 40, RGB(255, 0, 0)); };
  const CRect a(5, 5, 15, 10), b(30, 20, 40, 40);
  w.InvalidateRect(&a, FALSE);
  w.InvalidateRect(&b, FALSE);
  os.RunUntilIdle();
  EXPECT_EQ(w.paints, 1);
  EXPECT_EQ(CRect(w.lastPaint.rcPaint), CRect(5, 5, 40, 40));  // the bounding box
  EXPECT_EQ(CountPixels(kRedRef), a.Width() * a.Height() + b.Width() * b.Height());
  EXPECT_EQ(os.Pixel(w, 5, 5), kRedRef);
  EXPECT_EQ(os.Pixel(w, 15, 5), kWhiteRef);
  RECT r;
  EXPECT_FALSE(w.GetUpdateRect(&r));
  os.RunUntilIdle();
  EXPECT_EQ(w.paints, 1);
}

TEST_F(PaintTest, EraseOnlyWhenTheInvalidationAskedForIt) {
  Fill(kRedRef);
  w.Invalidate(FALSE);
  os.RunUntilIdle();
  EXPECT_EQ(CountPixels(kRedRef), 60 * 40);
  EXPECT_FALSE(w.lastPaint.fErase);

  const CRect part(0, 0, 10, 10);
  w.InvalidateRect(&part, TRUE);
  os.RunUntilIdle();
  EXPECT_EQ(CountPixels(kWhiteRef), 100);  // a plain window's background
  EXPECT_EQ(CountPixels(kRedRef), 60 * 40 - 100);
}

TEST_F(PaintTest, InvalidationDuringPaintWaitsForTheNextPaint) {
  w.draw = [&](CPaintDC&) {
    if (w.paints == 1) w.Invalidate();
  };
  w.Invalidate();
  os.RunUntilIdle();
  EXPECT_EQ(w.paints, 2);
}

TEST_F(PaintTest, AHiddenWindowPaintsIntoItsCanvasOnAPostedPaint) {
  Canvas hidden;
  ASSERT_TRUE(hidden.Make(false));
  hidden.draw = [](CPaintDC& dc) { dc.FillSolidRect(0, 0, 60, 40, RGB(0, 0, 255)); };
  hidden.Invalidate();
  hidden.PostMessage(WM_PAINT);
  os.RunUntilIdle();
  EXPECT_EQ(hidden.paints, 1);
  EXPECT_EQ(os.Pixel(hidden, 59, 39), RGB(0, 0, 255));
}

TEST_F(PaintTest, BitmapsAreDrawnUnscaledAndOpaque) {
  Fill(kWhiteRef);
  w.draw = [](CPaintDC& dc) {
    EXPECT_TRUE(dc.DrawBitmap(500, 10, 20, 4, 3));
    EXPECT_TRUE(dc.DrawBitmap(500, 40, 20, 2, 2));  // only the top-left 2 x 2
    EXPECT_FALSE(dc.DrawBitmap(777, 0, 0, 4, 4));
  };
  w.Invalidate(FALSE);
  os.RunUntilIdle();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(os.Pixel(w, 10 + x, 20 + y), ColorrefFromArgb(kBitmap500[y * 4 + x]));
  EXPECT_EQ(os.Pixel(w, 14, 20), kWhiteRef);
  EXPECT_EQ(os.Pixel(w, 41, 21), ColorrefFromArgb(kBitmap500[5]));
  EXPECT_EQ(os.Pixel(w, 42, 20), kWhiteRef);
  EXPECT_EQ(os.Pixel(w, 40, 22), kWhiteRef);
}

TEST_F(PaintTest, BitBltFromAMemoryContextHoldingALoadedBitmap) {
  Fill(kWhiteRef);
  w.draw = [](CPaintDC& dc) {
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(&dc));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(501));
    BITMAP info;
    bitmap.GetBitmap(&info);
    EXPECT_EQ(info.bmWidth, 15);
    CBitmap* old = memory.SelectObject(&bitmap);
    EXPECT_EQ(old, nullptr);
    EXPECT_TRUE(dc.BitBlt(-3, 2, 15, 15, &memory, 0, 0, SRCCOPY));  // partly outside
    memory.SelectObject(old);
  };
  w.Invalidate(FALSE);
  os.RunUntilIdle();
  EXPECT_EQ(os.Pixel(w, 4, 9), RGB(128, 128, 128));  // the disc's centre
  EXPECT_EQ(os.Pixel(w, 0, 2), RGB(255, 0, 0));      // a corner, opaque
  EXPECT_EQ(os.Pixel(w, 12, 2), kWhiteRef);
}

TEST_F(PaintTest, IconsAreDrawnWithTheirMask) {
  Fill(kWhiteRef);
  w.draw = [](CPaintDC& dc) { EXPECT_TRUE(dc.DrawIcon(2, 3, LoadIcon(600))); };
  w.Invalidate(FALSE);
  os.RunUntilIdle();
  EXPECT_EQ(os.Pixel(w, 2, 3), kWhiteRef);  // the transparent pixel
  EXPECT_EQ(os.Pixel(w, 3, 3), RGB(0, 0, 255));
  EXPECT_EQ(os.Pixel(w, 33, 34), RGB(0, 0, 255));  // 32 x 32, the standard size
  EXPECT_EQ(os.Pixel(w, 34, 35), kWhiteRef);
}

TEST_F(PaintTest, TextIsDrawnInTheBuiltInFont) {
  Fill(kWhiteRef);
  w.draw = [](CPaintDC& dc) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.TextOut(1, 1, "Hi");
  };
  w.Invalidate(FALSE);
  os.RunUntilIdle();
  // 'H': both stems down the glyph's seven rows, the bar on the fourth.
  for (int row = 0; row < 7; ++row) {
    EXPECT_EQ(os.Pixel(w, 1, 1 + row), RGB(0, 0, 0));
    EXPECT_EQ(os.Pixel(w, 5, 1 + row), RGB(0, 0, 0));
  }
  EXPECT_EQ(os.Pixel(w, 3, 4), RGB(0, 0, 0));
  EXPECT_EQ(os.Pixel(w, 3, 3), kWhiteRef);
  EXPECT_EQ(CClientDC(&w).GetTextExtent("Hi").cx, 12);
}

// A dialog paints around its controls, and each control draws itself.
TEST_F(PaintTest, ControlsDrawThemselvesAndTheDialogLeavesThemAlone) {
  CDialog dlg;
  ASSERT_TRUE(dlg.Create(200));
  dlg.SetDlgItemText(1000, "59");
  os.RunUntilIdle();
  auto countDark = [&](const CRect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        n += os.Pixel(dlg, x, y) == RGB(0, 0, 0) ? 1 : 0;
    return n;
  };
  const CRect clock(430, 269, 474, 284);
  EXPECT_GT(countDark(clock), 10);  // "59", right-aligned
  EXPECT_EQ(countDark(CRect(430, 269, 450, 284)), 0);
  EXPECT_EQ(os.Pixel(dlg, 272, 100), kWhiteRef);           // inside the log pane
  EXPECT_EQ(os.Pixel(dlg, 271, 100), RGB(128, 128, 128));  // its border
  EXPECT_EQ(os.Pixel(dlg, 100, 100), kFaceRef);            // the dialog's own face

  // The dialog's paint does not cover the controls.
  struct Painter : CDialog {
    const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
    static const AFX_MSGMAP* GetThisMessageMap() {
      static constexpr AFX_MSGMAP_ENTRY kEntries[] = {OnMessage<WM_PAINT, &Painter::OnPaint>()};
      static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
      return &kMap;
    }
    void OnPaint() {
      CPaintDC dc(this);
      dc.FillSolidRect(0, 0, 522, 300, RGB(0, 128, 0));
    }
  } painter;
  ASSERT_TRUE(painter.Create(200));
  os.RunUntilIdle();
  EXPECT_EQ(os.Pixel(painter, 100, 100), RGB(0, 128, 0));
  EXPECT_EQ(os.Pixel(painter, 300, 100), kWhiteRef);
}

// A minimised window still paints; it erases with WM_ICONERASEBKGND and
// draws its icon in the middle, as the game window does.
TEST_F(PaintTest, MinimisedWindowPaintsItsIcon) {
  Fill(kRedRef);
  w.draw = [&](CPaintDC& dc) {
    if (!w.IsIconic()) return;
    w.SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()));
    dc.DrawIcon((60 - GetSystemMetrics(SM_CXICON) + 1) / 2,
                (40 - GetSystemMetrics(SM_CYICON) + 1) / 2, LoadIcon(600));
  };
  w.ShowWindow(SW_MINIMIZE);
  EXPECT_TRUE(w.IsIconic());
  os.RunUntilIdle();
  EXPECT_EQ(w.paints, 1);
  EXPECT_EQ(os.Pixel(w, 1, 1), kWhiteRef);        // erased
  EXPECT_EQ(os.Pixel(w, 14, 4), kWhiteRef);       // the icon's transparent pixel
  EXPECT_EQ(os.Pixel(w, 15, 4), RGB(0, 0, 255));  // the icon
}

TEST_F(PaintTest, ScreenshotIsAPngOfTheClientArea) {
  Fill(kRedRef);
  const std::string path =
      (std::filesystem::temp_directory_path() / "tessaro_fw_shot.png").string();
  ASSERT_TRUE(w.SavePng(path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, EncodePng(os.Snapshot(w)));
  std::filesystem::remove(path);
  CWnd none;
  EXPECT_FALSE(none.SavePng(path));
}

TEST_F(PaintTest, FramedPictureHasCaptionAndMenuBarAroundTheClientArea) {
  CDialog dlg;
  ASSERT_TRUE(dlg.Create(200));
  os.RunUntilIdle();
  const Image framed = SnapshotWithFrame(os.platform(), dlg.m_hWnd);
  const Image client = os.Snapshot(dlg);
  // Border 3, caption 18 and menu bar 18 above; border 3 around the rest.
  ASSERT_EQ(framed.width, client.width + 6);
  ASSERT_EQ(framed.height, client.height + 3 + 18 + 18 + 3);
  EXPECT_EQ(framed.At(10, 5), Argb(0, 0, 128));  // the caption bar
  for (int y = 0; y < client.height; y += 37)
    for (int x = 0; x < client.width; x += 41)
      ASSERT_EQ(framed.At(3 + x, 39 + y), client.At(x, y));
}

}  // namespace
}  // namespace tessaro::test
