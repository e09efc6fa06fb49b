#include "framework/desktop/frame_window.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstring>

#include "framework/menu.h"

namespace tessaro {
namespace {

int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void MenuChosen(Fl_Widget* widget, void* data) {
  auto* strip = static_cast<MenuStrip*>(widget);
  FrameWindow* frame = strip ? static_cast<FrameWindow*>(strip->window()) : nullptr;
  if (!frame) return;
  const auto id = static_cast<UINT>(reinterpret_cast<uintptr_t>(data));
  frame->platform().PostMessage(frame->hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

Fl_Menu_Item EmptyItem() {
  Fl_Menu_Item item;
  std::memset(&item, 0, sizeof item);
  return item;
}

void AddItems(const CMenu& menu, std::vector<Fl_Menu_Item>& out, std::deque<std::string>& labels) {
  for (const CMenu::Item& source : menu.Items()) {
    if (source.flags & MF_SEPARATOR || source.text.empty()) {
      // A separator (or an empty column break) becomes a line under the item before.
      if (!out.empty() && out.back().text) out.back().flags |= FL_MENU_DIVIDER;
      continue;
    }
    // The accelerator after a tab is the platform's business, not a label.
    labels.push_back(source.text.substr(0, source.text.find('\t')));
    Fl_Menu_Item item = EmptyItem();
    item.text = labels.back().c_str();
    if (source.flags & (MF_GRAYED | MF_DISABLED)) item.flags |= FL_MENU_INACTIVE;
    // A ticked item shows its box; the tick itself is the window's to set.
    if (source.flags & MF_CHECKED) item.flags |= FL_MENU_TOGGLE | FL_MENU_VALUE;
    if ((source.flags & MF_POPUP) && source.popup) {
      item.flags |= FL_SUBMENU;
      out.push_back(item);
      AddItems(*source.popup, out, labels);
      out.push_back(EmptyItem());
    } else {
      item.callback_ = MenuChosen;
      item.user_data_ = reinterpret_cast<void*>(static_cast<uintptr_t>(source.id));
      out.push_back(item);
    }
  }
}

}  // namespace

std::vector<Fl_Menu_Item> BuildMenuItems(const CMenu& menu, std::deque<std::string>& labels) {
  std::vector<Fl_Menu_Item> items;
  AddItems(menu, items, labels);
  items.push_back(EmptyItem());
  return items;
}

UINT VirtualKeyOf(int key) {
  switch (key) {
    case FL_BackSpace:
      return VK_BACK;
    case FL_Tab:
      return VK_TAB;
    case FL_Enter:
    case FL_KP_Enter:
      return VK_RETURN;
    case FL_Escape:
      return VK_ESCAPE;
    case ' ':
      return VK_SPACE;
    case FL_Left:
      return VK_LEFT;
    case FL_Up:
      return VK_UP;
    case FL_Right:
      return VK_RIGHT;
    case FL_Down:
      return VK_DOWN;
    case FL_Delete:
      return VK_DELETE;
    case FL_Page_Up:
      return VK_PRIOR;
    case FL_Page_Down:
      return VK_NEXT;
    case FL_Home:
      return VK_HOME;
    case FL_End:
      return VK_END;
    default:
      break;
  }
  if (key >= 'a' && key <= 'z') return static_cast<UINT>(key - 'a' + 'A');
  if (key >= '0' && key <= '9') return static_cast<UINT>(key);
  return 0;
}

// ---- CanvasView ----

CanvasView::CanvasView(FrameWindow& frame, int x, int y, int w, int h)
    : Fl_Widget(x, y, w, h), frame_(frame) {}

void CanvasView::draw() {
  const WindowRecord* rec = frame_.platform().Find(frame_.hwnd());
  if (!rec || !rec->canvas || rec->canvas->width <= 0 || rec->canvas->height <= 0) {
    fl_rectf(x(), y(), w(), h(), FL_BACKGROUND_COLOR);
    return;
  }
  // Enlarged windows show their fine canvas, drawn at the scale.
  const Image& canvas = rec->fineCanvas ? *rec->fineCanvas : *rec->canvas;
  // Only what is to be drawn again (the area a paint changed, or all of it
  // when the window is shown or uncovered) goes to the screen: a log line
  // sends the log's pixels, not the board's.
  int cx = 0, cy = 0, cw = 0, ch = 0;
  fl_clip_box(x(), y(), w(), h(), cx, cy, cw, ch);
  const int left = std::max(0, cx - x()), top = std::max(0, cy - y());
  const int right = std::min(canvas.width, cx - x() + cw);
  const int bottom = std::min(canvas.height, cy - y() + ch);
  if (right > left && bottom > top) {
    const int width = right - left;
    rgb_.resize(static_cast<size_t>(width) * static_cast<size_t>(bottom - top) * 3);
    unsigned char* out = rgb_.data();
    for (int row = top; row < bottom; ++row) {
      const uint32_t* in = &canvas.pixels[static_cast<size_t>(row) * canvas.width + left];
      for (int i = 0; i < width; ++i, out += 3) {
        out[0] = static_cast<unsigned char>(in[i] >> 16);
        out[1] = static_cast<unsigned char>(in[i] >> 8);
        out[2] = static_cast<unsigned char>(in[i]);
      }
    }
    fl_draw_image(rgb_.data(), x() + left, y() + top, width, bottom - top, 3);
  }
  // Anything of the widget the canvas does not cover (it is sized to fit).
  if (canvas.width < w()) fl_rectf(x() + canvas.width, y(), w() - canvas.width, h(), FL_GRAY);
  if (canvas.height < h()) fl_rectf(x(), y() + canvas.height, w(), h() - canvas.height, FL_GRAY);
}

int CanvasView::handle(int event) {
  switch (event) {
    case FL_PUSH:
    case FL_RELEASE:
    case FL_DRAG:
      return Mouse(event) ? 1 : 0;
    case FL_MOUSEWHEEL:
      return Wheel() ? 1 : 0;
    case FL_KEYDOWN:
    case FL_KEYUP:
      return Key(event) ? 1 : 0;
    case FL_FOCUS:
    case FL_UNFOCUS:
    case FL_ENTER:
    case FL_LEAVE:
      return 1;
    default:
      return Fl_Widget::handle(event);
  }
}

CPoint CanvasView::ClientPoint() const {
  // The program sees its own pixels: the screen's are divided by the scale.
  const int scale = frame_.scale();
  return CPoint(FloorDiv(Fl::event_x() - x(), scale), FloorDiv(Fl::event_y() - y(), scale));
}

LPARAM CanvasView::PointIn(HWND target, CPoint client) const {
  Platform& p = frame_.platform();
  const CPoint from = p.CanvasOrigin(frame_.hwnd());
  const CPoint to = p.CanvasOrigin(target);
  return MAKELPARAM(client.x + from.x - to.x, client.y + from.y - to.y);
}

bool CanvasView::Wheel() {
  Platform& p = frame_.platform();
  const HWND hwnd = frame_.hwnd();
  const int dx = Fl::event_dx(), dy = Fl::event_dy();
  if (!p.IsEnabled(hwnd) || (dx == 0 && dy == 0)) return true;
  // The wheel scrolls what is under the mouse, as desktops do.
  const CPoint client = ClientPoint();
  const HWND target = p.ChildAt(hwnd, client);
  if (!target || !p.IsEnabled(target)) return true;
  const LPARAM at = PointIn(target, client);
  // A wheel tilted sideways, or turned with Shift held, scrolls sideways.
  if (dy == 0 || (Fl::event_state() & FL_SHIFT)) {
    const int delta = (dx != 0 ? dx : dy) * WHEEL_DELTA;  // right (or down) is positive
    p.PostMessage(target, WM_MOUSEHWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), at);
    return true;
  }
  const int delta = -dy * WHEEL_DELTA;  // the toolkit counts down as positive
  p.PostMessage(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), at);
  return true;
}

bool CanvasView::Mouse(int event) {
  Platform& p = frame_.platform();
  const HWND hwnd = frame_.hwnd();
  if (event == FL_DRAG) {
    // A drag goes where the button went down (a scroll thumb being pulled).
    const HWND target = pressTarget_ && p.Find(pressTarget_) ? pressTarget_ : nullptr;
    if (!target || !(Fl::event_state() & FL_BUTTON1)) return true;
    p.PostMessage(target, WM_MOUSEMOVE, MK_LBUTTON, PointIn(target, ClientPoint()));
    return true;
  }
  const int button = Fl::event_button();
  if (button != FL_LEFT_MOUSE && button != FL_RIGHT_MOUSE) return false;
  const bool left = button == FL_LEFT_MOUSE;
  const CPoint client = ClientPoint();
  HWND target = nullptr;
  if (event == FL_PUSH) {
    take_focus();
    // A window that is disabled (the owner of an open modal box) takes no input.
    if (!p.IsEnabled(hwnd)) return true;
    frame_.ActivateInPlatform();
    target = p.ChildAt(hwnd, client);
    pressTarget_ = target;
  } else {
    target = pressTarget_ && p.Find(pressTarget_) ? pressTarget_ : nullptr;
    pressTarget_ = nullptr;
  }
  if (!target || !p.IsEnabled(target)) return true;
  UINT flags = 0;
  if (Fl::event_state() & FL_SHIFT) flags |= MK_SHIFT;
  if (Fl::event_state() & FL_CTRL) flags |= MK_CONTROL;
  UINT message = 0;
  if (event == FL_PUSH) {
    flags |= left ? MK_LBUTTON : MK_RBUTTON;
    message = left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
  } else {
    message = left ? WM_LBUTTONUP : WM_RBUTTONUP;
  }
  p.PostMessage(target, message, flags, PointIn(target, client));
  return true;
}

bool CanvasView::Key(int event) {
  Platform& p = frame_.platform();
  const int state = Fl::event_state();
  // Alt with a letter is a menu shortcut: the menu strip takes it.
  if (state & FL_ALT) return false;
  if (!p.IsEnabled(frame_.hwnd())) return true;
  frame_.ActivateInPlatform();
  const HWND target = p.Focus();
  if (!target || !p.IsVisible(target) || !p.IsEnabled(target)) return true;
  const int key = Fl::event_key();
  const UINT vk = VirtualKeyOf(key);
  if (event == FL_KEYUP) {
    if (vk) p.PostMessage(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    return true;
  }
  if (vk) p.PostMessage(target, WM_KEYDOWN, vk, 1);
  if (state & (FL_CTRL | FL_META)) return true;
  std::string typed;
  switch (vk) {
    case VK_RETURN:
      typed = "\r";
      break;
    case VK_ESCAPE:
      typed = "\x1b";
      break;
    case VK_BACK:
      typed = "\b";
      break;
    case VK_TAB:
      typed = "\t";
      break;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_DELETE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
      break;
    default:
      typed.assign(Fl::event_text(), static_cast<size_t>(std::max(0, Fl::event_length())));
  }
  for (char c : typed)
    p.PostMessage(target, WM_CHAR, static_cast<unsigned char>(c), 1);
  return true;
}

// ---- MenuStrip ----

MenuStrip::MenuStrip(FrameWindow& frame, int x, int y, int w, int h)
    : Fl_Menu_Bar(x, y, w, h), frame_(frame) {
  box(FL_FLAT_BOX);
  Rebuild();
}

void MenuStrip::Rebuild() {
  const WindowRecord* rec = frame_.platform().Find(frame_.hwnd());
  if (!rec || !rec->menu) return;
  labels_.clear();
  items_ = BuildMenuItems(*rec->menu, labels_);
  menu(items_.data());
}

int MenuStrip::handle(int event) {
  const Platform& p = frame_.platform();
  if (event == FL_PUSH || event == FL_SHORTCUT) {
    if (!p.IsEnabled(frame_.hwnd())) return event == FL_PUSH ? 1 : 0;
    Rebuild();
  }
  return Fl_Menu_Bar::handle(event);
}

// ---- FrameWindow ----

FrameWindow::FrameWindow(Platform& platform, HWND hwnd, int originX, int originY)
    : Fl_Double_Window(0, 0, 10, 10), platform_(platform), hwnd_(hwnd) {
  scale_ = std::max(1, platform.GetDriver().Scale());
  const WindowRecord* rec = platform.Find(hwnd);
  const int w = (rec ? std::max(1, rec->rect.Width()) : 1) * scale_;
  const int h = (rec ? std::max(1, rec->rect.Height()) : 1) * scale_;
  const int top = rec && rec->menu ? MenuHeight() : 0;
  // The platform's screen positions (and the origin added to them) are in
  // its own pixels too.
  resize((originX + (rec ? rec->rect.left : 0)) * scale_,
         (originY + (rec ? rec->rect.top : 0)) * scale_, w, h + top);
  begin();
  if (top) menu_ = new MenuStrip(*this, 0, 0, w, top);
  view_ = new CanvasView(*this, 0, top, w, h);
  end();
  size_range(w, h + top, w, h + top);
  callback(CloseBox, this);
  xclass("Tessaro");
  UpdateTitle();
}

FrameWindow::~FrameWindow() {
  hide();
}

int FrameWindow::handle(int event) {
  if (event == FL_FOCUS) SetUrgency(false);
  const int used = Fl_Double_Window::handle(event);
  // Keys go to the canvas view, which hands them to the platform's focus.
  if (event == FL_SHOW && view_) view_->take_focus();
  return used;
}

void FrameWindow::Sync() {
  const WindowRecord* rec = platform_.Find(hwnd_);
  if (!rec) return;
  const int top = menu_ ? MenuHeight() : 0;
  const int w = std::max(1, rec->rect.Width()) * scale_;
  const int h = std::max(1, rec->rect.Height()) * scale_;
  if (w != view_->w() || h != view_->h()) {
    size_range(w, h + top, w, h + top);
    size(w, h + top);
    if (menu_) menu_->size(w, top);
    view_->resize(0, top, w, h);
    view_->redraw();
  }
  if (rec->text != title_) UpdateTitle();
}

void FrameWindow::Damage(const CRect& area) {
  Sync();
  // A window the toolkit has not shown yet is drawn whole when it is.
  if (!shown() || area.IsRectEmpty()) return;
  view_->damage(FL_DAMAGE_ALL, view_->x() + area.left * scale_, view_->y() + area.top * scale_,
                area.Width() * scale_, area.Height() * scale_);
}

void FrameWindow::SetIcon(const IconImages* images) {
  const Image* image = images ? images->Pick(32) : nullptr;
  if (!image || image->width <= 0 || image->height <= 0) return;
  std::vector<unsigned char> rgba(image->pixels.size() * 4);
  for (size_t k = 0; k < image->pixels.size(); ++k) {
    const uint32_t p = image->pixels[k];
    rgba[4 * k] = static_cast<unsigned char>(p >> 16);
    rgba[4 * k + 1] = static_cast<unsigned char>(p >> 8);
    rgba[4 * k + 2] = static_cast<unsigned char>(p);
    rgba[4 * k + 3] = static_cast<unsigned char>(p >> 24);
  }
  // The toolkit copies the pixels it is given into an image of its own.
  Fl_RGB_Image source(rgba.data(), image->width, image->height, 4);
  icon_.reset(static_cast<Fl_RGB_Image*>(source.copy()));
  icon(icon_.get());
}

void FrameWindow::Flash(bool invert) {
  if (invert && !IsActive()) SetUrgency(true);
  if (!invert) SetUrgency(false);
}

bool FrameWindow::IsActive() {
  if (!shown()) return false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(fl_display, &focus, &revert);
  return focus == fl_xid(this);
}

void FrameWindow::ActivateInPlatform() {
  const HWND focus = platform_.Focus();
  if (!focus || platform_.TopLevelOf(focus) != hwnd_) platform_.Activate(hwnd_);
  SetUrgency(false);
}

void FrameWindow::CloseBox(Fl_Widget*, void* data) {
  auto* self = static_cast<FrameWindow*>(data);
  // Escape reaches the platform as a key, where the dialog manager decides.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  if (!self->platform_.IsEnabled(self->hwnd_)) return;
  self->platform_.PostMessage(self->hwnd_, WM_CLOSE, 0, 0);
}

void FrameWindow::SetUrgency(bool urgent) {
  if (!shown()) return;
  const Window xid = fl_xid(this);
  XWMHints* hints = XGetWMHints(fl_display, xid);
  if (!hints) hints = XAllocWMHints();
  if (!hints) return;
  const bool was = (hints->flags & XUrgencyHint) != 0;
  if (was != urgent) {
    if (urgent) {
      hints->flags |= XUrgencyHint;
    } else {
      hints->flags &= ~XUrgencyHint;
    }
    XSetWMHints(fl_display, xid, hints);
    // The same wish in the words of current window managers: a request to
    // the root window to add or remove the demands-attention state.
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = xid;
    request.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = urgent ? 1 : 0;  // add or remove
    request.xclient.data.l[1] =
        static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_DEMANDS_ATTENTION", False));
    request.xclient.data.l[3] = 1;  // from an application
    XSendEvent(fl_display, DefaultRootWindow(fl_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(fl_display);
  }
  XFree(hints);
}

void FrameWindow::UpdateTitle() {
  const WindowRecord* rec = platform_.Find(hwnd_);
  title_ = rec ? rec->text : std::string();
  copy_label(title_.c_str());
}

}  // namespace tessaro
