// The platform's basic types: integer widths, handles, points and rectangles.
//
// The integer types keep the widths of the original platform; WPARAM, LPARAM and
// LRESULT are pointer-sized because messages carry pointers and handles in them.
// The host's plug-in header defines some of the same names; both use the guard
// TESSARO_PLATFORM_TYPES_DEFINED and identical types, so either may come first.
#pragma once

#include <cstdint>

// ---- Integer types shared with the plug-in header ----

#ifndef TESSARO_PLATFORM_TYPES_DEFINED
#define TESSARO_PLATFORM_TYPES_DEFINED
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef UINT_PTR WPARAM;
typedef INT_PTR LPARAM;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef void* HANDLE;
typedef void* HICON;
#endif

// ---- Further integer types ----

typedef uint32_t UINT;
typedef int32_t LONG;
typedef int BOOL;
typedef INT_PTR LRESULT;
typedef INT_PTR LONG_PTR;
typedef DWORD COLORREF;  // 0x00BBGGRR

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// ---- Handles ----
// A window handle is never reused within one platform's life, so a message
// posted to a destroyed window can be recognised and dropped.

struct HWND__;
typedef HWND__* HWND;
struct HDC__;
typedef HDC__* HDC;
typedef HICON HCURSOR;

// ---- Packing helpers ----

constexpr WORD LOWORD(UINT_PTR v) {
  return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(UINT_PTR v) {
  return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(UINT lo, UINT hi) {
  return static_cast<WPARAM>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16));
}
// Two signed 16-bit values, as mouse messages carry a point.
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(lo) & 0xFFFFu) |
                                                ((static_cast<DWORD>(hi) & 0xFFFFu) << 16)));
}
constexpr int GET_X_LPARAM(LPARAM l) {
  return static_cast<int16_t>(LOWORD(static_cast<UINT_PTR>(l)));
}
constexpr int GET_Y_LPARAM(LPARAM l) {
  return static_cast<int16_t>(HIWORD(static_cast<UINT_PTR>(l)));
}

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) {
  return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
  return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
  return static_cast<BYTE>((c >> 16) & 0xFF);
}

// ---- Geometry ----

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};

// Right and bottom are exclusive: a rectangle holds the pixels left <= x < right.
struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

class CPoint : public POINT {
 public:
  constexpr CPoint() = default;
  constexpr CPoint(int px, int py) : POINT{px, py} {}
  constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
 public:
  constexpr CSize() = default;
  constexpr CSize(int w, int h) : SIZE{w, h} {}
  constexpr bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
};

class CRect : public RECT {
 public:
  constexpr CRect() = default;
  constexpr CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  constexpr CRect(const RECT& r) : RECT(r) {}  // NOLINT: converts like the platform's class

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  constexpr bool PtInRect(POINT p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
  constexpr CPoint TopLeft() const { return {left, top}; }
  constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  constexpr void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  constexpr bool operator==(const CRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// The intersection of two rectangles; empty (all zero) when they do not meet.
constexpr CRect Intersect(const CRect& a, const CRect& b) {
  CRect r(a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
          a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom);
  return r.IsRectEmpty() ? CRect() : r;
}
