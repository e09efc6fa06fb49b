// A headless platform for tests and scripts: it makes the current platform
// with a HeadlessDriver and acts as the user would: clicks, keys, typing, menu
// and system-menu commands, buttons, scripted answers to boxes, and a clock
// that moves when told. Every input helper delivers the input's messages and
// runs until idle; it returns false, doing nothing, when a person could not
// give that input (the window is missing, hidden or disabled; no such item).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "framework/gdi.h"
#include "framework/headless/headless_driver.h"
#include "framework/image.h"
#include "framework/platform.h"
#include "framework/wnd.h"

namespace tessaro {

class Headless {
 public:
  Headless();
  ~Headless();
  Headless(const Headless&) = delete;
  Headless& operator=(const Headless&) = delete;

  Platform& platform() { return *platform_; }
  HeadlessDriver& driver() { return *driver_; }

  // ---- Pumping ----
  bool RunUntilIdle() { return platform_->RunUntilIdle(); }
  void AdvanceClock(uint64_t ms) { driver_->AdvanceClock(ms); }
  uint64_t Now() const { return driver_->NowMs(); }

  // ---- Input ----
  // A left click at a client point of wnd: WM_LBUTTONDOWN (with `flags`) and
  // WM_LBUTTONUP to the window or to the control under the point.
  bool Click(CWnd& wnd, CPoint client, UINT flags = MK_LBUTTON);
  // A key pressed and released on the focused window: WM_KEYDOWN, WM_CHAR for
  // keys that type a character (Space, Enter, Escape, Backspace, Tab, letters,
  // digits), WM_KEYUP. A dialog's manager sees them first.
  bool KeyDown(UINT vk);
  // Focuses control controlId of `dialog` and types each character (WM_CHAR).
  bool TypeText(CWnd& dialog, int controlId, std::string_view text);
  // A command of wnd's menu bar (WM_COMMAND); false for a missing or grayed item.
  bool ChooseMenu(CWnd& wnd, UINT commandId);
  // A click on control controlId of `dialog`.
  bool PressButton(CWnd& dialog, int controlId);
  // A command of wnd's system menu (WM_SYSCOMMAND).
  bool SysCommand(CWnd& wnd, UINT command);
  bool Focus(CWnd& wnd);

  // ---- Scripted answers ----
  void AnswerMessageBox(int answer, std::function<void()> whileOpen = {},
                        std::string expectText = {});
  void AnswerDialog(DialogScript script) { driver_->Script(std::move(script)); }
  // A file dialog's answer: a path, or nothing for Cancel.
  void AnswerFileDialog(std::optional<std::string> path, std::function<void()> whileOpen = {});

  // ---- Pixels ----
  Image Snapshot(const CWnd& wnd) const;                // the client area
  COLORREF Pixel(const CWnd& wnd, int x, int y) const;  // 0xFFFFFFFF outside the client area
  // A PNG of the client area, or withFrame: of the top-level window with its
  // border, caption and menu bar as a person would see it.
  bool SavePng(const CWnd& wnd, const std::string& path, bool withFrame = false) const;

 private:
  HeadlessDriver* driver_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace tessaro
