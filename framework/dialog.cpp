#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/controls.h"
#include "framework/gdi.h"
#include "framework/platform.h"

using tessaro::Platform;
using tessaro::WindowKind;
using tessaro::WindowRecord;

// ---- Dialog data exchange ----

CWnd* CDataExchange::PrepareCtrl(int nIDC) {
  CWnd* ctrl = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
  if (!ctrl) Fail();
  return ctrl;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
  if (!pDX) return;
  CWnd* ctrl = pDX->PrepareCtrl(nIDC);
  if (!ctrl) return;
  if (pDX->m_bSaveAndValidate) {
    ctrl->GetWindowText(value);
  } else {
    ctrl->SetWindowText(value);
  }
}

// ---- CDialog ----

CDialog::CDialog() = default;
CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}
CDialog::~CDialog() = default;

const AFX_MSGMAP* CDialog::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* CDialog::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
      OnMessageRaw<WM_INITDIALOG, &CDialog::HandleInitDialog>(),
      OnCommand<IDOK, &CDialog::OnOK>(),
      OnCommand<IDCANCEL, &CDialog::OnCancel>(),
  };
  static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
  return &kMap;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  return CreateFromTemplate(nIDTemplate, pParentWnd, false);
}

namespace {

std::unique_ptr<CWnd> MakeControlObject(WindowKind kind) {
  switch (kind) {
    case WindowKind::Edit:
      return std::make_unique<CEdit>();
    case WindowKind::RichEdit:
      return std::make_unique<CRichEditCtrl>();
    case WindowKind::Static:
      return std::make_unique<CStatic>();
    case WindowKind::Button:
      return std::make_unique<CButton>();
    default:
      return std::make_unique<CWnd>();
  }
}

// The template's font as the platform would create it (96 pixels per inch).
CFont DialogFont(const tessaro::FontSpec& desc) {
  CFont font;
  const bool none = desc.points <= 0;
  font.CreateFont(-((none ? 8 : desc.points) * 96 + 36) / 72, 0, 0, 0,
                  desc.weight ? desc.weight : FW_NORMAL, desc.italic ? 1 : 0, 0, 0,
                  static_cast<BYTE>(desc.charset), 0, 0, 0, 0, none ? "System" : desc.face.c_str());
  return font;
}

}  // namespace

BOOL CDialog::CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal) {
  Platform* p = Platform::Current();
  if (!p || m_hWnd) return FALSE;
  const tessaro::ResourceModule* module = templates_ ? templates_ : p->GetResourceModule();
  const tessaro::DialogTemplate* t = module ? module->FindDialog(nIDTemplate) : nullptr;
  if (!t) return FALSE;
  // Everything the template refers to must exist before a window is made.
  std::vector<WindowKind> kinds;
  for (const tessaro::ControlTemplate& c : t->controls) {
    const std::optional<WindowKind> kind = tessaro::ControlKindOf(c.className);
    if (!kind) return FALSE;
    if (*kind == WindowKind::RichEdit && !p->GetDriver().RichEditAvailable()) return FALSE;
    kinds.push_back(*kind);
  }
  std::unique_ptr<CMenu> menu;
  if (t->menuId) {
    const tessaro::MenuTemplate* mt = module->FindMenu(t->menuId);
    if (!mt) return FALSE;
    menu = CMenu::FromTemplate(*mt);
  }

  const tessaro::BaseUnits units = tessaro::DialogBaseUnits(t->font);
  CRect area = tessaro::DialogUnitsToPixels(units, 0, 0, t->cx, t->cy);
  const HWND parent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
  const bool child = (t->style & WS_CHILD) && parent;
  if (t->style & DS_CENTER) {
    area.OffsetRect((GetSystemMetrics(SM_CXSCREEN) - area.Width()) / 2,
                    (GetSystemMetrics(SM_CYSCREEN) - area.Height()) / 2);
  } else {
    const CRect at = tessaro::DialogUnitsToPixels(units, t->x, t->y, 0, 0);
    area.OffsetRect(at.left, at.top);
  }
  tessaro::WindowSpec desc;
  desc.kind = WindowKind::Dialog;
  desc.className = "#32770";
  desc.text = t->caption;
  desc.style = child ? t->style : t->style & ~WS_CHILD;
  desc.exStyle = t->exStyle;
  desc.rect = area;
  desc.parent = parent;
  const HWND h = p->CreateWindowRecord(this, desc);
  if (!h) return FALSE;
  const CFont font = DialogFont(t->font);
  {
    WindowRecord* rec = p->Find(h);
    rec->menu = std::move(menu);
    rec->font = std::make_unique<CFont>(font);
  }
  m_nIDTemplate = nIDTemplate;
  m_pParentWnd = pParentWnd;

  int defaultId = 0;
  for (size_t i = 0; i < t->controls.size(); ++i) {
    const tessaro::ControlTemplate& c = t->controls[i];
    std::unique_ptr<CWnd> object = MakeControlObject(kinds[i]);
    tessaro::WindowSpec cs;
    cs.kind = kinds[i];
    cs.className = c.className;
    cs.text = c.text;
    cs.style = c.style | WS_CHILD;
    cs.exStyle = c.exStyle;
    cs.rect = tessaro::DialogUnitsToPixels(units, c.x, c.y, c.cx, c.cy);
    cs.parent = h;
    cs.id = c.id;
    const bool iconStatic = kinds[i] == WindowKind::Static && (c.style & SS_TYPEMASK) == SS_ICON;
    if (iconStatic) {
      // An icon static takes the size of the icon it shows.
      cs.rect.right = cs.rect.left + GetSystemMetrics(SM_CXICON);
      cs.rect.bottom = cs.rect.top + GetSystemMetrics(SM_CYICON);
    }
    const HWND ch = p->CreateWindowRecord(object.get(), cs);
    if (!ch) {
      p->DestroyWindow(h);
      return FALSE;
    }
    WindowRecord* cr = p->Find(ch);
    cr->ownedObject = std::move(object);
    cr->font = std::make_unique<CFont>(font);
    if (iconStatic) cr->staticIcon = p->LoadIcon(c.iconId);
    if (kinds[i] == WindowKind::Button && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && !defaultId)
      defaultId = c.id;
  }
  p->Find(h)->defaultId = defaultId;

  modal_ = modal;
  modalEnded_ = false;
  modalResult_ = -1;
  const LRESULT focusFirst = p->SendMessage(h, WM_INITDIALOG, 0, 0);
  WindowRecord* rec = p->Find(h);
  if (!rec) return FALSE;
  if (focusFirst && !rec->lastFocus) {
    for (HWND c : rec->children) {
      const WindowRecord* cr = p->Find(c);
      if (cr && (cr->style & WS_TABSTOP) && cr->visible && cr->enabled) {
        rec->lastFocus = c;
        break;
      }
    }
  }
  if (t->style & WS_VISIBLE) p->Show(h, SW_SHOW);
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  Platform* p = Platform::Current();
  if (!p || m_hWnd) return -1;
  CWnd* owner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
  CWnd* const keepParent = m_pParentWnd;
  if (!CreateFromTemplate(m_nIDTemplate, owner, true)) return -1;
  m_pParentWnd = keepParent;
  if (m_hWnd && !p->IsVisible(m_hWnd)) p->Show(m_hWnd, SW_SHOW);
  // The owner takes no input while the dialog is open.
  const HWND ownerHandle = owner ? owner->m_hWnd : nullptr;
  const bool disableOwner = ownerHandle && p->IsEnabled(ownerHandle);
  if (disableOwner) p->SetEnabled(ownerHandle, false);
  if (!IsModalEnded()) p->GetDriver().RunModalDialog(*this);
  if (disableOwner && p->Find(ownerHandle)) p->SetEnabled(ownerHandle, true);
  const int result = modalEnded_ ? modalResult_ : -1;
  DestroyWindow();
  modal_ = false;
  return result;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
  return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult) {
  if (modal_) {
    modalResult_ = nResult;
    modalEnded_ = true;
  }
  ShowWindow(SW_HIDE);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return dx.Failed() ? FALSE : TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

int CDialog::GetDefID() const {
  Platform* p = Platform::Current();
  const WindowRecord* rec = p ? p->Find(m_hWnd) : nullptr;
  return rec && rec->defaultId ? rec->defaultId : IDOK;
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
  if (pWndCtrl) pWndCtrl->SetFocus();
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  return IsDialogMessage(pMsg);
}
