// The simulated window system: modal dialogs made from the module's templates, their controls,
// focus and default button, the system menu, minimising, painting on demand, the dialog
// manager's keyboard handling and the default window and dialog procedures; message boxes as
// modal windows; string and icon resources; and the actions a user takes on all of these.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/resources.h"
#include "platform/sim/ui.h"

#include <iterator>
#include <map>

namespace sim {

namespace {

enum : uintptr_t {
    kModuleHandle = 0x400000, // where a Windows executable is loaded
    kFirstWindow = 0x10010,
    kFirstMenu = 0x20010,
    kFirstDc = 0x30010,
    kModuleIconBase = 0x50000,
    kSystemIconBase = 0x60000,
};
enum : int {
    kBaseUnitX = 6, // average character of 8-point MS Shell Dlg: 6 x 13 pixels
    kBaseUnitY = 13,
    kIconSize = 32,
    kSmallIconSize = 16,
    kScreenWidth = 1024,
    kScreenHeight = 768,
    kDefaultMinimizedSize = 36,
    kFirstSystemIcon = 32512, // IDI_APPLICATION
    kLastSystemIcon = 32518,
};
const UINT kSysCommandMask = 0xFFF0;

enum class Kind { Dialog, Control, Box };

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::string text;
};

struct Window {
    HWND handle = nullptr;
    Kind kind = Kind::Dialog;
    int templateId = 0;
    HWND parent = nullptr; // a control's dialog
    HWND owner = nullptr;  // a dialog's or a box's owner
    int id = 0;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int iconId = -1;
    int templateDefaultId = 0; // the template's default push button; 0 for none
    // The push button Enter presses: the template's, or the one the dialog manager last moved
    // the focus to. A click or SetFocus moves the focus without changing it.
    int defaultId = 0;
    DLGPROC proc = nullptr;
    std::vector<HWND> children;
    HWND focus = nullptr;
    bool iconic = false;
    int disabled = 0; // modal windows it owns that are open
    bool visible = false;
    bool ended = false;
    INT_PTR result = 0;
    HICON icons[2] = {nullptr, nullptr};
    HMENU sysMenu = nullptr;
    bool invalid = false;
    bool paintPosted = false;
    bool iconDrawn = false;
    std::string boxCaption; // a message box's caption (its text is text)
    bool answered = false;
    int answer = 0;
};

struct WindowSystem {
    std::map<uintptr_t, Window> windows;
    std::vector<HWND> zOrder; // open dialogs and boxes, bottom to top
    std::map<uintptr_t, std::vector<MenuItem>> menus;
    std::map<uintptr_t, HWND> paintDcs; // device contexts handed out by BeginPaint
    std::vector<IconDrawing> drawings;
    uintptr_t nextWindow = kFirstWindow;
    uintptr_t nextMenu = kFirstMenu;
    uintptr_t nextDc = kFirstDc;
    int minimizedWidth = kDefaultMinimizedSize;
    int minimizedHeight = kDefaultMinimizedSize;
};
WindowSystem &S() {
    static WindowSystem state;
    return state;
}

uint64_t H(const void *handle) {
    return (uint64_t)(uintptr_t)handle;
}

Window *Find(HWND h) {
    auto it = S().windows.find((uintptr_t)h);
    return it == S().windows.end() ? nullptr : &it->second;
}

Window *NewWindow(Kind kind) {
    HWND h = (HWND)S().nextWindow;
    S().nextWindow += 2;
    Window &w = S().windows[(uintptr_t)h];
    w.handle = h;
    w.kind = kind;
    return &w;
}

// The dialog or box a window belongs to.
HWND TopLevelOf(HWND h) {
    Window *w = Find(h);
    while (w && w->kind == Kind::Control)
        w = Find(w->parent);
    return w ? w->handle : nullptr;
}

bool IsPushButton(const Window *w) {
    return w && w->kind == Kind::Control && w->className == "Button" &&
           (w->style & 0xF) <= BS_DEFPUSHBUTTON;
}

bool ControlTakesInput(const Window *w) {
    return w && w->visible && !(w->style & WS_DISABLED);
}

HWND ItemOf(HWND dialog, int id) {
    Window *d = Find(dialog);
    if (!d)
        return nullptr;
    for (HWND child : d->children) {
        Window *c = Find(child);
        if (c && c->id == id)
            return child;
    }
    return nullptr;
}

int MulDivRounded(int value, int numerator, int denominator) {
    long long product = (long long)value * numerator;
    long long half = denominator / 2;
    return (int)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

// ---- Menus ----

std::vector<MenuItem> DefaultSystemMenu(DWORD style) {
    std::vector<MenuItem> items = {{MF_STRING, SC_RESTORE, "&Restore"},
                                   {MF_STRING, SC_MOVE, "&Move"}};
    if (style & WS_MINIMIZEBOX)
        items.push_back({MF_STRING, SC_MINIMIZE, "Mi&nimize"});
    if (style & WS_MAXIMIZEBOX)
        items.push_back({MF_STRING, SC_MAXIMIZE, "Ma&ximize"});
    items.push_back({MF_SEPARATOR, 0, ""});
    items.push_back({MF_STRING, SC_CLOSE, "&Close\tAlt+F4"});
    return items;
}

HMENU SystemMenuOf(Window *w) {
    if (!w->sysMenu) {
        w->sysMenu = (HMENU)S().nextMenu;
        S().nextMenu += 2;
        S().menus[(uintptr_t)w->sysMenu] = DefaultSystemMenu(w->style);
    }
    return w->sysMenu;
}

// ---- Window procedures ----

LRESULT Send(HWND h, UINT msg, WPARAM wParam, LPARAM lParam);

void Invalidate(HWND h) {
    Window *w = Find(h);
    if (!w)
        return;
    w->invalid = true;
    if (w->paintPosted)
        return;
    w->paintPosted = true;
    PostTask([h] {
        Window *w = Find(h);
        if (!w)
            return;
        w->paintPosted = false;
        if (!w->invalid || !w->visible)
            return;
        Send(h, WM_PAINT, 0, 0);
        if ((w = Find(h)) != nullptr)
            w->invalid = false; // a window that paints nothing is not asked again
    });
}

void SetIconic(HWND h, bool iconic) {
    Window *w = Find(h);
    if (!w || w->iconic == iconic)
        return;
    w->iconic = iconic;
    w->iconDrawn = false;
    Invalidate(h);
}

void DefaultSysCommand(HWND h, UINT command) {
    switch (command & kSysCommandMask) {
    case SC_CLOSE:
        Send(h, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        SetIconic(h, true);
        break;
    case SC_RESTORE:
        SetIconic(h, false);
        break;
    default: // moving, sizing and the rest change nothing the simulation shows
        break;
    }
}

int CopyText(const std::string &text, char *buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    int n = (int)text.size() < size - 1 ? (int)text.size() : size - 1;
    memcpy(buffer, text.data(), (size_t)n);
    buffer[n] = '\0';
    return n;
}

LRESULT DefaultWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Find(h);
    if (!w)
        return 0;
    switch (msg) {
    case WM_SETTEXT:
        w->text = lParam ? (const char *)lParam : "";
        return TRUE;
    case WM_GETTEXT:
        return CopyText(w->text, (char *)lParam, (int)wParam);
    case WM_GETTEXTLENGTH:
        return (LRESULT)w->text.size();
    case WM_SYSCOMMAND:
        DefaultSysCommand(h, (UINT)wParam);
        return 0;
    case WM_PAINT:
        w->invalid = false;
        w->iconDrawn = false;
        return 0;
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        return 1;
    case WM_SETICON: {
        int which = wParam == ICON_BIG ? 1 : 0;
        HICON previous = w->icons[which];
        w->icons[which] = (HICON)lParam;
        return (LRESULT)previous;
    }
    case WM_GETICON:
        return (LRESULT)w->icons[wParam == ICON_BIG ? 1 : 0];
    default:
        return 0;
    }
}

LRESULT DefaultDialogProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Find(h);
    if (!w)
        return 0;
    switch (msg) {
    case WM_CLOSE: {
        // A dialog's close is its Cancel, as the dialog manager turns it.
        HWND cancel = ItemOf(h, IDCANCEL);
        PostTask([h, cancel] {
            if (Find(h))
                Send(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
        });
        return 0;
    }
    case DM_GETDEFID:
        return w->defaultId ? MAKELONG(w->defaultId, DC_HASDEFID) : 0;
    default:
        return DefaultWindowProc(h, msg, wParam, lParam);
    }
}

// The few messages whose result a dialog procedure returns itself.
bool ResultIsDirect(UINT msg) {
    return msg == WM_INITDIALOG || msg == WM_QUERYDRAGICON;
}

LRESULT DialogWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Find(h);
    DLGPROC proc = w ? w->proc : nullptr;
    INT_PTR handled = proc ? proc(h, msg, wParam, lParam) : FALSE;
    if (handled)
        return ResultIsDirect(msg) ? handled : 0;
    return DefaultDialogProc(h, msg, wParam, lParam);
}

LRESULT ControlWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Find(h);
    if (msg == BM_CLICK && IsPushButton(w)) {
        Send(w->parent, WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED), (LPARAM)h);
        return 0;
    }
    return DefaultWindowProc(h, msg, wParam, lParam);
}

LRESULT Send(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Find(h);
    if (!w)
        return 0;
    switch (w->kind) {
    case Kind::Dialog:
        return DialogWindowProc(h, msg, wParam, lParam);
    case Kind::Control:
        return ControlWindowProc(h, msg, wParam, lParam);
    default:
        return DefaultWindowProc(h, msg, wParam, lParam);
    }
}

// ---- Dialogs ----

const DialogTemplate *FindTemplate(HINSTANCE instance, LPCSTR name) {
    if ((instance && (uintptr_t)instance != kModuleHandle) || !IS_INTRESOURCE(name))
        return nullptr;
    const auto &dialogs = ModuleResources().dialogs;
    auto it = dialogs.find((int)(uintptr_t)name);
    return it == dialogs.end() ? nullptr : &it->second;
}

// Styles, position and size as the template gives them, for a dialog or one of its controls.
template <typename Template> void Place(Window *w, const Template &t) {
    w->style = t.style;
    w->exStyle = t.exStyle;
    w->x = t.x;
    w->y = t.y;
    w->cx = t.cx;
    w->cy = t.cy;
}

void AddControl(Window *dialog, const ControlTemplate &t) {
    HWND parent = dialog->handle;
    Window *c = NewWindow(Kind::Control);
    c->parent = parent;
    c->id = t.id;
    c->className = t.className;
    c->text = t.text;
    Place(c, t);
    c->iconId = (t.style & 0xF) == SS_ICON && t.className == "Static" ? t.textId : -1;
    c->visible = (t.style & WS_VISIBLE) != 0;
    HWND handle = c->handle;
    dialog = Find(parent); // the map may have moved nothing, but stay on the safe side
    dialog->children.push_back(handle);
    if (IsPushButton(c) && (t.style & 0xF) == BS_DEFPUSHBUTTON && !dialog->templateDefaultId)
        dialog->templateDefaultId = dialog->defaultId = t.id;
}

HWND CreateDialogWindow(const DialogTemplate &t, HWND owner, DLGPROC proc) {
    Window *d = NewWindow(Kind::Dialog);
    d->templateId = t.id;
    d->owner = owner;
    d->text = t.caption;
    Place(d, t);
    d->proc = proc;
    HWND h = d->handle;
    for (const ControlTemplate &c : t.controls)
        AddControl(Find(h), c);
    S().zOrder.push_back(h);
    return h;
}

std::vector<HWND> TabStops(HWND dialog) {
    std::vector<HWND> stops;
    Window *d = Find(dialog);
    if (!d)
        return stops;
    for (HWND child : d->children) {
        Window *c = Find(child);
        if (c && (c->style & WS_TABSTOP) && ControlTakesInput(c))
            stops.push_back(child);
    }
    return stops;
}

void SetFocusTo(HWND dialog, HWND control) {
    Window *d = Find(dialog);
    if (d)
        d->focus = control;
}

void MoveFocus(HWND dialog, bool forward) {
    Window *d = Find(dialog);
    std::vector<HWND> stops = TabStops(dialog);
    if (!d || stops.empty())
        return;
    size_t at = stops.size();
    for (size_t i = 0; i < stops.size(); i++)
        if (stops[i] == d->focus)
            at = i;
    size_t next;
    if (at == stops.size())
        next = forward ? 0 : stops.size() - 1;
    else
        next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    d->focus = stops[next];
    // Moving onto a push button makes it the default; onto anything else restores the
    // template's default.
    Window *c = Find(d->focus);
    d->defaultId = IsPushButton(c) ? c->id : d->templateDefaultId;
}

void Disable(HWND h, int delta) {
    Window *w = Find(h);
    if (w)
        w->disabled += delta;
}

void Destroy(HWND h) {
    Window *w = Find(h);
    if (!w)
        return;
    if (w->kind == Kind::Dialog) {
        Send(h, WM_DESTROY, 0, 0);
        Send(h, WM_NCDESTROY, 0, 0);
        if ((w = Find(h)) == nullptr)
            return;
    }
    for (HWND child : w->children)
        S().windows.erase((uintptr_t)child);
    if (w->sysMenu)
        S().menus.erase((uintptr_t)w->sysMenu);
    for (auto it = S().paintDcs.begin(); it != S().paintDcs.end();)
        it = it->second == h ? S().paintDcs.erase(it) : std::next(it);
    auto &z = S().zOrder;
    for (auto it = z.begin(); it != z.end();)
        it = *it == h ? z.erase(it) : std::next(it);
    S().windows.erase((uintptr_t)h);
}

bool DialogEnded(HWND h) {
    Window *w = Find(h);
    return !w || w->ended;
}

// Creation is done; WM_INITDIALOG, the owner disabled, shown, and the loop until EndDialog.
INT_PTR RunModal(HWND h, HWND owner, LPARAM param) {
    std::vector<HWND> stops = TabStops(h);
    HWND first = stops.empty() ? nullptr : stops[0];
    LRESULT setFocus = Send(h, WM_INITDIALOG, (WPARAM)first, param);
    Window *w = Find(h);
    if (w && setFocus && first && Find(first))
        w->focus = first;
    Disable(owner, +1);
    if (w && !w->ended) {
        w->visible = true;
        Invalidate(h);
        RunMessageLoop([h] { return DialogEnded(h); });
    }
    w = Find(h);
    INT_PTR result = w && w->ended ? w->result : -1;
    Disable(owner, -1);
    Destroy(h);
    return result;
}

// ---- Input ----

// The window the keyboard talks to: the topmost open window.
HWND InputWindow() {
    const auto &z = S().zOrder;
    for (size_t i = z.size(); i-- > 0;) {
        Window *w = Find(z[i]);
        if (w && w->visible)
            return w->disabled ? nullptr : w->handle;
    }
    return nullptr;
}

void Answer(HWND box, int answer) {
    Window *w = Find(box);
    if (w && w->kind == Kind::Box && !w->answered) {
        w->answered = true;
        w->answer = answer;
    }
}

void ClickButton(HWND dialog, HWND button) {
    SetFocusTo(dialog, button);
    Send(button, BM_CLICK, 0, 0);
}

// Enter presses the default push button, which is not always the focused one: after a click
// the focus is on the clicked button but the default stays where it was. Without a default it
// is the dialog's IDOK.
void DialogEnter(HWND h) {
    LRESULT def = Send(h, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID) {
        HWND item = ItemOf(h, LOWORD(def));
        if (!item || ControlTakesInput(Find(item)))
            Send(h, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED), (LPARAM)item);
        return;
    }
    Send(h, WM_COMMAND, IDOK, (LPARAM)ItemOf(h, IDOK));
}

void DialogKey(HWND h, Key key) {
    Window *d = Find(h);
    switch (key) {
    case Key::Tab:
    case Key::ShiftTab:
        MoveFocus(h, key == Key::Tab);
        break;
    case Key::Enter:
        DialogEnter(h);
        break;
    case Key::Space: {
        Window *focus = d ? Find(d->focus) : nullptr;
        if (IsPushButton(focus) && ControlTakesInput(focus))
            Send(h, WM_COMMAND, MAKEWPARAM(focus->id, BN_CLICKED), (LPARAM)focus->handle);
        break;
    }
    case Key::Escape:
        Send(h, WM_COMMAND, IDCANCEL, (LPARAM)ItemOf(h, IDCANCEL));
        break;
    }
}

void DoKey(Key key) {
    HWND h = InputWindow();
    Window *w = Find(h);
    if (!w)
        return;
    if (w->kind == Kind::Box) {
        if (key == Key::Enter || key == Key::Space || key == Key::Escape)
            Answer(h, IDOK); // an OK-only box answers OK to Escape as well
        return;
    }
    DialogKey(h, key);
}

// Runs action on the active dialog when the posted message is dispatched.
void OnActiveDialog(std::function<void(HWND)> action) {
    PostTask([action] {
        HWND h = ActiveDialog();
        if (h)
            action(h);
    });
}

WindowView ViewOf(const Window &w) {
    WindowView v{};
    v.handle = w.handle;
    v.isMessageBox = w.kind == Kind::Box;
    v.templateId = w.templateId;
    v.caption = w.kind == Kind::Box ? w.boxCaption : w.text;
    v.text = w.kind == Kind::Box ? w.text : "";
    v.style = w.style;
    v.owner = w.owner;
    v.x = w.x;
    v.y = w.y;
    v.cx = w.cx;
    v.cy = w.cy;
    v.visible = w.visible;
    v.enabled = w.disabled == 0;
    v.minimized = w.iconic;
    v.iconDrawn = w.iconDrawn;
    HWND defaultButton = w.defaultId ? ItemOf(w.handle, w.defaultId) : nullptr;
    for (HWND child : w.children) {
        Window *c = Find(child);
        if (!c)
            continue;
        v.controls.push_back(ControlView{child, c->id, c->className, c->text, c->style, c->x, c->y,
                                         c->cx, c->cy, c->iconId, child == w.focus,
                                         child == defaultButton});
    }
    return v;
}

} // namespace

// ---- Looking at the windows ----

std::vector<WindowView> TopLevelWindows() {
    std::vector<WindowView> views;
    for (HWND h : S().zOrder) {
        Window *w = Find(h);
        if (w && !w->ended)
            views.push_back(ViewOf(*w));
    }
    return views;
}

HWND ActiveDialog() {
    const auto &z = S().zOrder;
    for (size_t i = z.size(); i-- > 0;) {
        Window *w = Find(z[i]);
        if (w && w->kind == Kind::Dialog && w->visible && !w->ended)
            return w->disabled ? nullptr : w->handle;
    }
    return nullptr;
}

HWND FindDialog(int templateId) {
    const auto &z = S().zOrder;
    for (size_t i = z.size(); i-- > 0;) {
        Window *w = Find(z[i]);
        if (w && w->kind == Kind::Dialog && w->templateId == templateId && !w->ended)
            return w->handle;
    }
    return nullptr;
}

bool DialogOpen(int templateId) {
    return FindDialog(templateId) != nullptr;
}

static Window *DialogOrActive(HWND dialog) {
    return Find(dialog ? dialog : ActiveDialog());
}

std::string ControlText(int controlId, HWND dialog) {
    Window *d = DialogOrActive(dialog);
    Window *c = d ? Find(ItemOf(d->handle, controlId)) : nullptr;
    return c ? c->text : "";
}

int FocusedControlId(HWND dialog) {
    Window *d = DialogOrActive(dialog);
    Window *c = d ? Find(d->focus) : nullptr;
    return c ? c->id : 0;
}

bool IsMinimized(HWND dialog) {
    Window *d = DialogOrActive(dialog);
    return d && d->iconic;
}

std::vector<MenuItemView> SystemMenuItems(HWND dialog) {
    std::vector<MenuItemView> items;
    Window *d = DialogOrActive(dialog);
    if (!d || d->kind != Kind::Dialog || !(d->style & WS_SYSMENU))
        return items;
    std::vector<MenuItem> menu =
        d->sysMenu ? S().menus[(uintptr_t)d->sysMenu] : DefaultSystemMenu(d->style);
    for (const MenuItem &m : menu) {
        bool grayed = (m.flags & (MF_GRAYED | MF_DISABLED)) != 0 ||
                      (m.id == SC_RESTORE && !d->iconic) || (m.id == SC_MINIMIZE && d->iconic);
        items.push_back(MenuItemView{m.id, m.text, (m.flags & MF_SEPARATOR) != 0, grayed});
    }
    return items;
}

bool MessageBoxOpen() {
    for (HWND h : S().zOrder) {
        Window *w = Find(h);
        if (w && w->kind == Kind::Box && !w->answered)
            return true;
    }
    return false;
}

MessageBoxRecord OpenMessageBox() {
    const auto &z = S().zOrder;
    for (size_t i = z.size(); i-- > 0;) {
        Window *w = Find(z[i]);
        if (w && w->kind == Kind::Box && !w->answered)
            return MessageBoxRecord{w->owner, w->text, w->boxCaption, (UINT)w->style};
    }
    return MessageBoxRecord{nullptr, "", "", 0};
}

const std::vector<IconDrawing> &IconDrawings() {
    return S().drawings;
}

void SetMinimizedClientSize(int width, int height) {
    S().minimizedWidth = width;
    S().minimizedHeight = height;
}

// ---- Acting as the user ----

void PressKey(Key key) {
    PostTask([key] { DoKey(key); });
}

void PressButton(int controlId) {
    OnActiveDialog([controlId](HWND h) {
        HWND button = ItemOf(h, controlId);
        Window *b = Find(button);
        if (IsPushButton(b) && ControlTakesInput(b))
            ClickButton(h, button);
    });
}

void SendCommand(int id) {
    OnActiveDialog([id](HWND h) { Send(h, WM_COMMAND, (WPARAM)id, (LPARAM)ItemOf(h, id)); });
}

void CloseWindow() {
    ChooseSystemCommand(SC_CLOSE);
}

void ChooseSystemCommand(UINT id) {
    OnActiveDialog([id](HWND h) { Send(h, WM_SYSCOMMAND, id, 0); });
}

void ToggleMinimized() {
    OnActiveDialog([](HWND h) {
        Window *w = Find(h);
        if (w->iconic)
            Send(h, WM_SYSCOMMAND, SC_RESTORE, 0);
        else if (w->style & WS_MINIMIZEBOX)
            Send(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    });
}

void AnswerMessageBox(int answer) {
    PostTask([answer] {
        const auto &z = S().zOrder;
        for (size_t i = z.size(); i-- > 0;) {
            Window *w = Find(z[i]);
            if (w && w->kind == Kind::Box && !w->answered) {
                Answer(w->handle, answer);
                return;
            }
        }
    });
}

void InvalidateWindow(HWND dialog) {
    Invalidate(dialog);
}

int ModalMessageBox(const MessageBoxRecord &box) {
    HWND owner = TopLevelOf(box.owner);
    Window *w = NewWindow(Kind::Box);
    w->owner = owner;
    w->text = box.text;
    w->boxCaption = box.caption;
    w->style = box.style;
    w->visible = true;
    HWND h = w->handle;
    S().zOrder.push_back(h);
    Disable(owner, +1);
    RunMessageLoop([h] {
        Window *w = Find(h);
        return !w || w->answered;
    });
    w = Find(h);
    int answer = w && w->answered ? w->answer : IDOK;
    Disable(owner, -1);
    Destroy(h);
    return answer;
}

void ResetWindows() {
    S() = WindowSystem();
}

} // namespace sim

// ---- The platform functions -----------------------------------------------------------------

using sim::Enter;
using sim::FailWith;
using sim::Finish;
using sim::H;
using sim::Ptr;

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    int64_t r;
    if (Enter("GetModuleHandleA", {}, lpModuleName, &r))
        return FailWith<HMODULE>(r);
    if (lpModuleName) {
        uintptr_t system = sim::SystemModuleHandle(lpModuleName);
        if (!system)
            SetLastError(ERROR_MOD_NOT_FOUND);
        return (HMODULE)(uintptr_t)Finish((int64_t)system);
    }
    return (HMODULE)(uintptr_t)Finish(sim::kModuleHandle);
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    int64_t r;
    if (Enter("LoadStringA", {H(hInstance), uID, (uint64_t)(int64_t)cchBufferMax}, NULL, &r)) {
        sim::CopyText("", lpBuffer, cchBufferMax);
        return (int)Finish(r);
    }
    const auto &strings = sim::ModuleResources().strings;
    auto it = strings.find((int)uID);
    bool ours = !hInstance || (uintptr_t)hInstance == sim::kModuleHandle;
    if (!ours || it == strings.end()) {
        sim::CopyText("", lpBuffer, cchBufferMax);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return (int)Finish(0);
    }
    return (int)Finish(sim::CopyText(it->second, lpBuffer, cchBufferMax));
}

// Icons have no pictures here: every ordinal of the module, and the system's own icons, give a
// handle that the terminal draws as the program's small picture.
static HICON LoadIconOrdinal(const char *function, HINSTANCE hInstance, const void *name) {
    int64_t r;
    uintptr_t ordinal = IS_INTRESOURCE(name) ? (uintptr_t)name : 0;
    if (Enter(function, {H(hInstance), ordinal}, NULL, &r))
        return FailWith<HICON>(r);
    if (ordinal && (uintptr_t)hInstance == sim::kModuleHandle)
        return (HICON)(uintptr_t)Finish(sim::kModuleIconBase + ordinal);
    if (!hInstance && ordinal >= sim::kFirstSystemIcon && ordinal <= sim::kLastSystemIcon)
        return (HICON)(uintptr_t)Finish(sim::kSystemIconBase + ordinal);
    SetLastError(ordinal ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return (HICON)(uintptr_t)Finish(0);
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    return LoadIconOrdinal("LoadIconA", hInstance, lpIconName);
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    return LoadIconOrdinal("LoadIconW", hInstance, lpIconName);
}

void WINAPI InitCommonControls(void) {
    int64_t r;
    Enter("InitCommonControls", {}, NULL, &r);
    Finish(0);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    int64_t r;
    uintptr_t ordinal = IS_INTRESOURCE(lpTemplateName) ? (uintptr_t)lpTemplateName : 0;
    if (Enter("DialogBoxParamA",
              {H(hInstance), ordinal, H(hWndParent), Ptr(lpDialogFunc), dwInitParam ? 1u : 0u},
              NULL, &r))
        return (INT_PTR)Finish(r);
    const sim::DialogTemplate *t = sim::FindTemplate(hInstance, lpTemplateName);
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return (INT_PTR)Finish(-1);
    }
    if (hWndParent && !sim::Find(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (INT_PTR)Finish(-1);
    }
    HWND owner = sim::TopLevelOf(hWndParent);
    HWND h = sim::CreateDialogWindow(*t, owner, lpDialogFunc);
    return (INT_PTR)Finish(sim::RunModal(h, owner, dwInitParam));
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    int64_t r;
    if (Enter("EndDialog", {H(hDlg), (uint64_t)(int64_t)nResult}, NULL, &r))
        return FailWith<BOOL>(r);
    sim::Window *w = sim::Find(hDlg);
    if (!w || w->kind != sim::Kind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    w->ended = true;
    w->result = nResult;
    w->visible = false;
    return (BOOL)Finish(TRUE);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    int64_t r;
    if (Enter("GetDlgItem", {H(hDlg), (uint64_t)(int64_t)nIDDlgItem}, NULL, &r))
        return FailWith<HWND>(r);
    if (!sim::Find(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (HWND)(uintptr_t)Finish(0);
    }
    HWND item = sim::ItemOf(hDlg, nIDDlgItem);
    if (!item)
        SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return (HWND)(uintptr_t)Finish(H(item));
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    int64_t r;
    if (Enter("GetDlgCtrlID", {H(hWnd)}, NULL, &r))
        return (int)Finish(r);
    sim::Window *w = sim::Find(hWnd);
    if (!w || w->kind != sim::Kind::Control) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (int)Finish(0);
    }
    return (int)Finish(w->id);
}

BOOL WINAPI IsWindow(HWND hWnd) {
    int64_t r;
    if (Enter("IsWindow", {H(hWnd)}, NULL, &r))
        return (BOOL)Finish(r);
    return (BOOL)Finish(sim::Find(hWnd) != nullptr);
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    int64_t r;
    if (Enter("GetWindowTextA", {H(hWnd), (uint64_t)(int64_t)nMaxCount}, NULL, &r)) {
        sim::CopyText("", lpString, nMaxCount);
        return (int)Finish(r);
    }
    if (!sim::Find(hWnd)) {
        sim::CopyText("", lpString, nMaxCount);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (int)Finish(0);
    }
    if (!lpString || nMaxCount <= 0)
        return (int)Finish(0);
    return (int)Finish(sim::Send(hWnd, WM_GETTEXT, (WPARAM)nMaxCount, (LPARAM)lpString));
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    int64_t r;
    if (Enter("SetWindowTextA", {H(hWnd)}, lpString, &r))
        return FailWith<BOOL>(r);
    if (!sim::Find(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    sim::Send(hWnd, WM_SETTEXT, 0, (LPARAM)lpString);
    return (BOOL)Finish(TRUE);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    int64_t r;
    if (Enter("SendMessageA", {H(hWnd), Msg, (uint64_t)wParam, (uint64_t)lParam}, NULL, &r))
        return (LRESULT)Finish(r);
    return (LRESULT)Finish(sim::Send(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    int64_t r;
    if (Enter("PostMessageA", {H(hWnd), Msg, (uint64_t)wParam, (uint64_t)lParam}, NULL, &r))
        return FailWith<BOOL>(r);
    if (!sim::Find(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    sim::PostTask([hWnd, Msg, wParam, lParam] { sim::Send(hWnd, Msg, wParam, lParam); });
    return (BOOL)Finish(TRUE);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    int64_t r;
    if (Enter("DefWindowProcA", {H(hWnd), Msg, (uint64_t)wParam, (uint64_t)lParam}, NULL, &r))
        return (LRESULT)Finish(r);
    return (LRESULT)Finish(sim::DefaultWindowProc(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI IsIconic(HWND hWnd) {
    int64_t r;
    if (Enter("IsIconic", {H(hWnd)}, NULL, &r))
        return (BOOL)Finish(r);
    sim::Window *w = sim::Find(hWnd);
    return (BOOL)Finish(w && w->iconic);
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    int64_t r;
    if (Enter("GetClientRect", {H(hWnd), Ptr(lpRect)}, NULL, &r))
        return FailWith<BOOL>(r);
    sim::Window *w = sim::Find(hWnd);
    if (!w || !lpRect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    lpRect->left = lpRect->top = 0;
    if (w->iconic) {
        lpRect->right = sim::S().minimizedWidth;
        lpRect->bottom = sim::S().minimizedHeight;
    } else {
        lpRect->right = sim::MulDivRounded(w->cx, sim::kBaseUnitX, 4);
        lpRect->bottom = sim::MulDivRounded(w->cy, sim::kBaseUnitY, 8);
    }
    return (BOOL)Finish(TRUE);
}

int WINAPI GetSystemMetrics(int nIndex) {
    int64_t r;
    if (Enter("GetSystemMetrics", {(uint64_t)(int64_t)nIndex}, NULL, &r))
        return (int)Finish(r);
    switch (nIndex) {
    case SM_CXSCREEN:
        return (int)Finish(sim::kScreenWidth);
    case SM_CYSCREEN:
        return (int)Finish(sim::kScreenHeight);
    case SM_CXICON:
    case SM_CYICON:
        return (int)Finish(sim::kIconSize);
    case SM_CXSMICON:
    case SM_CYSMICON:
        return (int)Finish(sim::kSmallIconSize);
    default:
        return (int)Finish(0);
    }
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
    int64_t r;
    if (Enter("GetSystemMenu", {H(hWnd), (uint64_t)bRevert}, NULL, &r))
        return FailWith<HMENU>(r);
    sim::Window *w = sim::Find(hWnd);
    if (!w || w->kind == sim::Kind::Control || !(w->style & WS_SYSMENU)) {
        SetLastError(w ? ERROR_INVALID_MENU_HANDLE : ERROR_INVALID_WINDOW_HANDLE);
        return (HMENU)(uintptr_t)Finish(0);
    }
    if (bRevert) {
        if (w->sysMenu)
            sim::S().menus[(uintptr_t)w->sysMenu] = sim::DefaultSystemMenu(w->style);
        return (HMENU)(uintptr_t)Finish(0);
    }
    return (HMENU)(uintptr_t)Finish(H(sim::SystemMenuOf(w)));
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
    int64_t r;
    bool separator = (uFlags & MF_SEPARATOR) != 0;
    if (Enter("AppendMenuA", {H(hMenu), uFlags, (uint64_t)uIDNewItem}, separator ? NULL : lpNewItem,
              &r))
        return FailWith<BOOL>(r);
    auto it = sim::S().menus.find((uintptr_t)hMenu);
    if (it == sim::S().menus.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    if (!separator && !lpNewItem) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return (BOOL)Finish(FALSE);
    }
    it->second.push_back(
        sim::MenuItem{uFlags, separator ? 0 : uIDNewItem, separator ? "" : std::string(lpNewItem)});
    return (BOOL)Finish(TRUE);
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    int64_t r;
    if (Enter("BeginPaint", {H(hWnd), Ptr(lpPaint)}, NULL, &r))
        return FailWith<HDC>(r);
    sim::Window *w = sim::Find(hWnd);
    if (!w || !lpPaint) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return (HDC)(uintptr_t)Finish(0);
    }
    HDC dc = (HDC)sim::S().nextDc;
    sim::S().nextDc += 2;
    sim::S().paintDcs[(uintptr_t)dc] = hWnd;
    memset(lpPaint, 0, sizeof *lpPaint);
    lpPaint->hdc = dc;
    lpPaint->fErase = TRUE;
    w->invalid = false;
    w->iconDrawn = false;
    return (HDC)(uintptr_t)Finish(H(dc));
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint) {
    int64_t r;
    if (Enter("EndPaint", {H(hWnd), lpPaint ? H(lpPaint->hdc) : 0}, NULL, &r))
        return FailWith<BOOL>(r);
    if (lpPaint) {
        auto it = sim::S().paintDcs.find((uintptr_t)lpPaint->hdc);
        if (it != sim::S().paintDcs.end() && it->second == hWnd)
            sim::S().paintDcs.erase(it);
    }
    return (BOOL)Finish(TRUE);
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    int64_t r;
    if (Enter("DrawIcon", {H(hDC), (uint64_t)(int64_t)X, (uint64_t)(int64_t)Y, H(hIcon)}, NULL, &r))
        return FailWith<BOOL>(r);
    auto it = sim::S().paintDcs.find((uintptr_t)hDC);
    if (it == sim::S().paintDcs.end() || !hIcon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return (BOOL)Finish(FALSE);
    }
    sim::S().drawings.push_back(sim::IconDrawing{it->second, X, Y, hIcon});
    if (sim::Window *w = sim::Find(it->second))
        w->iconDrawn = true;
    return (BOOL)Finish(TRUE);
}
