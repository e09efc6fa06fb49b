// Message maps: per class, an ordered table of the messages and commands the
// class handles, with a link to its base class's table. Dispatch walks the
// table of the object's class from the top and takes the first matching entry;
// when none matches it goes on with the base class's table, and so on, and a
// message no table handles gets the window's default processing.
//
// A class declares
//     const AFX_MSGMAP* GetMessageMap() const override;
//     static const AFX_MSGMAP* GetThisMessageMap();
// and defines the table with the entry makers below, e.g.
//     const AFX_MSGMAP* GameWindow::GetThisMessageMap() {
//       static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
//           OnMessage<WM_PAINT, &GameWindow::OnPaint>(),
//           OnCommand<32773, &GameWindow::OnExit>(),
//           OnNotify<BN_CLICKED, 1009, &GameWindow::OnSim>(),
//       };
//       static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
//       return &kMap;
//     }
// Each handler must have the platform's signature for its message; a wrong one
// is a compile error.
#pragma once

#include <cstddef>
#include <type_traits>

#include "framework/win_const.h"
#include "framework/win_types.h"

class CWnd;
class CDC;

// Marks message handlers in class declarations, as on the platform.
#define afx_msg

// ---- Tables ----

using AFX_PMSG_CALL = LRESULT (*)(CWnd* self, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_*
  UINT nCode;     // WM_COMMAND only: the notification code (0 for menus and BN_CLICKED)
  UINT nID;       // WM_COMMAND only: the command or control id
  AFX_PMSG_CALL pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for the root
  const AFX_MSGMAP_ENTRY* lpEntries;
  size_t nCount;
};

template <size_t N>
constexpr AFX_MSGMAP MakeMessageMap(const AFX_MSGMAP* (*base)(),
                                    const AFX_MSGMAP_ENTRY (&entries)[N]) {
  return AFX_MSGMAP{base, entries, N};
}

// ---- Handler signatures ----

namespace afx_detail {

template <class F>
struct MemberOf;
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...)> {
  using Class = C;
};

// How a message's wParam and lParam become the handler's arguments.
template <UINT Msg>
struct Crack {
  static_assert(Msg != Msg, "no cracker for this message: use OnMessageRaw");
};

template <UINT Msg>
struct VoidCrack {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(), WPARAM, LPARAM) {
    (c->*f)();
    return 0;
  }
};
template <>
struct Crack<WM_PAINT> : VoidCrack<WM_PAINT> {};
template <>
struct Crack<WM_CLOSE> : VoidCrack<WM_CLOSE> {};
template <>
struct Crack<WM_DESTROY> : VoidCrack<WM_DESTROY> {};

template <>
struct Crack<WM_TIMER> {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(UINT_PTR), WPARAM w, LPARAM) {
    (c->*f)(w);
    return 0;
  }
};

template <UINT Msg>
struct MouseCrack {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(UINT, CPoint), WPARAM w, LPARAM l) {
    (c->*f)(static_cast<UINT>(w), CPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)));
    return 0;
  }
};
template <>
struct Crack<WM_LBUTTONDOWN> : MouseCrack<WM_LBUTTONDOWN> {};
template <>
struct Crack<WM_LBUTTONUP> : MouseCrack<WM_LBUTTONUP> {};
template <>
struct Crack<WM_LBUTTONDBLCLK> : MouseCrack<WM_LBUTTONDBLCLK> {};
template <>
struct Crack<WM_RBUTTONDOWN> : MouseCrack<WM_RBUTTONDOWN> {};
template <>
struct Crack<WM_RBUTTONUP> : MouseCrack<WM_RBUTTONUP> {};
template <>
struct Crack<WM_MOUSEMOVE> : MouseCrack<WM_MOUSEMOVE> {};

// Key messages: the key, the repeat count (low word of lParam) and the flags
// (high word).
template <UINT Msg>
struct KeyCrack {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(UINT, UINT, UINT), WPARAM w, LPARAM l) {
    const auto bits = static_cast<UINT_PTR>(l);
    (c->*f)(static_cast<UINT>(w), LOWORD(bits), HIWORD(bits));
    return 0;
  }
};
template <>
struct Crack<WM_KEYDOWN> : KeyCrack<WM_KEYDOWN> {};
template <>
struct Crack<WM_KEYUP> : KeyCrack<WM_KEYUP> {};
template <>
struct Crack<WM_CHAR> : KeyCrack<WM_CHAR> {};

template <>
struct Crack<WM_SYSCOMMAND> {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(UINT, LPARAM), WPARAM w, LPARAM l) {
    (c->*f)(static_cast<UINT>(w), l);
    return 0;
  }
};

template <>
struct Crack<WM_QUERYDRAGICON> {
  template <class C>
  static LRESULT Call(C* c, HCURSOR (C::*f)(), WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((c->*f)());
  }
};

template <>
struct Crack<WM_SHOWWINDOW> {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(BOOL, UINT), WPARAM w, LPARAM l) {
    (c->*f)(static_cast<BOOL>(w), static_cast<UINT>(l));
    return 0;
  }
};

// Handlers that take the device context of the message.
CDC* DcFromWParam(WPARAM w);
template <>
struct Crack<WM_ERASEBKGND> {
  template <class C>
  static LRESULT Call(C* c, BOOL (C::*f)(CDC*), WPARAM w, LPARAM) {
    return (c->*f)(DcFromWParam(w));
  }
};
template <>
struct Crack<WM_ICONERASEBKGND> {
  template <class C>
  static LRESULT Call(C* c, void (C::*f)(CDC*), WPARAM w, LPARAM) {
    (c->*f)(DcFromWParam(w));
    return 0;
  }
};

template <UINT Msg, auto Fn>
LRESULT MessageThunk(CWnd* self, WPARAM w, LPARAM l) {
  using C = typename MemberOf<decltype(Fn)>::Class;
  static_assert(std::is_base_of_v<CWnd, C>, "handlers belong to window classes");
  return Crack<Msg>::Call(static_cast<C*>(self), Fn, w, l);
}

template <auto Fn>
LRESULT RawThunk(CWnd* self, WPARAM w, LPARAM l) {
  using C = typename MemberOf<decltype(Fn)>::Class;
  static_assert(std::is_same_v<decltype(Fn), LRESULT (C::*)(WPARAM, LPARAM)>,
                "a raw handler is LRESULT (WPARAM, LPARAM)");
  return (static_cast<C*>(self)->*Fn)(w, l);
}

template <auto Fn>
LRESULT CommandThunk(CWnd* self, WPARAM, LPARAM) {
  using C = typename MemberOf<decltype(Fn)>::Class;
  static_assert(std::is_same_v<decltype(Fn), void (C::*)()>, "a command handler is void ()");
  (static_cast<C*>(self)->*Fn)();
  return 0;
}

}  // namespace afx_detail

// ---- Entry makers ----

// A window message with the platform's handler signature for it.
template <UINT Msg, auto Fn>
constexpr AFX_MSGMAP_ENTRY OnMessage() {
  return {Msg, 0, 0, &afx_detail::MessageThunk<Msg, Fn>};
}
// Any message, handled as LRESULT (WPARAM, LPARAM).
template <UINT Msg, auto Fn>
constexpr AFX_MSGMAP_ENTRY OnMessageRaw() {
  return {Msg, 0, 0, &afx_detail::RawThunk<Fn>};
}
// A menu command, accelerator or button click (notification code 0).
template <UINT Id, auto Fn>
constexpr AFX_MSGMAP_ENTRY OnCommand() {
  return {WM_COMMAND, 0, Id, &afx_detail::CommandThunk<Fn>};
}
// A control notification such as BN_CLICKED or EN_CHANGE from control Id.
template <UINT Code, UINT Id, auto Fn>
constexpr AFX_MSGMAP_ENTRY OnNotify() {
  return {WM_COMMAND, Code, Id, &afx_detail::CommandThunk<Fn>};
}
