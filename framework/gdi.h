// Drawing: bitmaps and device contexts (fonts are in font.h). A window's
// device context draws into the window's canvas (owned by the framework),
// clipped to what it may touch; a memory device context draws into the bitmap
// selected into it. Text is drawn in the built-in bitmap font whatever font is
// selected.
#pragma once

#include <memory>
#include <string>

#include "framework/font.h"
#include "framework/region.h"
#include "framework/surface.h"
#include "framework/win_const.h"
#include "framework/win_types.h"
#include "framework/window_object.h"

class CDC;

// ---- Bitmaps ----

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 32;
};

class CBitmap : public CGdiObject {
 public:
  // Loads bitmap resource nIDResource of the current resource module.
  BOOL LoadBitmap(UINT nIDResource);
  BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
  int GetBitmap(BITMAP* pBitMap) const;

  // The pixels (framework use); null before the bitmap holds any.
  const tessaro::Image* Pixels() const { return image_.get(); }
  tessaro::Image* MutablePixels() { return image_.get(); }

 protected:
  void Release() override { image_.reset(); }

 private:
  std::shared_ptr<tessaro::Image> image_;
};

// ---- Device contexts ----

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;  // TRUE when the background still needs erasing
  RECT rcPaint;         // the bounding box of the region being painted
};

class CDC {
 public:
  CDC();
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC GetSafeHdc() const { return m_hDC; }
  // The live device context of a handle, or null.
  static CDC* FromHandle(HDC hDC);

  // ---- Memory contexts ----
  BOOL CreateCompatibleDC(CDC* pDC);
  CBitmap* SelectObject(CBitmap* pBitmap);  // returns the previously selected bitmap
  CFont* SelectObject(CFont* pFont);

  // ---- Drawing ----
  // Copies a rectangle of the source context's pixels (SRCCOPY only).
  BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
  // Draws the top-left cx x cy pixels of bitmap resource id at (x, y), unscaled.
  BOOL DrawBitmap(UINT nIDResource, int x, int y, int cx, int cy);
  // Draws an icon at its standard size (SM_CXICON) with its mask.
  BOOL DrawIcon(int x, int y, HICON hIcon);
  BOOL DrawIcon(POINT point, HICON hIcon) { return DrawIcon(point.x, point.y, hIcon); }
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
  void FillSolidRect(const RECT* lpRect, COLORREF clr);
  BOOL TextOut(int x, int y, const std::string& text);
  CSize GetTextExtent(const std::string& text) const;
  COLORREF SetTextColor(COLORREF crColor);
  COLORREF SetBkColor(COLORREF crColor);
  int SetBkMode(int nBkMode);
  COLORREF GetPixel(int x, int y) const;  // 0xFFFFFFFF outside the clip
  COLORREF SetPixel(int x, int y, COLORREF crColor);
  int GetClipBox(RECT* lpRect) const;
  // Whether any part of a rectangle (logical coordinates) lies inside the clip,
  // and whether all of it does: a view that paints only what the clip lets
  // through skips the rest, and knows which of its parts it painted whole.
  BOOL RectVisible(const RECT* lpRect) const;
  BOOL RectWhollyVisible(const RECT* lpRect) const;

  // Framework use: the pixels and clip this context draws to.
  tessaro::Surface& Surface() { return surface_; }

  HDC m_hDC = nullptr;

 protected:
  // Points this context at a window's canvas, clipped to `clip` (client
  // coordinates of hWnd; null: the whole client).
  void AttachWindow(HWND hWnd, const tessaro::Region* clip);

  tessaro::Surface surface_;
  std::shared_ptr<tessaro::Image> canvas_;  // keeps a window's canvas alive while drawing
  std::shared_ptr<tessaro::Image> fine_;    // and its fine canvas, when it has one
  HWND window_ = nullptr;

 private:
  bool memory_ = false;
  CBitmap* selectedBitmap_ = nullptr;
  CFont* selectedFont_ = nullptr;
  COLORREF textColor_ = RGB(0, 0, 0);
  COLORREF bkColor_ = RGB(255, 255, 255);
  int bkMode_ = OPAQUE;
};

// Opens painting of a window (BeginPaint): takes the window's invalid region,
// which leaves the window valid, erases the background first when the
// invalidation asked for it (WM_ERASEBKGND), and clips all drawing to that
// region. The destructor ends painting (EndPaint). A window's object is taken
// by what the window list knows of it (a CWnd is one), so that the framework's
// own default painting uses the same context below the window classes.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(tessaro::WindowObject* pWnd);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps;
  HWND m_hWnd = nullptr;
};

// Draws anywhere in a window's client area.
class CClientDC : public CDC {
 public:
  explicit CClientDC(tessaro::WindowObject* pWnd);
};
