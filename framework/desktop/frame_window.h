// The toolkit window of one top-level platform window: a menu strip made from
// the window's menu (when it has one) above a view that shows the canvas 1:1
// (or its fine canvas at the driver's scale) and turns mouse and keyboard
// input into window messages. Internal to the desktop backend.
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform.h"

class CMenu;

namespace tessaro {

class FrameWindow;

// Builds toolkit menu items from a platform menu; each command item carries
// its id as user data. The strings live in `labels`.
std::vector<Fl_Menu_Item> BuildMenuItems(const CMenu& menu, std::deque<std::string>& labels);
// The virtual-key code of a toolkit key, or 0 for a key the platform has no code for.
UINT VirtualKeyOf(int flKey);

// Shows the canvas and routes input.
class CanvasView final : public Fl_Widget {
 public:
  CanvasView(FrameWindow& frame, int x, int y, int w, int h);
  void draw() override;
  int handle(int event) override;

 private:
  bool Mouse(int event);
  bool Wheel();
  bool Key(int event);
  CPoint ClientPoint() const;  // of the current event, in the platform's pixels
  // A point in the top-level window's client area, in `target`'s client
  // coordinates as a mouse message carries it.
  LPARAM PointIn(HWND target, CPoint client) const;

  FrameWindow& frame_;
  std::vector<unsigned char> rgb_;
  HWND pressTarget_ = nullptr;  // where the button went down: it gets the release
};

// The menu strip: rebuilt from the window's menu whenever it is opened, so
// items grayed or changed since show as they are now.
class MenuStrip final : public Fl_Menu_Bar {
 public:
  MenuStrip(FrameWindow& frame, int x, int y, int w, int h);
  int handle(int event) override;
  void Rebuild();

 private:
  FrameWindow& frame_;
  std::vector<Fl_Menu_Item> items_;
  std::deque<std::string> labels_;
};

class FrameWindow final : public Fl_Double_Window {
 public:
  static constexpr int kMenuHeight = 25;  // at scale 1

  FrameWindow(Platform& platform, HWND hwnd, int originX, int originY);
  ~FrameWindow() override;

  Platform& platform() const { return platform_; }
  HWND hwnd() const { return hwnd_; }
  int scale() const { return scale_; }
  int MenuHeight() const { return kMenuHeight * scale_; }
  int handle(int event) override;

  // Follows the platform window: size, title, menu.
  void Sync();
  // Pixels of the canvas changed within `area` (the platform's client
  // pixels): just those are drawn again.
  void Damage(const CRect& area);
  void SetIcon(const IconImages* images);
  // FlashWindow: asks the window manager to draw the player's attention to an
  // inactive window (the urgency hint and the demands-attention state), or
  // clears that. The title stays the peer's name: a marker written into it
  // would be read, copied and listed by the desktop as if it were the name.
  void Flash(bool invert);
  bool IsActive();
  // Makes the platform window the active one when input arrives for it.
  void ActivateInPlatform();

 private:
  static void CloseBox(Fl_Widget* widget, void* data);
  void SetUrgency(bool urgent);
  void UpdateTitle();

  Platform& platform_;
  HWND hwnd_;
  int scale_ = 1;
  CanvasView* view_ = nullptr;
  MenuStrip* menu_ = nullptr;
  std::string title_;
  std::unique_ptr<Fl_RGB_Image> icon_;
};

}  // namespace tessaro
