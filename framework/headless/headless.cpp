#include "framework/headless/headless.h"

#include "framework/menu.h"
#include "framework/png.h"
#include "framework/snapshot.h"
#include "framework/window_record.h"

namespace tessaro {
namespace {

// The character a key types, or 0.
unsigned CharOf(UINT vk) {
  if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
    return vk;
  if (vk >= '0' && vk <= '9') return vk;
  if (vk >= 'A' && vk <= 'Z') return vk - 'A' + 'a';
  return 0;
}

}  // namespace

Headless::Headless() {
  auto driver = std::make_unique<HeadlessDriver>();
  driver_ = driver.get();
  platform_ = std::make_unique<Platform>(std::move(driver));
}

Headless::~Headless() = default;

bool Headless::Click(CWnd& wnd, CPoint client, UINT flags) {
  Platform& p = *platform_;
  const WindowRecord* rec = p.Find(wnd.m_hWnd);
  if (!rec || !p.IsVisible(wnd.m_hWnd) ||
      !CRect(0, 0, rec->rect.Width(), rec->rect.Height()).PtInRect(client))
    return false;
  const HWND target = p.ChildAt(wnd.m_hWnd, client);
  if (!p.IsEnabled(target)) return false;
  const CPoint from = p.CanvasOrigin(wnd.m_hWnd);
  const CPoint to = p.CanvasOrigin(target);
  const LPARAM at = MAKELPARAM(client.x + from.x - to.x, client.y + from.y - to.y);
  p.Activate(wnd.m_hWnd);
  p.PostMessage(target, WM_LBUTTONDOWN, flags, at);
  p.PostMessage(target, WM_LBUTTONUP, flags & ~MK_LBUTTON, at);
  RunUntilIdle();
  return true;
}

bool Headless::KeyDown(UINT vk) {
  Platform& p = *platform_;
  const HWND target = p.Focus();
  if (!target || !p.IsVisible(target) || !p.IsEnabled(target)) return false;
  p.PostMessage(target, WM_KEYDOWN, vk, 1);
  if (const unsigned c = CharOf(vk)) p.PostMessage(target, WM_CHAR, c, 1);
  p.PostMessage(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
  RunUntilIdle();
  return true;
}

bool Headless::TypeText(CWnd& dialog, int controlId, std::string_view text) {
  CWnd* control = dialog.GetDlgItem(controlId);
  if (!control || !Focus(*control)) return false;
  for (char c : text) {
    platform_->PostMessage(control->m_hWnd, WM_CHAR, static_cast<unsigned char>(c), 1);
  }
  RunUntilIdle();
  return true;
}

bool Headless::ChooseMenu(CWnd& wnd, UINT commandId) {
  const CMenu* menu = wnd.GetMenu();
  const CMenu::Item* item = menu ? menu->FindCommand(commandId) : nullptr;
  if (!item || (item->flags & (MF_GRAYED | MF_DISABLED)) || !wnd.IsWindowVisible() ||
      !wnd.IsWindowEnabled())
    return false;
  platform_->PostMessage(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
  RunUntilIdle();
  return true;
}

bool Headless::PressButton(CWnd& dialog, int controlId) {
  CWnd* control = dialog.GetDlgItem(controlId);
  const WindowRecord* rec = control ? platform_->Find(control->m_hWnd) : nullptr;
  if (!rec) return false;
  return Click(dialog, rec->rect.CenterPoint());
}

bool Headless::SysCommand(CWnd& wnd, UINT command) {
  const CMenu* menu = wnd.GetSystemMenu(FALSE);
  const CMenu::Item* item = menu ? menu->FindCommand(command) : nullptr;
  if (!item || (item->flags & (MF_GRAYED | MF_DISABLED)) || !wnd.IsWindowVisible() ||
      !wnd.IsWindowEnabled())
    return false;
  platform_->PostMessage(wnd.m_hWnd, WM_SYSCOMMAND, command, 0);
  RunUntilIdle();
  return true;
}

bool Headless::Focus(CWnd& wnd) {
  if (!platform_->IsVisible(wnd.m_hWnd) || !platform_->IsEnabled(wnd.m_hWnd)) return false;
  platform_->SetFocus(wnd.m_hWnd);
  return platform_->Focus() == wnd.m_hWnd;
}

void Headless::AnswerMessageBox(int answer, std::function<void()> whileOpen,
                                std::string expectText) {
  driver_->Script(MessageBoxScript{answer, std::move(expectText), std::move(whileOpen)});
}

void Headless::AnswerFileDialog(std::optional<std::string> path, std::function<void()> whileOpen) {
  driver_->Script(FileDialogScript{std::move(path), std::move(whileOpen)});
}

Image Headless::Snapshot(const CWnd& wnd) const {
  return platform_->Snapshot(wnd.m_hWnd);
}

// One pixel read off the canvas, as Snapshot would show it: a test or a
// benchmark that waits for a pixel looks at it often, and copying the whole
// window each time would be most of what it measures.
COLORREF Headless::Pixel(const CWnd& wnd, int x, int y) const {
  const WindowRecord* rec = platform_->Find(wnd.m_hWnd);
  const WindowRecord* top = platform_->Find(platform_->TopLevelOf(wnd.m_hWnd));
  if (!rec || !top || !top->canvas || x < 0 || y < 0 || x >= rec->rect.Width() ||
      y >= rec->rect.Height())
    return 0xFFFFFFFFu;
  const CPoint origin = platform_->CanvasOrigin(wnd.m_hWnd);
  const CPoint at(origin.x + x, origin.y + y);
  return ColorrefFromArgb(top->canvas->Contains(at.x, at.y) ? top->canvas->At(at.x, at.y)
                                                            : Image(1, 1).At(0, 0));
}

bool Headless::SavePng(const CWnd& wnd, const std::string& path, bool withFrame) const {
  std::string error;
  return tessaro::SavePng(withFrame ? SnapshotWithFrame(*platform_, wnd.m_hWnd) : Snapshot(wnd),
                          path, error);
}

}  // namespace tessaro
