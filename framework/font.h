// Fonts, and the object base they share with bitmaps. A font only describes
// itself: text is drawn in the built-in bitmap font whatever font is chosen,
// bold when the font asks for it, with lines as high as the font says. Windows
// keep their font with them, so this sits below the window list.
#pragma once

#include "framework/win_types.h"

struct LOGFONT {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};

class CGdiObject {
 public:
  virtual ~CGdiObject() = default;
  HANDLE GetSafeHandle() const { return m_hObject; }
  BOOL DeleteObject();

  HANDLE m_hObject = nullptr;  // non-null once the object holds something

 protected:
  virtual void Release() {}
};

class CFont : public CGdiObject {
 public:
  CFont() = default;
  CFont(const CFont& other);
  CFont& operator=(const CFont& other);

  // The platform's 14 parameters; the face name is cut to 31 characters.
  BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                  BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision,
                  BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily,
                  const char* lpszFacename);
  BOOL CreateFontIndirect(const LOGFONT* lpLogFont);
  int GetLogFont(LOGFONT* pLogFont) const;  // nonzero when the font exists

 private:
  LOGFONT logFont_;
};

namespace tessaro {

// The line height of text in a font (null: the built-in font's).
int LineHeightOf(const CFont* font);
// Whether a font draws its text bold.
bool IsBold(const CFont* font);

}  // namespace tessaro
