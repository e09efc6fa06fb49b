// The standard controls a dialog template can hold. The framework makes the
// control objects of a dialog with their own classes, so a control from
// GetDlgItem may be used as the class its template names: an "EDIT" is a
// CEdit, a "RICHEDIT" a CRichEditCtrl, a "STATIC" a CStatic, a "BUTTON" a
// CButton. Controls are drawn by the framework in a plain flat look. What
// each control does and how it looks is in its own file, by window handle:
// edit.h (edit and rich edit), static_button.h, scroll_bar.h.
#pragma once

#include <string>
#include <string_view>

#include "framework/wnd.h"

// Single- or multi-line text entry. Typing replaces the selection; a read-only
// edit takes no typing.
class CEdit : public CWnd {
 public:
  // Selects characters nStartChar up to nEndChar (-1: to the end); a caret
  // alone when they are equal. A multi-line edit scrolls to show the caret.
  void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
  void GetSel(int& nStartChar, int& nEndChar) const;
  void ReplaceSel(const char* lpszNewText, BOOL bCanUndo = FALSE);
  void SetReadOnly(BOOL bReadOnly = TRUE);
  int GetLineCount() const;
  int GetFirstVisibleLine() const;
};

// The rich edit control of the game log; plain text only.
class CRichEditCtrl : public CWnd {
 public:
  void SetSel(long nStartChar, long nEndChar);
  void GetSel(long& nStartChar, long& nEndChar) const;
  void ReplaceSel(const char* lpszNewText, BOOL bCanUndo = FALSE);
  long GetTextLength() const;
  // The control's text itself, not a copy: an owner that keeps a long text
  // in the control reads it here instead of holding it twice.
  const std::string& GetTextRef() const;
  // As SetWindowText and ReplaceSel, but every byte of `text` counts, a NUL
  // too (the C string forms end at one).
  void SetText(const std::string& text);
  void ReplaceSel(std::string_view text);
  int GetLineCount() const;
  int GetFirstVisibleLine() const;
};

class CStatic : public CWnd {
 public:
  HICON SetIcon(HICON hIcon);  // for SS_ICON statics
  HICON GetIcon() const;
};

class CButton : public CWnd {};

// Makes the rich edit control available; FALSE when the backend has none (the
// platform then fails to create dialogs that hold one).
BOOL AfxInitRichEdit();
