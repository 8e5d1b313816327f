#pragma once
// The program's own window messages, in one place so that no two share a number.
#include <windows.h>

namespace pb {

// To a form from its child control: the child's mouse move. wParam: the child's id; lParam: as
// WM_MOUSEMOVE.
constexpr UINT kMsgChildMouseMove = WM_APP + 1;
// To the main window from the history's reading thread: the first reading is done.
constexpr UINT kMsgHistoryRead = WM_APP + 2;
// To a navigable window before the dialog manager sees a Tab key. lParam: the key's MSG.
// Nonzero when the window moved the focus itself.
constexpr UINT kMsgTabKey = WM_APP + 3;
// To a form from one of its push buttons: it gained or lost the focus. wParam: gained; lParam:
// the button, or on a loss the window that gains the focus.
constexpr UINT kMsgButtonFocus = WM_APP + 4;
// To the window that a worker thread reaches the window's thread through: run this piece there.
// lParam: the std::function<void()> to run.
constexpr UINT kMsgRunPiece = WM_APP + 5;
// To a single-threaded apartment's worker thread (a thread message): run this work there.
// wParam 0: lParam is its task, which the sender waits for; 1: lParam is a new
// std::function<void()> that the worker runs and deletes.
constexpr UINT kMsgApartmentWork = WM_APP + 7;
// To the window that holds messages for the next pumping point: a held message's place in
// the queue has come. wParam: its number.
constexpr UINT kMsgHeldDue = WM_APP + 6;

} // namespace pb
