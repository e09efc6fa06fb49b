// CDialog: a window made from a dialog template of the current resource module,
// modeless (Create) or modal (DoModal), with the dialog manager's behaviour:
// Enter presses the default button (OnOK), Escape and WM_CLOSE become IDCANCEL
// (OnCancel), and dialog data exchange moves values between fields and controls.
#pragma once

#include <string>

#include "framework/wnd.h"

class CDialog;
namespace tessaro {
class ResourceModule;
}

// ---- Dialog data exchange ----

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  // The control of id nIDC, or null after marking the exchange as failed.
  CWnd* PrepareCtrl(int nIDC);
  void Fail() { failed_ = true; }
  bool Failed() const { return failed_; }

  BOOL m_bSaveAndValidate;  // TRUE: control -> field; FALSE: field -> control
  CWnd* m_pDlgWnd;

 private:
  bool failed_ = false;
};

// Exchanges a control's text with a string field. A missing control fails the
// exchange and leaves the field as it is.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);

// ---- CDialog ----

class CDialog : public CWnd {
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Creates the modeless dialog from template nIDTemplate (no parent when
  // pParentWnd is null). WM_INITDIALOG, and so OnInitDialog, runs before it
  // returns; a template with WS_VISIBLE is shown after it. FALSE when the
  // template, its menu or a control class cannot be found.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // Runs the dialog of the constructor's template modally in a nested message
  // loop; returns the EndDialog value, or -1 when it could not be created.
  virtual INT_PTR DoModal();

  virtual BOOL OnInitDialog();  // runs UpdateData(FALSE); TRUE: focus the first tab stop
  virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
  virtual void OnCancel();      // EndDialog(IDCANCEL)
  // Ends a modal dialog's loop with nResult; hides a modeless dialog (the window
  // and the object stay).
  void EndDialog(int nResult);
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX);
  // The default push button's id (IDOK when the template has none).
  int GetDefID() const;
  void GotoDlgCtrl(CWnd* pWndCtrl);

  // Takes the template (and its menu) from `module` rather than from the
  // platform's current resource module: a program's own dialogs stay found
  // after a loaded module installed its resources. Null: the current one.
  void UseTemplatesOf(const tessaro::ResourceModule* module) { templates_ = module; }

  // The modal state, for backends running DoModal's nested loop.
  bool IsModalEnded() const { return modalEnded_ || !m_hWnd; }
  int GetModalResult() const { return modalResult_; }
  UINT GetTemplateId() const { return m_nIDTemplate; }

  // Keyboard messages of the dialog and its controls go to the dialog manager.
  BOOL PreTranslateMessage(MSG* pMsg) override;
  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

 private:
  BOOL CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal);

  const tessaro::ResourceModule* templates_ = nullptr;
  bool modal_ = false;
  bool modalEnded_ = false;
  int modalResult_ = -1;
};
