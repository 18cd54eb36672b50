// The simulated window system under a plain dialog procedure: what DialogBoxParamA sends and
// returns, focus and the dialog manager's keys, nested modal windows and message boxes, the
// system menu, painting on demand, text and string resources, injected failures, and a
// console program's thread queue (its messages, its timer, Ctrl-C).
#include "platform/sim/ui.h"
#include "support.h"
#include "ui_steps.h"

#include <string>
#include <vector>

namespace {

enum : int { kMain = 102, kAbout = 100, kStart = 1000, kExit = 1001, kEndCommand = 1001 };

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Message> received;
BOOL initResult = TRUE;

// Records what the dialog is sent; ends it with the command's id on Exit or IDOK.
INT_PTR CALLBACK RecordingProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG || msg == WM_COMMAND || msg == WM_SYSCOMMAND || msg == WM_CLOSE ||
        msg == WM_PAINT || msg == WM_DESTROY || msg == WM_NCDESTROY)
        received.push_back(Message{msg, wParam, lParam});
    if (msg == WM_INITDIALOG)
        return initResult;
    if (msg == WM_COMMAND && (LOWORD(wParam) == kEndCommand || LOWORD(wParam) == IDOK) &&
        lParam == 0x77) {
        EndDialog(h, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

class WindowsTest : public test::Machine {
  protected:
    void SetUp() override {
        test::Machine::SetUp();
        received.clear();
        initResult = TRUE;
        sim::SetMessageBoxHandler(sim::ModalMessageBox);
    }
    static INT_PTR Run(int templateId, HWND owner = NULL) {
        return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId), owner,
                               RecordingProc, 0);
    }
    // The commands the dialog received, as "id code from", from a control ("ctl"), from End
    // ("end") or from neither ("-").
    static std::vector<std::string> Commands() {
        std::vector<std::string> out;
        for (const Message &m : received)
            if (m.msg == WM_COMMAND)
                out.push_back(std::to_string(LOWORD(m.wParam)) + " " +
                              std::to_string(HIWORD(m.wParam)) +
                              (m.lParam == 0x77 ? " end"
                               : m.lParam       ? " ctl"
                                                : " -"));
        return out;
    }
    static void End() {
        HWND h = sim::ActiveDialog();
        PostMessageA(h, WM_COMMAND, kEndCommand, 0x77);
    }
};

TEST_F(WindowsTest, UnknownTemplateOrOwnerFails) {
    EXPECT_EQ(Run(555), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(Run(kMain, (HWND)0x1234), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowsTest, DialogGetsInitFirstAndDestroyLastAndReturnsItsResult) {
    HWND first = nullptr;
    test::Steps({[&] { first = GetDlgItem(sim::ActiveDialog(), kStart); }, End});
    EXPECT_EQ(Run(kMain), kEndCommand);
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(received.front().msg, (UINT)WM_INITDIALOG);
    EXPECT_EQ((HWND)received.front().wParam, first); // the first tab stop
    EXPECT_EQ(received[received.size() - 2].msg, (UINT)WM_DESTROY);
    EXPECT_EQ(received.back().msg, (UINT)WM_NCDESTROY);
    EXPECT_TRUE(sim::TopLevelWindows().empty());
    EXPECT_EQ(sim::ActiveDialog(), nullptr);
}

TEST_F(WindowsTest, TabMovesAmongTabStopsBothWays) {
    std::vector<int> focus;
    test::Step note = [&] { focus.push_back(sim::FocusedControlId()); };
    test::Steps({note, [] { sim::PressKey(sim::Key::Tab); }, note,
                 [] { sim::PressKey(sim::Key::Tab); }, note,
                 [] { sim::PressKey(sim::Key::ShiftTab); }, note, End});
    EXPECT_EQ(Run(kMain), kEndCommand);
    EXPECT_EQ(focus, std::vector<int>({kStart, kExit, kStart, kExit}));
}

TEST_F(WindowsTest, SpacePressesTheFocusedButtonEnterTheDefaultEscapeCancels) {
    // Neither button is the template's default, and the focus given at start or by a click
    // makes none: Enter is IDOK until Tab moves the focus onto a button, which becomes the
    // default; Space presses whatever has the focus.
    test::Steps({[] { sim::PressKey(sim::Key::Enter); }, [] { sim::PressKey(sim::Key::Space); },
                 [] {
                     sim::PressButton(kStart);
                     sim::PressKey(sim::Key::Enter);
                 },
                 [] { sim::PressKey(sim::Key::Tab); }, [] { sim::PressKey(sim::Key::Enter); },
                 [] { sim::PressKey(sim::Key::Tab); }, [] { sim::PressKey(sim::Key::Enter); },
                 [] { sim::PressKey(sim::Key::Escape); }, End});
    Run(kMain);
    EXPECT_EQ(Commands(),
              std::vector<std::string>({"1 0 -", "1000 0 ctl", "1000 0 ctl", "1 0 -", "1001 0 ctl",
                                        "1000 0 ctl", "2 0 -", "1001 0 end"}));
}

TEST_F(WindowsTest, EnterWithNoFocusedButtonSendsTheDefaultOrIdok) {
    initResult = FALSE; // the procedure keeps the focus to itself: none is set
    test::Steps({[] {
                     EXPECT_EQ(sim::FocusedControlId(), 0);
                     sim::PressKey(sim::Key::Enter);
                     sim::PressKey(sim::Key::Space); // no button has the focus: nothing
                 },
                 End});
    EXPECT_EQ(Run(kMain), kEndCommand);
    EXPECT_EQ(Commands(), std::vector<std::string>({"1 0 -", "1001 0 end"})); // no IDOK control

    received.clear();
    test::Steps({[] { sim::PressKey(sim::Key::Enter); }}); // the About box's OK is its default
    sim::AddTimer(100, [] { PostMessageA(sim::ActiveDialog(), WM_COMMAND, IDOK, 0x77); });
    EXPECT_EQ(Run(kAbout), IDOK);
    EXPECT_EQ(Commands(), std::vector<std::string>({"1 0 ctl", "1 0 end"}));
}

TEST_F(WindowsTest, CloseArrivesAsWmCloseThenCancel) {
    test::Steps({[] { sim::CloseWindow(); }, End});
    Run(kMain);
    std::vector<UINT> order;
    for (const Message &m : received)
        if (m.msg != WM_INITDIALOG && m.msg != WM_PAINT && m.msg != WM_DESTROY &&
            m.msg != WM_NCDESTROY)
            order.push_back(m.msg);
    EXPECT_EQ(order, std::vector<UINT>({WM_SYSCOMMAND, WM_CLOSE, WM_COMMAND, WM_COMMAND}));
    EXPECT_EQ(Commands()[0], "2 0 -");
}

TEST_F(WindowsTest, NestedDialogHoldsItsOwner) {
    HWND outer = nullptr;
    bool checked = false;
    test::Steps({[&] {
        outer = sim::ActiveDialog();
        // Opened from inside the outer dialog, as a handler would.
        test::Steps({[&] {
                         HWND inner = sim::FindDialog(kAbout);
                         EXPECT_EQ(sim::ActiveDialog(), inner);
                         std::vector<sim::WindowView> w = sim::TopLevelWindows();
                         ASSERT_EQ(w.size(), 2u);
                         EXPECT_FALSE(w[0].enabled);
                         EXPECT_EQ(w[1].owner, outer);
                         sim::PressKey(sim::Key::Escape); // to the inner one
                     },
                     [] { PostMessageA(sim::ActiveDialog(), WM_COMMAND, IDOK, 0x77); },
                     [&] {
                         EXPECT_EQ(sim::ActiveDialog(), outer);
                         checked = true;
                     },
                     End});
        EXPECT_EQ(Run(kAbout, outer), IDOK);
    }});
    EXPECT_EQ(Run(kMain), kEndCommand);
    EXPECT_TRUE(checked);
}

TEST_F(WindowsTest, OwnedBoxHoldsItsDialogAnUnownedOneDoesNot) {
    int answers[2] = {0, 0};
    std::vector<std::string> commands;
    test::Steps({[&] { answers[0] = MessageBoxA(sim::ActiveDialog(), "owned", "C", MB_OK); }});
    sim::AddTimer(100, [] {
        EXPECT_TRUE(sim::MessageBoxOpen());
        EXPECT_EQ(sim::ActiveDialog(), nullptr);
        sim::PressButton(kStart);       // held: nothing
        sim::PressKey(sim::Key::Enter); // the box has the keys
    });
    sim::AddTimer(200, [&] {
        EXPECT_FALSE(sim::MessageBoxOpen());
        answers[1] = MessageBoxA(NULL, "line 1\nline 2", "", 0);
    });
    sim::AddTimer(300, [] {
        EXPECT_EQ(sim::OpenMessageBox().text, "line 1\nline 2");
        sim::PressButton(kStart); // the dialog still takes clicks, as on Windows
        sim::AnswerMessageBox();
    });
    sim::AddTimer(400, End);
    EXPECT_EQ(Run(kMain), kEndCommand);
    EXPECT_EQ(answers[0], IDOK);
    EXPECT_EQ(answers[1], IDOK);
    EXPECT_EQ(Commands(), std::vector<std::string>({"1000 0 ctl", "1001 0 end"}));
}

TEST_F(WindowsTest, BoxWithNothingLeftToHappenIsTakenAsOk) {
    EXPECT_EQ(MessageBoxA(NULL, "alone", "C", MB_OK), IDOK);
    EXPECT_FALSE(sim::MessageBoxOpen());
    EXPECT_TRUE(sim::TopLevelWindows().empty());
}

TEST_F(WindowsTest, SystemMenuHasTheStandardEntriesAndTakesAppended) {
    std::vector<std::string> mainMenu, aboutMenu, reverted;
    test::Steps({[&] {
        HWND h = sim::ActiveDialog();
        for (const sim::MenuItemView &m : sim::SystemMenuItems(h))
            mainMenu.push_back(m.separator ? "-" : m.text + (m.grayed ? " (grayed)" : ""));
        HMENU menu = GetSystemMenu(h, FALSE);
        EXPECT_EQ(GetSystemMenu(h, FALSE), menu);
        EXPECT_TRUE(AppendMenuA(menu, MF_STRING, 0x20, "&Extra"));
        EXPECT_FALSE(AppendMenuA(menu, MF_STRING, 0x30, NULL));
        EXPECT_FALSE(AppendMenuA((HMENU)0x99, MF_SEPARATOR, 0, NULL));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_MENU_HANDLE);
        EXPECT_EQ(sim::SystemMenuItems(h).back().text, "&Extra");
        EXPECT_EQ(GetSystemMenu(h, TRUE), nullptr);
        for (const sim::MenuItemView &m : sim::SystemMenuItems(h))
            reverted.push_back(m.separator ? "-" : m.text);
        EXPECT_EQ(GetSystemMenu(GetDlgItem(h, kStart), FALSE), nullptr); // a control has none
        End();
    }});
    EXPECT_EQ(Run(kMain), kEndCommand);
    EXPECT_EQ(mainMenu, std::vector<std::string>(
                            {"&Restore (grayed)", "&Move", "Mi&nimize", "-", "&Close\tAlt+F4"}));
    EXPECT_EQ(reverted,
              std::vector<std::string>({"&Restore", "&Move", "Mi&nimize", "-", "&Close\tAlt+F4"}));
}

TEST_F(WindowsTest, MinimiseAndRestoreRepaintAndChangeTheClientArea) {
    std::vector<std::string> seen;
    test::Step look = [&] {
        HWND h = sim::ActiveDialog();
        RECT r;
        GetClientRect(h, &r);
        seen.push_back(std::to_string(IsIconic(h)) + " " + std::to_string(r.right) + "x" +
                       std::to_string(r.bottom));
    };
    test::Steps(
        {look, [] { sim::ToggleMinimized(); }, look, [] { sim::ToggleMinimized(); }, look, End});
    Run(kMain);
    EXPECT_EQ(seen, std::vector<std::string>({"0 179x106", "1 36x36", "0 179x106"}));
    int paints = 0;
    for (const Message &m : received)
        paints += m.msg == WM_PAINT;
    EXPECT_EQ(paints, 3); // shown, minimised, restored
}

TEST_F(WindowsTest, InvalidatingTwiceBeforeThePaintGivesOnePaint) {
    test::Steps({[] {
                     received.clear();
                     sim::InvalidateWindow(sim::ActiveDialog());
                     sim::InvalidateWindow(sim::ActiveDialog());
                 },
                 End});
    EXPECT_EQ(Run(kMain), kEndCommand);
    int paints = 0;
    for (const Message &m : received)
        paints += m.msg == WM_PAINT;
    EXPECT_EQ(paints, 1);
}

TEST_F(WindowsTest, WindowTextIsCutToTheBuffer) {
    test::Steps({[] {
        HWND button = GetDlgItem(sim::ActiveDialog(), kStart);
        char text[8] = "xxxxxxx";
        EXPECT_EQ(GetWindowTextA(button, text, 5), 4);
        EXPECT_STREQ(text, "Star");
        EXPECT_EQ(GetWindowTextA(button, text, 0), 0);
        EXPECT_STREQ(text, "Star"); // a buffer of no size is left alone
        EXPECT_EQ(GetWindowTextA((HWND)0x4321, text, 8), 0);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_TRUE(SetWindowTextA(button, "Other"));
        EXPECT_EQ(sim::ControlText(kStart), "Other");
        EXPECT_EQ(GetDlgCtrlID(button), kStart);
        EXPECT_EQ(GetDlgItem(sim::ActiveDialog(), 4242), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_CONTROL_ID_NOT_FOUND);
        End();
    }});
    EXPECT_EQ(Run(kMain), kEndCommand);
}

TEST_F(WindowsTest, StringsComeFromTheModule) {
    char text[64];
    EXPECT_EQ(LoadStringA(GetModuleHandleA(NULL), 101, text, sizeof text), 17);
    EXPECT_STREQ(text, "&About Quorvel...");
    EXPECT_EQ(LoadStringA(NULL, 101, text, 7), 6);
    EXPECT_STREQ(text, "&About");
    EXPECT_EQ(LoadStringA(GetModuleHandleA(NULL), 999, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_NE(LoadIconW(GetModuleHandleA(NULL), MAKEINTRESOURCEW(128)), nullptr);
    EXPECT_NE(LoadIconA(NULL, IDI_APPLICATION), nullptr);
    EXPECT_EQ(LoadIconA((HINSTANCE)0x1000, MAKEINTRESOURCEA(128)), nullptr);
}

TEST_F(WindowsTest, InjectedFailuresReportTheirError) {
    test::Steps({[] {
        HWND h = sim::ActiveDialog();
        sim::FailCall("GetDlgItem", ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(GetDlgItem(h, kStart), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
        sim::FailCall("SetWindowTextA", ERROR_ACCESS_DENIED);
        EXPECT_FALSE(SetWindowTextA(GetDlgItem(h, kStart), "x"));
        EXPECT_EQ(sim::ControlText(kStart), "Start screening calls");
        sim::FailCall("GetWindowTextA", 0);
        char text[16] = "junk";
        EXPECT_EQ(GetWindowTextA(GetDlgItem(h, kStart), text, sizeof text), 0);
        EXPECT_STREQ(text, "");
        End();
    }});
    EXPECT_EQ(Run(kMain), kEndCommand);
    sim::FailCall("DialogBoxParamA", -1);
    EXPECT_EQ(Run(kMain), -1);
}

TEST_F(WindowsTest, IconsDrawnOnlyWhilePainting) {
    test::Steps({[] {
        HWND h = sim::ActiveDialog();
        HICON icon = LoadIconA(NULL, IDI_APPLICATION);
        EXPECT_FALSE(DrawIcon((HDC)0x5555, 1, 2, icon));
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(ps.hdc, dc);
        EXPECT_TRUE(DrawIcon(dc, -3, 4, icon));
        EXPECT_TRUE(EndPaint(h, &ps));
        EXPECT_FALSE(DrawIcon(dc, 0, 0, icon)); // the painting is over
        ASSERT_EQ(sim::IconDrawings().size(), 1u);
        EXPECT_EQ(sim::IconDrawings()[0].x, -3);
        EXPECT_EQ(sim::IconDrawings()[0].window, h);
        End();
    }});
    EXPECT_EQ(Run(kMain), kEndCommand);
}

// ---- A console program's thread queue ---------------------------------------------------------

std::vector<DWORD> ctrlEvents;
BOOL WINAPI TakeCtrl(DWORD event) {
    ctrlEvents.push_back(event);
    return TRUE;
}

// What GetMessageA hands out, by message, until count have come.
std::vector<UINT> Fetch(size_t count) {
    std::vector<UINT> got;
    MSG msg;
    while (got.size() < count && GetMessageA(&msg, NULL, 0, 0) > 0) {
        got.push_back(msg.message);
        DispatchMessageA(&msg);
    }
    return got;
}

TEST_F(WindowsTest, AThreadGetsPostedMessagesBeforeItsTimerAndCtrlCOnlyWhenHeeded) {
    const UINT kPosted = WM_APP + 5;
    UINT_PTR timer = SetTimer(NULL, 0, 1000, NULL);
    ASSERT_NE(timer, 0u);
    sim::Advance(3500); // three elapses come as one WM_TIMER
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kPosted, 1, 2));
    EXPECT_FALSE(PostThreadMessageA(GetCurrentThreadId() + 1, kPosted, 1, 2));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_THREAD_ID);
    EXPECT_EQ(Fetch(3), std::vector<UINT>({kPosted, WM_TIMER, WM_TIMER}));
    EXPECT_EQ(sim::NowMs(), 4000u); // the second came at the next elapse
    EXPECT_TRUE(KillTimer(NULL, timer));
    EXPECT_FALSE(KillTimer(NULL, timer));

    ctrlEvents.clear();
    ASSERT_TRUE(SetConsoleCtrlHandler(TakeCtrl, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(NULL, TRUE)); // Ctrl-C is ignored
    sim::RaiseConsoleCtrl(CTRL_C_EVENT);
    sim::RaiseConsoleCtrl(CTRL_BREAK_EVENT);
    ASSERT_TRUE(SetConsoleCtrlHandler(NULL, FALSE));
    sim::RaiseConsoleCtrl(CTRL_C_EVENT);
    EXPECT_EQ(ctrlEvents, std::vector<DWORD>({CTRL_BREAK_EVENT, CTRL_C_EVENT}));
    EXPECT_TRUE(SetConsoleCtrlHandler(TakeCtrl, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(TakeCtrl, FALSE));
}

} // namespace
