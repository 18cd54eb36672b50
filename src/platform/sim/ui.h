// Control interface of the simulated window system and of its terminal display: what tests, the
// terminal and scripted runs use to look at the program's dialogs and message boxes and to act
// on them as a user would. The program itself never includes this header.
//
// Every user action below is posted to the message queue (sim::PostTask) and takes effect when a
// message loop dispatches it, in order with the line's messages, on the window that takes the
// input at that moment. An action that finds nothing to act on then (no dialog, a disabled
// dialog, no such button, no open box) does nothing, as a click on nothing would.
#ifndef RINGWARD_SIM_UI_H
#define RINGWARD_SIM_UI_H

#include "platform/sim/sim.h"

#include <functional>
#include <string>
#include <vector>

namespace sim {

// ---- Looking at the windows ---------------------------------------------------------------

struct ControlView {
    HWND handle;
    int id;
    std::string className; // "Button", "Static", ...
    std::string text;
    DWORD style;
    int x, y, cx, cy; // dialog units
    int iconId;       // the icon resource a static icon control shows; -1 for none
    bool focused;
    bool isDefault; // the push button that Enter presses
};

struct MenuItemView {
    UINT_PTR id;
    std::string text; // with its "&" mnemonic marks
    bool separator;
    bool grayed;
};

struct WindowView {
    HWND handle;
    bool isMessageBox;
    int templateId; // the dialog template; 0 for a message box
    std::string caption;
    std::string text; // a message box's text
    DWORD style;      // window style; a message box's MB_ flags
    HWND owner;
    int x, y, cx, cy; // dialog units
    bool visible;     // false while a dialog is being set up (WM_INITDIALOG), before it shows
    bool enabled;
    bool minimized;
    bool iconDrawn; // the last painting drew an icon (a minimised window's picture)
    std::vector<ControlView> controls;
    std::vector<MenuItemView> systemMenu; // empty until the window has one
};

// The open dialogs and message boxes, bottom to top (a dialog being set up included).
std::vector<WindowView> TopLevelWindows();
// The dialog that takes a click: the topmost open dialog that is not disabled; null when none.
HWND ActiveDialog();
// The topmost open dialog made from templateId; null when none.
HWND FindDialog(int templateId);
bool DialogOpen(int templateId);
// The caption of control controlId of dialog (the active one when null); "" when none.
std::string ControlText(int controlId, HWND dialog = nullptr);
int FocusedControlId(HWND dialog = nullptr); // 0 when no control has the focus
bool IsMinimized(HWND dialog = nullptr);
std::vector<MenuItemView> SystemMenuItems(HWND dialog = nullptr);

bool MessageBoxOpen();
// The topmost open message box; a record with an empty text and a null owner when none is open.
MessageBoxRecord OpenMessageBox();

// Every icon drawn with DrawIcon, in order.
struct IconDrawing {
    HWND window;
    int x, y;
    HICON icon;
};
const std::vector<IconDrawing> &IconDrawings();

// The client area of a minimised window, in pixels (36 x 36 unless set).
void SetMinimizedClientSize(int width, int height);

// ---- Acting as the user -------------------------------------------------------------------

// Keys as the dialog manager handles them on the window with the input (a message box when one
// is on top, else the active dialog): Tab and Shift-Tab move the focus among the tab stops,
// Enter presses the focused push button (or sends the default button's command, IDOK when
// there is none), Space presses the focused push button, Escape sends IDCANCEL. On a message
// box, Enter, Space and Escape answer it.
enum class Key { Tab, ShiftTab, Enter, Space, Escape };
void PressKey(Key key);
// A click on push button controlId of the active dialog: it takes the focus and its command
// (WM_COMMAND with BN_CLICKED) reaches the dialog.
void PressButton(int controlId);
// WM_COMMAND id to the active dialog, as the dialog manager sends IDOK and IDCANCEL.
void SendCommand(int id);
// The title bar's close button (or Alt+F4): WM_SYSCOMMAND SC_CLOSE to the active dialog.
void CloseWindow();
// WM_SYSCOMMAND id to the active dialog, as choosing that entry of its system menu does.
void ChooseSystemCommand(UINT id);
// Minimises the active dialog, or restores it when it is minimised (SC_MINIMIZE / SC_RESTORE).
void ToggleMinimized();
// Answers the topmost open message box.
void AnswerMessageBox(int answer = IDOK);
// Marks dialog as needing paint; it gets WM_PAINT when that message is dispatched.
void InvalidateWindow(HWND dialog);

// A message-box handler (sim::SetMessageBoxHandler) that shows the box as a modal window owned
// by box.owner (disabled meanwhile) and runs the message loop until AnswerMessageBox, or a key,
// answers it. When nothing can happen any more the box is taken as answered with OK.
int ModalMessageBox(const MessageBoxRecord &box);

// ---- The terminal display -----------------------------------------------------------------

struct TerminalOptions {
    // Each record appended to this file shows in the activity pane; "" for none.
    std::string tailFile = "Calls Received.txt";
    // Letters that press a push button of the active dialog, shown in the key help line.
    struct ButtonKey {
        int key;
        int controlId;
        std::string label;
    };
    std::vector<ButtonKey> buttonKeys = {{'s', 1000, "Start/Stop"}, {'x', 1001, "Exit"}};
    // false: no screen and no input source, for tests of the drawing and the keys.
    bool useScreen = true;
};

// Draws the dialogs, message boxes and an activity pane (every sim::Note and every new record
// of the tail file) on the terminal with ncurses, and makes the terminal the input source of the
// message loop (sim::SetInputSource), waiting on it until the next timer. Message boxes become
// modal windows (ModalMessageBox). The terminal is restored by StopTerminalUi, at exit and on a
// fatal signal. Call it after the simulated machine is set up (sim::Reset clears its hooks).
// False when the terminal cannot be used (not a terminal, unknown type); nothing is set then.
bool StartTerminalUi(const TerminalOptions &options = TerminalOptions());
void StopTerminalUi();

// Keys the terminal understands beyond plain characters (given to HandleTerminalKey).
enum : int {
    kTermKeyShiftTab = 0x10001,
    kTermKeyF4 = 0x10004,
    kTermKeyResize = 0x10100,
};
// What a key does on the terminal: Tab, Shift-Tab, Enter, Space and Escape as PressKey; Ctrl-C
// as Escape (IDCANCEL); on a dialog, the button keys, 'm' (minimise or restore), F4 (close) and
// the letter after "&" of each system-menu entry the program appended ('a' for "&About...");
// 'o' answers a message box. Returns false when the key does nothing.
bool HandleTerminalKey(int key);
// The screen as text, width x height, as the terminal would show it now.
std::vector<std::string> RenderTerminalText(int width, int height);
// The activity pane's lines, oldest first.
std::vector<std::string> ActivityLines();

// ---- Ending on a signal ---------------------------------------------------------------------

// SIGTERM and SIGHUP only set a flag; PollTermination (called by the terminal's wait, and by
// any other input source) then posts handler to the message queue, which is how the program
// ends in order (its Linux entry sets ShutdownAndExit). A null handler restores the defaults.
void SetTerminationHandler(std::function<void()> handler);
// Posts the termination handler if a signal has asked for it since the last call; true then.
bool PollTermination();

} // namespace sim

#endif
