#include "framework/gdi.h"

#include <algorithm>
#include <cstring>

#include "framework/message_map.h"
#include "framework/metrics.h"
#include "framework/platform.h"

using tessaro::Image;
using tessaro::Platform;
using tessaro::Region;
using tessaro::WindowRecord;

// ---- Bitmaps ----

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  Platform* p = Platform::Current();
  const tessaro::ResourceModule* module = p ? p->GetResourceModule() : nullptr;
  const Image* image = module ? module->FindBitmap(nIDResource) : nullptr;
  if (!image) return FALSE;
  image_ = std::make_shared<Image>(*image);
  m_hObject = this;
  return TRUE;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int nWidth, int nHeight) {
  if (nWidth <= 0 || nHeight <= 0 || nWidth > tessaro::kMaxImageSide ||
      nHeight > tessaro::kMaxImageSide)
    return FALSE;
  image_ = std::make_shared<Image>(nWidth, nHeight, tessaro::Argb(0, 0, 0));
  m_hObject = this;
  return TRUE;
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
  if (!image_ || !pBitMap) return 0;
  *pBitMap = BITMAP();
  pBitMap->bmWidth = image_->width;
  pBitMap->bmHeight = image_->height;
  pBitMap->bmWidthBytes = image_->width * 4;
  return static_cast<int>(sizeof(BITMAP));
}

// ---- CDC ----

CDC* afx_detail::DcFromWParam(WPARAM w) {
  return CDC::FromHandle(reinterpret_cast<HDC>(w));
}

CDC::CDC() {
  m_hDC = reinterpret_cast<HDC>(this);
  if (Platform* p = Platform::Current()) p->RegisterDc(this);
}

CDC::~CDC() {
  if (Platform* p = Platform::Current()) p->UnregisterDc(this);
}

CDC* CDC::FromHandle(HDC hDC) {
  Platform* p = Platform::Current();
  CDC* dc = reinterpret_cast<CDC*>(hDC);
  return p && hDC && p->IsLiveDc(dc) ? dc : nullptr;
}

void CDC::AttachWindow(HWND hWnd, const Region* clip) {
  Platform* p = Platform::Current();
  const WindowRecord* rec = p ? p->Find(hWnd) : nullptr;
  const WindowRecord* top = rec ? p->Find(p->TopLevelOf(hWnd)) : nullptr;
  if (!rec || !top || !top->canvas) return;
  window_ = hWnd;
  canvas_ = top->canvas;
  surface_.target = canvas_.get();
  surface_.origin = p->CanvasOrigin(hWnd);
  fine_ = top->fineCanvas;
  surface_.fine = fine_.get();
  surface_.scale = fine_ ? p->GetDriver().Scale() : 1;
  surface_.clip = p->CanvasClip(
      hWnd, clip ? *clip : Region(CRect(0, 0, rec->rect.Width(), rec->rect.Height())));
}

BOOL CDC::CreateCompatibleDC(CDC*) {
  memory_ = true;
  canvas_.reset();
  fine_.reset();
  surface_ = tessaro::Surface();
  return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  CBitmap* previous = selectedBitmap_;
  if (!memory_) return nullptr;  // a window context draws to its window only
  selectedBitmap_ = pBitmap;
  surface_ = tessaro::Surface();
  if (pBitmap && pBitmap->Pixels()) {
    const Image* px = pBitmap->Pixels();
    surface_.clip.Add(CRect(0, 0, px->width, px->height));
  }
  return previous;
}

CFont* CDC::SelectObject(CFont* pFont) {
  CFont* previous = selectedFont_;
  selectedFont_ = pFont;
  return previous;
}

namespace {

// A memory context draws into its bitmap's own copy of the pixels.
tessaro::Surface& Target(tessaro::Surface& s, bool memory, CBitmap* bitmap) {
  if (memory) s.target = bitmap ? bitmap->MutablePixels() : nullptr;
  return s;
}

}  // namespace

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) {
  if (!pSrcDC || dwRop != SRCCOPY || nWidth <= 0 || nHeight <= 0) return FALSE;
  const Image* source =
      pSrcDC->memory_ ? (pSrcDC->selectedBitmap_ ? pSrcDC->selectedBitmap_->Pixels() : nullptr)
                      : pSrcDC->surface_.target;
  if (!source) return FALSE;
  CRect from(xSrc, ySrc, xSrc + nWidth, ySrc + nHeight);
  from.OffsetRect(pSrcDC->surface_.origin.x, pSrcDC->surface_.origin.y);
  tessaro::Surface& s = Target(surface_, memory_, selectedBitmap_);
  if (source == s.target) {
    // Overlapping copies within one image read from a snapshot.
    const Image copy = *source;
    tessaro::Blit(s, CPoint(x, y), copy, from, false);
  } else {
    tessaro::Blit(s, CPoint(x, y), *source, from, false);
  }
  return TRUE;
}

BOOL CDC::DrawBitmap(UINT nIDResource, int x, int y, int cx, int cy) {
  Platform* p = Platform::Current();
  const tessaro::ResourceModule* module = p ? p->GetResourceModule() : nullptr;
  const Image* image = module ? module->FindBitmap(nIDResource) : nullptr;
  if (!image) return FALSE;
  tessaro::Blit(Target(surface_, memory_, selectedBitmap_), CPoint(x, y), *image,
                CRect(0, 0, cx, cy), false);
  return TRUE;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
  Platform* p = Platform::Current();
  const tessaro::IconImages* images = p ? p->IconImagesOf(hIcon) : nullptr;
  const Image* image = images ? images->Pick(GetSystemMetrics(SM_CXICON)) : nullptr;
  if (!image) return FALSE;
  tessaro::Blit(Target(surface_, memory_, selectedBitmap_), CPoint(x, y), *image,
                CRect(0, 0, image->width, image->height), true);
  return TRUE;
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
  tessaro::FillRect(Target(surface_, memory_, selectedBitmap_), CRect(x, y, x + cx, y + cy),
                    tessaro::ArgbFromColorref(clr));
}

void CDC::FillSolidRect(const RECT* lpRect, COLORREF clr) {
  if (lpRect) {
    FillSolidRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                  lpRect->bottom - lpRect->top, clr);
  }
}

BOOL CDC::TextOut(int x, int y, const std::string& text) {
  tessaro::TextOptions o;
  o.color = tessaro::ArgbFromColorref(textColor_);
  LOGFONT lf;
  o.bold = selectedFont_ && selectedFont_->GetLogFont(&lf) && lf.lfWeight >= 600;
  tessaro::Surface& s = Target(surface_, memory_, selectedBitmap_);
  if (bkMode_ == OPAQUE) {
    const CSize size = GetTextExtent(text);
    tessaro::FillRect(s, CRect(x, y, x + size.cx, y + size.cy),
                      tessaro::ArgbFromColorref(bkColor_));
  }
  tessaro::DrawTextLine(s, x, y, text, o);
  return TRUE;
}

CSize CDC::GetTextExtent(const std::string& text) const {
  return CSize(tessaro::TextWidth(text, tessaro::TextOptions()),
               tessaro::LineHeightOf(selectedFont_));
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
  return std::exchange(textColor_, crColor);
}
COLORREF CDC::SetBkColor(COLORREF crColor) {
  return std::exchange(bkColor_, crColor);
}
int CDC::SetBkMode(int nBkMode) {
  return std::exchange(bkMode_, nBkMode);
}

COLORREF CDC::GetPixel(int x, int y) const {
  const Image* image =
      memory_ ? (selectedBitmap_ ? selectedBitmap_->Pixels() : nullptr) : surface_.target;
  const int ix = x + surface_.origin.x;
  const int iy = y + surface_.origin.y;
  if (!image || !surface_.clip.Contains(ix, iy)) return 0xFFFFFFFFu;
  return tessaro::ColorrefFromArgb(image->At(ix, iy));
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
  tessaro::PutPixel(Target(surface_, memory_, selectedBitmap_), x, y,
                    tessaro::ArgbFromColorref(crColor));
  return crColor;
}

int CDC::GetClipBox(RECT* lpRect) const {
  CRect box = surface_.clip.Bounds();
  box.OffsetRect(-surface_.origin.x, -surface_.origin.y);
  if (lpRect) *lpRect = surface_.clip.IsEmpty() ? CRect() : box;
  if (surface_.clip.IsEmpty()) return 1;             // NULLREGION
  return surface_.clip.Rects().size() == 1 ? 2 : 3;  // SIMPLEREGION, COMPLEXREGION
}

namespace {

// The pixels of r (logical coordinates) inside the clip; the clip's rectangles
// do not overlap.
long long VisibleArea(const tessaro::Surface& s, const RECT* lpRect) {
  if (!lpRect) return 0;
  CRect r(*lpRect);
  r.OffsetRect(s.origin.x, s.origin.y);
  long long area = 0;
  for (const CRect& c : s.clip.Rects()) {
    const CRect part = Intersect(r, c);
    if (!part.IsRectEmpty()) area += static_cast<long long>(part.Width()) * part.Height();
  }
  return area;
}

}  // namespace

BOOL CDC::RectVisible(const RECT* lpRect) const {
  return VisibleArea(surface_, lpRect) > 0 ? TRUE : FALSE;
}

BOOL CDC::RectWhollyVisible(const RECT* lpRect) const {
  if (!lpRect) return FALSE;
  const CRect r(*lpRect);
  if (r.IsRectEmpty()) return FALSE;
  const long long whole = static_cast<long long>(r.Width()) * r.Height();
  return VisibleArea(surface_, lpRect) == whole ? TRUE : FALSE;
}

// ---- Window contexts ----

CPaintDC::CPaintDC(tessaro::WindowObject* pWnd) {
  Platform* p = Platform::Current();
  m_hWnd = pWnd ? pWnd->m_hWnd : nullptr;
  WindowRecord* rec = p ? p->Find(m_hWnd) : nullptr;
  if (!rec) return;  // draws nothing
  // BeginPaint: the invalid region becomes this context's clip and the window
  // is valid from here on; invalidations while painting wait for the next paint.
  Region region = std::move(rec->invalid);
  rec->invalid.Clear();
  const bool erase = rec->erasePending;
  rec->erasePending = false;
  AttachWindow(m_hWnd, &region);
  m_ps.hdc = m_hDC;
  m_ps.rcPaint = region.Bounds();
  m_ps.fErase = erase ? TRUE : FALSE;
  if (erase) {
    const LRESULT erased =
        p->SendMessage(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(m_hDC), 0);
    m_ps.fErase = erased ? FALSE : TRUE;
  }
}

CPaintDC::~CPaintDC() {
  Platform* p = Platform::Current();
  if (!p || !p->Find(m_hWnd) || surface_.clip.IsEmpty()) return;
  p->GetDriver().CanvasChanged(p->TopLevelOf(m_hWnd), surface_.clip.Bounds());
}

CClientDC::CClientDC(tessaro::WindowObject* pWnd) {
  AttachWindow(pWnd ? pWnd->m_hWnd : nullptr, nullptr);
}
