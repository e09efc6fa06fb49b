#include "framework/font.h"

#include <algorithm>
#include <cstring>

#include "framework/surface.h"

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  Release();
  m_hObject = nullptr;
  return TRUE;
}

CFont::CFont(const CFont& other) : CGdiObject(), logFont_(other.logFont_) {
  m_hObject = other.m_hObject ? this : nullptr;
}

CFont& CFont::operator=(const CFont& other) {
  if (this != &other) {
    logFont_ = other.logFont_;
    m_hObject = other.m_hObject ? this : nullptr;
  }
  return *this;
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                       BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet,
                       BYTE nOutPrecision, BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily,
                       const char* lpszFacename) {
  LOGFONT lf;
  lf.lfHeight = nHeight;
  lf.lfWidth = nWidth;
  lf.lfEscapement = nEscapement;
  lf.lfOrientation = nOrientation;
  lf.lfWeight = nWeight;
  lf.lfItalic = bItalic;
  lf.lfUnderline = bUnderline;
  lf.lfStrikeOut = cStrikeOut;
  lf.lfCharSet = nCharSet;
  lf.lfOutPrecision = nOutPrecision;
  lf.lfClipPrecision = nClipPrecision;
  lf.lfQuality = nQuality;
  lf.lfPitchAndFamily = nPitchAndFamily;
  if (lpszFacename) {
    std::strncpy(lf.lfFaceName, lpszFacename, sizeof(lf.lfFaceName) - 1);
  }
  return CreateFontIndirect(&lf);
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lpLogFont) {
  if (!lpLogFont) return FALSE;
  logFont_ = *lpLogFont;
  logFont_.lfFaceName[sizeof(logFont_.lfFaceName) - 1] = '\0';
  m_hObject = this;
  return TRUE;
}

int CFont::GetLogFont(LOGFONT* pLogFont) const {
  if (!m_hObject || !pLogFont) return 0;
  *pLogFont = logFont_;
  return static_cast<int>(sizeof(LOGFONT));
}

namespace tessaro {

bool IsBold(const CFont* font) {
  LOGFONT lf;
  return font && font->GetLogFont(&lf) && lf.lfWeight >= 600;
}

int LineHeightOf(const CFont* font) {
  LOGFONT lf;
  if (!font || !font->GetLogFont(&lf)) return LineSpacing();
  return std::max(LineSpacing(), static_cast<int>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight));
}

}  // namespace tessaro
