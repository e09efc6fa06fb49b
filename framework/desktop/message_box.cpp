// The desktop message box: a small modal toolkit window over its owner, with
// the buttons of the box type in the platform's order. It runs the platform's
// own loop while it is open, so messages and timers keep going.
#include "framework/desktop/message_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <memory>
#include <vector>

namespace tessaro {
namespace {

struct ButtonSpec {
  const char* label;
  int answer;
};

// Left to right, as the platform shows them.
std::vector<ButtonSpec> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{"&Abort", IDABORT}, {"&Retry", IDRETRY}, {"&Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{"&Yes", IDYES}, {"&No", IDNO}, {"Cancel", IDCANCEL}};
    case MB_YESNO:
      return {{"&Yes", IDYES}, {"&No", IDNO}};
    case MB_RETRYCANCEL:
      return {{"&Retry", IDRETRY}, {"Cancel", IDCANCEL}};
    default:
      return {{"OK", IDOK}};
  }
}

const char* IconLetterOf(UINT type) {
  switch (type & 0xF0u) {  // the icon bits
    case MB_ICONHAND:
      return "X";
    case MB_ICONQUESTION:
      return "?";
    case MB_ICONEXCLAMATION:
      return "!";
    case MB_ICONINFORMATION:
      return "i";
    default:
      return nullptr;
  }
}

struct BoxState {
  int answer = 0;
};

void Answer(Fl_Widget*, void* data) {
  auto* pair = static_cast<std::pair<BoxState*, int>*>(data);
  pair->first->answer = pair->second;
}

// Enter presses the button that has the keyboard focus, as Space does; only
// when no button has it does Enter reach the default button as a shortcut.
// Without this, Tab to "No" and Enter would answer "Yes".
template <class Base>
class BoxButton : public Base {
 public:
  BoxButton(int x, int y, int w, int h, const char* label) : Base(x, y, w, h, label) {}
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      this->do_callback();
      return 1;
    }
    return Base::handle(event);
  }
};

}  // namespace

int EscapeAnswerOf(UINT type) {
  return DismissedAnswer(type);
}

void ShowBeside(Fl_Window& box, Fl_Window* owner) {
  const int w = box.w();
  const int h = box.h();
  if (owner && owner->shown()) {
    const CPoint at = PlaceBeside(*owner, CSize(w, h));
    box.position(at.x, at.y);
  } else {
    box.position((Fl::w() - w) / 2, (Fl::h() - h) / 2);
  }
  box.show();
  GiveKeyboardFocus(box);
}

void GiveKeyboardFocus(Fl_Window& window) {
  if (!window.shown()) return;
  window.wait_for_expose();
  XSetInputFocus(fl_display, fl_xid(&window), RevertToParent, CurrentTime);
}

CPoint PlaceBeside(const CRect& owner, CSize box, const CRect& screen) {
  constexpr int kGap = 8;
  auto fits = [&](int x, int y) {
    return x >= screen.left && y >= screen.top && x + box.cx <= screen.right &&
           y + box.cy <= screen.bottom;
  };
  auto clampY = [&](int y) { return std::max(screen.top, std::min(y, screen.bottom - box.cy)); };
  auto clampX = [&](int x) { return std::max(screen.left, std::min(x, screen.right - box.cx)); };
  const int besideY = clampY(owner.top);
  const int besideX = clampX(owner.left);
  const CPoint tries[] = {
      {owner.right + kGap, besideY},
      {owner.left - kGap - box.cx, besideY},
      {besideX, owner.bottom + kGap},
      {besideX, owner.top - kGap - box.cy},
  };
  for (const CPoint& at : tries) {
    if (fits(at.x, at.y)) return at;
  }
  return CPoint(clampX(owner.right - box.cx), clampY(owner.top + (owner.Height() - box.cy) / 2));
}

CPoint PlaceBeside(const Fl_Window& owner, CSize box) {
  return PlaceBeside(CRect(owner.x(), owner.y(), owner.x() + owner.w(), owner.y() + owner.h()), box,
                     CRect(0, 0, Fl::w(), Fl::h()));
}

int RunDesktopMessageBox(Platform& platform, const MessageBoxRequest& request, Fl_Window* owner,
                         int scale) {
  const int k = std::max(1, scale);
  const std::vector<ButtonSpec> buttons = ButtonsOf(request.type);
  const char* icon = IconLetterOf(request.type);
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  int textW = 360 * k;
  int textH = 0;
  fl_measure(request.text.c_str(), textW, textH, 0);
  textW = std::max(textW, 1);
  const int iconW = icon ? 50 * k : 0;
  const int buttonsW = static_cast<int>(buttons.size()) * 90 * k;
  // Some slack: the label may be laid out a little wider than measured.
  // The window manager writes the caption in the title bar beside its own
  // buttons: a short question under a long caption ("Are you BLACK?" under
  // "Choose your side") must not cut the caption.
  fl_font(FL_HELVETICA_BOLD, FL_NORMAL_SIZE + 2);
  const int captionW = static_cast<int>(fl_width(request.caption.c_str())) * k + 130 * k;
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  const int w = std::max({textW + iconW + 50 * k, buttonsW + 20 * k, 200 * k, captionW});
  const int h = std::max(textH, icon ? 40 * k : 0) + 70 * k;

  BoxState state;
  Fl_Window box(w, h);
  box.copy_label(request.caption.c_str());
  if (icon) {
    auto* mark = new Fl_Box(10 * k, 15 * k, 40 * k, 40 * k, icon);
    mark->box(FL_THIN_UP_BOX);
    mark->labelfont(FL_HELVETICA_BOLD);
    mark->labelsize(30 * k);
    mark->labelcolor(FL_BLUE);
    mark->color(FL_WHITE);
  }
  auto* text = new Fl_Box(15 * k + iconW, 15 * k, w - iconW - 25 * k, h - 65 * k);
  text->copy_label(request.text.c_str());
  text->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  std::vector<std::pair<BoxState*, int>> answers;
  answers.reserve(buttons.size());
  const int defaultIndex = (request.type & MB_DEFBUTTON3)   ? 2
                           : (request.type & MB_DEFBUTTON2) ? 1
                                                            : 0;
  int x = (w - buttonsW) / 2 + 5 * k;
  Fl_Button* defaultButton = nullptr;
  for (size_t i = 0; i < buttons.size(); ++i) {
    answers.emplace_back(&state, buttons[i].answer);
    Fl_Button* button = nullptr;
    if (static_cast<int>(i) == std::min<int>(defaultIndex, static_cast<int>(buttons.size()) - 1)) {
      button = defaultButton =
          new BoxButton<Fl_Return_Button>(x, h - 40 * k, 80 * k, 25 * k, buttons[i].label);
    } else {
      button = new BoxButton<Fl_Button>(x, h - 40 * k, 80 * k, 25 * k, buttons[i].label);
    }
    button->callback(Answer, &answers.back());
    x += 90 * k;
  }
  box.end();
  // Escape and the close box give the answer the platform gives them.
  std::pair<BoxState*, int> escape(&state, EscapeAnswerOf(request.type));
  box.callback(Answer, &escape);
  box.set_modal();
  ShowBeside(box, owner);
  // The keyboard starts on the default button, wherever it stands.
  if (defaultButton) defaultButton->take_focus();
  platform.RunUntil([&] { return state.answer != 0; });
  box.hide();
  return state.answer != 0 ? state.answer : EscapeAnswerOf(request.type);
}

}  // namespace tessaro
