// The terminal display of the simulated window system: the open dialogs and message boxes
// drawn from their views onto a grid of cells, an activity pane with the machine's notes and
// the new records of a log file, a key help line; ncurses shows the grid and reads the keys,
// waiting on the terminal as the message loop's input source. Also the termination signals and
// the restoring of the terminal on every way out.
#include "platform/sim/internal.h"
#include "platform/sim/ui.h"

#define NCURSES_NOMACROS // the library's functions, not macros that clash with member names
#include <algorithm>
#include <ctype.h>
#include <curses.h>
#include <deque>
#include <map>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

enum : int {
    kDluPerColumn = 3, // dialog units per terminal cell, across
    kDluPerRow = 8,    // and down
    kMaxActivity = 500,
    kIdlePollMs = 250, // how often an idle wait looks at the tail file
    kBoxTextWidth = 68,
    kMinPaneRows = 3,
    kRestoreTextSize = 64,
    kEmptyReadsForEof = 64, // readable with nothing to read this often: the terminal is gone
};

// ---- The grid ----

enum : int { kAttrBold = 1, kAttrReverse = 2 };
// Line-drawing cells: shown as the terminal's lines, as + - | in text.
enum : char { kHLine = 1, kVLine, kUpperLeft, kUpperRight, kLowerLeft, kLowerRight };

struct Cell {
    char ch;
    int attr;
};

char PlainChar(char ch) {
    static const char kPlain[] = " -|++++";
    return ch > 0 && ch <= kLowerRight ? kPlain[(int)ch] : ch;
}

class Canvas {
  public:
    Canvas(int width, int height)
        : width_(width), height_(height), cells_((size_t)(width * height), Cell{' ', 0}) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Put(int row, int col, char ch, int attr = 0) {
        if (row >= 0 && row < height_ && col >= 0 && col < width_)
            cells_[(size_t)(row * width_ + col)] = Cell{ch, attr};
    }
    void Text(int row, int col, const std::string &text, int attr = 0, int maxWidth = -1) {
        int n = (int)text.size();
        if (maxWidth >= 0 && n > maxWidth)
            n = maxWidth;
        for (int i = 0; i < n; i++)
            Put(row, col + i, text[(size_t)i], attr);
    }
    void Fill(int row, int col, int rows, int cols, int attr = 0) {
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < cols; c++)
                Put(row + r, col + c, ' ', attr);
    }
    void Frame(int row, int col, int rows, int cols) {
        Fill(row, col, rows, cols);
        for (int c = 1; c < cols - 1; c++) {
            Put(row, col + c, kHLine);
            Put(row + rows - 1, col + c, kHLine);
        }
        for (int r = 1; r < rows - 1; r++) {
            Put(row + r, col, kVLine);
            Put(row + r, col + cols - 1, kVLine);
        }
        Put(row, col, kUpperLeft);
        Put(row, col + cols - 1, kUpperRight);
        Put(row + rows - 1, col, kLowerLeft);
        Put(row + rows - 1, col + cols - 1, kLowerRight);
    }
    const Cell &At(int row, int col) const { return cells_[(size_t)(row * width_ + col)]; }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int r = 0; r < height_; r++) {
            std::string line;
            for (int c = 0; c < width_; c++) {
                char ch = At(r, c).ch;
                line += PlainChar(ch);
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

  private:
    int width_, height_;
    std::vector<Cell> cells_;
};

// ---- The terminal's state ----

struct Terminal {
    TerminalOptions options;
    int generation = 0; // the note listener of an earlier start stays quiet
    bool started = false;
    bool screen = false;
    std::deque<std::string> activity;
    std::string tailPath;
    off_t tailOffset = 0;
    std::string tailPartial;
    int emptyReads = 0;
};
Terminal &T() {
    static Terminal state;
    return state;
}

volatile sig_atomic_t terminationRequested = 0;
volatile sig_atomic_t interruptRequested = 0;
std::function<void()> terminationHandler;

// For restoring the terminal from a signal handler: saved before drawing began.
struct termios savedTermios;
bool haveSavedTermios = false;
char restoreText[kRestoreTextSize];
size_t restoreLength = 0;

std::string ClockText() {
    time_t now = (time_t)WallClockSeconds();
    struct tm local;
    char text[16] = "";
    if (localtime_r(&now, &local))
        strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

void AddActivity(const std::string &line) {
    T().activity.push_back(ClockText() + "  " + line);
    while (T().activity.size() > kMaxActivity)
        T().activity.pop_front();
}

// ---- What is drawn ----

// Text as a control shows it: "&" marks the next letter (drawn plain), "&&" is one "&".
std::string WithoutMnemonics(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&' && i + 1 < text.size())
            i++;
        out += text[i];
    }
    return out;
}

char MnemonicOf(const std::string &text) {
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if (text[i] == '&') {
            if (text[i + 1] != '&')
                return (char)tolower((unsigned char)text[i + 1]);
            i++;
        }
    }
    return 0;
}

// The program's icon as a small picture: a telephone.
const char *const kIconPicture[] = {".-==-.", "|_##_|"};
const int kIconRows = 2;
const int kIconCols = 6;

struct Placement {
    int row, col, rows, cols; // outer frame; the client area starts at row + 2, col + 1
};

int ClientCols(const WindowView &w) {
    return w.cx / kDluPerColumn;
}
int ClientRows(const WindowView &w) {
    return (w.cy + kDluPerRow - 1) / kDluPerRow;
}

Placement PlaceDialog(const WindowView &w, const std::map<HWND, Placement> &placed, int width) {
    Placement p{w.y / kDluPerRow, w.x / kDluPerColumn, ClientRows(w) + 3, ClientCols(w) + 2};
    auto owner = placed.find(w.owner);
    if (owner != placed.end()) { // an owned dialog sits on its owner's client area
        p.row += owner->second.row + 2;
        p.col += owner->second.col + 1;
    }
    if (w.minimized)
        p = Placement{p.row, p.col, 4, std::max(kIconCols + 4, (int)w.caption.size() + 4)};
    if (p.col + p.cols > width)
        p.col = std::max(0, width - p.cols);
    return p;
}

void DrawCaptionBar(Canvas &canvas, const Placement &p, const std::string &caption, DWORD style,
                    bool active, bool isBox) {
    int attr = active ? kAttrReverse : 0;
    canvas.Fill(p.row + 1, p.col + 1, 1, p.cols - 2, attr);
    canvas.Text(p.row + 1, p.col + 2, caption, attr | kAttrBold, p.cols - 10);
    std::string buttons;
    if (!isBox && (style & WS_MINIMIZEBOX))
        buttons += "_ ";
    if (isBox || (style & WS_SYSMENU))
        buttons += "X";
    canvas.Text(p.row + 1, p.col + p.cols - 2 - (int)buttons.size(), buttons, attr);
}

std::string ButtonFace(const std::string &text, bool focused, int cols) {
    std::string face = WithoutMnemonics(text);
    std::string open = focused ? "[>" : "[ ", close = focused ? "<]" : " ]";
    if ((int)face.size() + 4 > cols) {
        open = focused ? ">" : "[";
        close = focused ? "<" : "]";
    }
    int room = std::max(0, cols - (int)open.size() - (int)close.size());
    if ((int)face.size() > room)
        face.resize((size_t)room);
    return open + face + close;
}

void DrawControl(Canvas &canvas, int top, int left, const ControlView &c, bool active) {
    int row = top + c.y / kDluPerRow;
    int col = left + c.x / kDluPerColumn;
    int cols = std::max(1, c.cx / kDluPerColumn);
    if (c.className == "Button") {
        std::string face = ButtonFace(c.text, c.focused && active, cols);
        int attr = (c.focused && active ? kAttrReverse : 0) | (c.isDefault ? kAttrBold : 0);
        int middle = top + (c.y + c.cy / 2) / kDluPerRow;
        canvas.Text(middle, col + (cols - (int)face.size()) / 2, face, attr);
    } else if (c.className == "Static" && (c.style & 0xF) == SS_ICON) {
        for (int r = 0; r < kIconRows; r++)
            canvas.Text(row + r, col, kIconPicture[r], 0, cols);
    } else {
        bool prefix = !(c.style & SS_NOPREFIX);
        canvas.Text(row, col, prefix ? WithoutMnemonics(c.text) : c.text, 0, cols);
    }
}

void DrawDialog(Canvas &canvas, const WindowView &w, const Placement &p, bool active) {
    canvas.Frame(p.row, p.col, p.rows, p.cols);
    if (w.minimized) {
        if (w.iconDrawn)
            for (int r = 0; r < kIconRows; r++)
                canvas.Text(p.row + 1 + r, p.col + 2, kIconPicture[r]);
        canvas.Text(p.row + p.rows - 1, p.col + 2, w.caption, active ? kAttrReverse : 0,
                    p.cols - 4);
        return;
    }
    DrawCaptionBar(canvas, p, w.caption, w.style, active, false);
    for (const ControlView &c : w.controls)
        DrawControl(canvas, p.row + 2, p.col + 1, c, active);
}

std::vector<std::string> WrapLines(const std::string &text, int width) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        do {
            lines.push_back(line.substr(0, (size_t)width));
            line = line.size() > (size_t)width ? line.substr((size_t)width) : "";
        } while (!line.empty());
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

void DrawMessageBox(Canvas &canvas, const WindowView &w, bool active, int areaRows) {
    bool icon = (w.style & MB_ICONERROR) != 0;
    int textWidth = std::max(10, std::min((int)kBoxTextWidth, canvas.Width() - 12));
    std::vector<std::string> lines = WrapLines(w.text, textWidth);
    int longest = (int)w.caption.size() + 4;
    for (const std::string &line : lines)
        longest = std::max(longest, (int)line.size());
    int cols = std::min(canvas.Width(), longest + (icon ? 6 : 0) + 4);
    int rows = (int)lines.size() + 6;
    Placement p{std::max(0, (areaRows - rows) / 2), std::max(0, (canvas.Width() - cols) / 2), rows,
                cols};
    canvas.Frame(p.row, p.col, p.rows, p.cols);
    DrawCaptionBar(canvas, p, w.caption, 0, active, true);
    int textCol = p.col + 2 + (icon ? 6 : 0);
    if (icon)
        canvas.Text(p.row + 3, p.col + 2, "(X)", kAttrBold);
    for (size_t i = 0; i < lines.size(); i++)
        canvas.Text(p.row + 3 + (int)i, textCol, lines[i], 0, p.cols - (textCol - p.col) - 1);
    std::string ok = active ? "[>OK<]" : "[ OK ]";
    canvas.Text(p.row + p.rows - 2, p.col + (p.cols - (int)ok.size()) / 2, ok,
                (active ? kAttrReverse : 0) | kAttrBold);
}

void DrawActivity(Canvas &canvas, int top, int bottom) {
    int rows = bottom - top;
    if (rows < kMinPaneRows)
        return;
    canvas.Frame(top, 0, rows, canvas.Width());
    canvas.Text(top, 2, " Activity ", kAttrBold);
    int room = rows - 2;
    const auto &lines = T().activity;
    size_t first = lines.size() > (size_t)room ? lines.size() - (size_t)room : 0;
    for (size_t i = first; i < lines.size(); i++)
        canvas.Text(top + 1 + (int)(i - first), 2, lines[i], 0, canvas.Width() - 4);
}

// The keys of the window with the input, most useful first, as many as fit in width.
std::string HelpText(const std::vector<WindowView> &windows, int width) {
    if (windows.empty())
        return "";
    const WindowView &top = windows.back();
    if (top.isMessageBox)
        return "Enter/Esc/o  OK";
    if (!top.enabled)
        return "";
    std::vector<std::string> items;
    for (const TerminalOptions::ButtonKey &k : T().options.buttonKeys)
        for (const ControlView &c : top.controls)
            if (c.id == k.controlId && c.className == "Button")
                items.push_back(std::string(1, (char)k.key) + " " + k.label);
    for (const MenuItemView &item : SystemMenuItems(top.handle)) {
        char key = item.id < SC_SIZE ? MnemonicOf(item.text) : 0;
        if (key) {
            std::string label = WithoutMnemonics(item.text);
            while (!label.empty() && label.back() == '.')
                label.pop_back();
            items.push_back(std::string(1, key) + " " + label);
        }
    }
    if (top.style & WS_MINIMIZEBOX)
        items.push_back(top.minimized ? "m Restore" : "m Minimise");
    items.push_back("Esc/^C Cancel");
    items.push_back("Tab/S-Tab focus");
    items.push_back("Space press");
    items.push_back("Enter default");
    if (top.style & WS_SYSMENU)
        items.push_back("F4 Close");
    std::string help;
    for (const std::string &item : items) {
        std::string next = help.empty() ? item : help + "  " + item;
        if ((int)next.size() > width)
            break;
        help = next;
    }
    return help;
}

// The windows on the screen, bottom to top.
std::vector<WindowView> VisibleWindows() {
    std::vector<WindowView> windows;
    for (WindowView &w : TopLevelWindows())
        if (w.visible)
            windows.push_back(std::move(w));
    return windows;
}

Canvas Render(int width, int height) {
    Canvas canvas(width, height);
    std::vector<WindowView> windows = VisibleWindows();
    std::map<HWND, Placement> placed;
    int dialogBottom = 0;
    for (const WindowView &w : windows) {
        if (w.isMessageBox)
            continue;
        Placement p = PlaceDialog(w, placed, width);
        placed[w.handle] = p;
        dialogBottom = std::max(dialogBottom, p.row + p.rows);
    }
    int paneTop = std::max(dialogBottom, 1);
    DrawActivity(canvas, paneTop, height - 1);
    for (size_t i = 0; i < windows.size(); i++) {
        bool active = i + 1 == windows.size() && windows[i].enabled;
        if (windows[i].isMessageBox)
            DrawMessageBox(canvas, windows[i], active, height - 1);
        else
            DrawDialog(canvas, windows[i], placed[windows[i].handle], active);
    }
    canvas.Text(height - 1, 0, HelpText(windows, width), kAttrReverse, width);
    return canvas;
}

// ---- The tail file ----

void PollTail() {
    Terminal &t = T();
    if (t.tailPath.empty())
        return;
    struct stat st;
    if (stat(t.tailPath.c_str(), &st) != 0)
        return;
    if (st.st_size < t.tailOffset) { // a new file in its place: read it from the start
        t.tailOffset = 0;
        t.tailPartial.clear();
    }
    if (st.st_size == t.tailOffset)
        return;
    FILE *file = ::fopen(t.tailPath.c_str(), "rb");
    if (!file)
        return;
    if (fseeko(file, t.tailOffset, SEEK_SET) == 0) {
        char buffer[512];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
            t.tailOffset += (off_t)got;
            t.tailPartial.append(buffer, got);
        }
    }
    fclose(file);
    size_t end;
    while ((end = t.tailPartial.find('\n')) != std::string::npos) {
        std::string record = t.tailPartial.substr(0, end);
        t.tailPartial.erase(0, end + 1);
        if (!record.empty() && record.back() == '\r')
            record.pop_back();
        if (!record.empty())
            AddActivity("record: " + record);
    }
}

// ---- The screen ----

void Show() {
    if (!T().screen)
        return;
    Canvas canvas = Render(COLS, LINES);
    erase();
    for (int r = 0; r < canvas.Height(); r++) {
        for (int c = 0; c < canvas.Width(); c++) {
            const Cell &cell = canvas.At(r, c);
            // Plain characters draw the frames: they read the same in every terminal and in
            // every capture of one.
            chtype ch = (chtype)(unsigned char)PlainChar(cell.ch);
            if (cell.attr & kAttrBold)
                ch |= A_BOLD;
            if (cell.attr & kAttrReverse)
                ch |= A_REVERSE;
            mvaddch(r, c, ch);
        }
    }
    refresh();
}

int MapCursesKey(int ch) {
    switch (ch) {
    case KEY_BTAB:
        return kTermKeyShiftTab;
    case KEY_F(4):
        return kTermKeyF4;
    case KEY_ENTER:
    case '\r':
        return '\n';
    case KEY_RESIZE:
        return kTermKeyResize;
    default:
        return ch;
    }
}

// Reads what the terminal has; true when a key did something.
bool ReadKeys(bool *gone) {
    bool acted = false, any = false;
    int ch;
    while ((ch = getch()) != ERR) {
        any = true;
        int key = MapCursesKey(ch);
        if (key != kTermKeyResize)
            acted = HandleTerminalKey(key) || acted;
    }
    T().emptyReads = any ? 0 : T().emptyReads + 1;
    *gone = T().emptyReads >= kEmptyReadsForEof;
    return acted;
}

class TerminalInput : public InputSource {
  public:
    bool Wait(uint64_t untilMs) override {
        for (;;) {
            if (PollTermination())
                return true;
            if (interruptRequested) {
                interruptRequested = 0;
                if (HandleTerminalKey(3))
                    return true;
            }
            PollTail();
            Show();
            uint64_t now = NowMs();
            int timeout = kIdlePollMs;
            if (untilMs != UINT64_MAX)
                timeout = untilMs <= now ? 0 : (int)std::min<uint64_t>(untilMs - now, kIdlePollMs);
            struct pollfd in = {STDIN_FILENO, POLLIN, 0};
            int n = poll(&in, 1, timeout);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (n > 0) {
                if (!(in.revents & POLLIN))
                    return false; // the terminal hung up
                bool gone = false;
                if (ReadKeys(&gone))
                    return true;
                if (gone)
                    return false;
                continue;
            }
            if (untilMs != UINT64_MAX && NowMs() >= untilMs)
                return !ClockIsSimulated(); // simulated time: nothing now, let it move on
        }
    }
};
TerminalInput terminalInput;

void RestoreFromSignal() {
    if (haveSavedTermios)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTermios);
    if (restoreLength && write(STDOUT_FILENO, restoreText, restoreLength) < 0) {
        // nothing more can be done from here
    }
}

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void OnFatalSignal(int signo) {
    RestoreFromSignal();
    signal(signo, SIG_DFL);
    raise(signo);
}

void OnTerminationSignal(int) {
    terminationRequested = 1;
}

void OnInterruptSignal(int) {
    interruptRequested = 1;
}

// Keeps the terminal's own sequences for leaving the full-screen mode, for the signal path.
void SaveRestoreText() {
    restoreLength = 0;
    const char *names[] = {"rmcup", "cnorm", "sgr0"};
    for (const char *name : names) {
        char *seq = tigetstr(name);
        if (!seq || seq == (char *)-1)
            continue;
        size_t n = strlen(seq);
        if (restoreLength + n < sizeof restoreText) {
            memcpy(restoreText + restoreLength, seq, n);
            restoreLength += n;
        }
    }
}

void InstallSignal(int signo, void (*handler)(int), bool onlyIfDefault) {
    struct sigaction current;
    if (onlyIfDefault && sigaction(signo, NULL, &current) == 0 && current.sa_handler != SIG_DFL)
        return; // the exception filter's own handler calls the fatal hook
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, NULL);
}

bool OpenScreen() {
    haveSavedTermios = tcgetattr(STDIN_FILENO, &savedTermios) == 0;
    if (!newterm(NULL, stdout, stdin))
        return false;
    raw();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    SaveRestoreText();
    return true;
}

void StopAtExit() {
    StopTerminalUi();
}

} // namespace

// ---- Keys ----

static bool DialogKey(const WindowView &top, int key) {
    switch (key) {
    case '\t':
        PressKey(Key::Tab);
        return true;
    case kTermKeyShiftTab:
        PressKey(Key::ShiftTab);
        return true;
    case '\n':
        PressKey(Key::Enter);
        return true;
    case ' ':
        PressKey(Key::Space);
        return true;
    case 27:
    case 3: // Ctrl-C
        PressKey(Key::Escape);
        return true;
    case kTermKeyF4:
        if (!(top.style & WS_SYSMENU))
            return false;
        CloseWindow();
        return true;
    case 'm':
        if (!top.minimized && !(top.style & WS_MINIMIZEBOX))
            return false;
        ToggleMinimized();
        return true;
    default:
        break;
    }
    int lower = key >= 0 && key < 256 ? tolower(key) : key;
    for (const TerminalOptions::ButtonKey &k : T().options.buttonKeys) {
        if (k.key != lower)
            continue;
        for (const ControlView &c : top.controls)
            if (c.id == k.controlId && c.className == "Button") {
                PressButton(c.id);
                return true;
            }
    }
    for (const MenuItemView &item : SystemMenuItems(top.handle)) {
        if (item.id < SC_SIZE && !item.grayed && MnemonicOf(item.text) == lower && lower) {
            ChooseSystemCommand((UINT)item.id);
            return true;
        }
    }
    return false;
}

bool HandleTerminalKey(int key) {
    std::vector<WindowView> windows = VisibleWindows();
    if (windows.empty())
        return false;
    const WindowView &top = windows.back();
    if (top.isMessageBox) {
        if (key == '\n' || key == ' ' || key == 27 || key == 3 || key == 'o' || key == 'O') {
            AnswerMessageBox(IDOK);
            return true;
        }
        return false;
    }
    return top.enabled && DialogKey(top, key);
}

std::vector<std::string> RenderTerminalText(int width, int height) {
    PollTail();
    return Render(width, height).Lines();
}

std::vector<std::string> ActivityLines() {
    return std::vector<std::string>(T().activity.begin(), T().activity.end());
}

// ---- Starting and stopping ----

bool StartTerminalUi(const TerminalOptions &options) {
    Terminal &t = T();
    StopTerminalUi();
    t.options = options;
    t.activity.clear();
    t.tailPath = options.tailFile;
    t.tailPartial.clear();
    struct stat st;
    t.tailOffset = !t.tailPath.empty() && stat(t.tailPath.c_str(), &st) == 0 ? st.st_size : 0;
    int generation = ++t.generation;
    AddNoteListener([generation](const std::string &text) {
        if (T().generation != generation || !T().started)
            return;
        AddActivity(text);
        PollTail();
        Show(); // as it happens, even while the program is busy
    });
    t.started = true;
    if (!options.useScreen)
        return true;
    if (!OpenScreen())
        return false;
    t.screen = true;
    static bool atExitSet = false;
    if (!atExitSet) {
        atexit(StopAtExit);
        atExitSet = true;
    }
    for (int signo : kFatalSignals)
        InstallSignal(signo, OnFatalSignal, true);
    InstallSignal(SIGINT, OnInterruptSignal, false);
    SetFatalSignalHook(RestoreFromSignal);
    SetInputSource(&terminalInput);
    SetMessageBoxHandler(ModalMessageBox);
    Show();
    return true;
}

void StopTerminalUi() {
    Terminal &t = T();
    t.started = false;
    if (!t.screen)
        return;
    t.screen = false;
    SetInputSource(nullptr);
    SetFatalSignalHook(nullptr);
    endwin();
}

// ---- Ending on a signal ----

void SetTerminationHandler(std::function<void()> handler) {
    terminationHandler = std::move(handler);
    void (*action)(int) = terminationHandler ? OnTerminationSignal : SIG_DFL;
    for (int signo : {SIGTERM, SIGHUP}) {
        struct sigaction sa = {};
        sa.sa_handler = action;
        sigemptyset(&sa.sa_mask);
        sigaction(signo, &sa, NULL); // no restart: a waiting poll wakes at once
    }
}

bool PollTermination() {
    if (!terminationRequested)
        return false;
    terminationRequested = 0;
    if (terminationHandler)
        PostTask(terminationHandler);
    return true;
}

} // namespace sim
