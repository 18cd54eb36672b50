// The application object and the main dialog on the simulated window system: the start-up
// order and its failures, the Start/Stop switch, Exit only while stopped, IDOK ignored, the
// About box from the system menu, and the icon of the minimised window.
#include "app/app.h"
#include "platform/sim/registry.h"
#include "platform/sim/telephony.h"
#include "platform/sim/ui.h"
#include "support.h"
#include "ui_steps.h"

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char kModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";
const char kStartLine0[] = "\nStarting screening calls at Mon Dec 07 14:47:28 2026\n";

class DialogTest : public test::Machine {
  protected:
    void SetUp() override {
        test::Machine::SetUp();
        sim::SetMessageBoxHandler(sim::ModalMessageBox);
    }

    void AddModem() {
        sim::TheLineService().Devices().push_back(sim::VoiceModemDevice(kModemKey, 0));
        sim::SetRegistryString(kModemKey, "Manufacturer", "Agere Systems");
    }
    void WriteLists(bool withAcceptList = true) {
        test::WriteFile("Block.txt", "800555\n");
        if (withAcceptList)
            test::WriteFile("Accept Always.txt", "8005551234\n");
    }
    void ReadyMachine() {
        AddModem();
        WriteLists();
    }

    // Runs the main dialog, as InitInstance does, until nothing more can happen; the actions
    // posted beforehand are handled once it is shown. The shutdown of its destructor is
    // latched off so that the test goes on.
    void RunDialog() {
        {
            CQuorvelDlg dlg;
            theApp.m_pMainWnd = &dlg;
            dlg.DoModal();
            theApp.m_pMainWnd = nullptr;
            g_state.shutdownStarted = 1;
        }
    }

    // The same in a child process that must end with exit code 0; afterwards journal, boxes
    // and eventLog hold what it did.
    void RunDialogToExit() {
        EXPECT_EXIT(
            {
                test::DumpOnExit();
                CQuorvelDlg dlg;
                theApp.m_pMainWnd = &dlg;
                dlg.DoModal();
                fprintf(stderr, "the dialog came back\n");
                _exit(3);
            },
            ::testing::ExitedWithCode(0), "");
        journal = test::ReadFile("journal.txt");
        boxes = test::ReadFile("boxes.txt");
        eventLog = test::ReadFile("EventLog.txt");
    }

    using Step = test::Step;
    static void Steps(std::vector<Step> steps) { test::Steps(std::move(steps)); }
    static Step Pause(uint64_t ms) { return test::Pause(ms); }

    // Brings machine, state and window system back to boot, for another round in one test.
    void Restart() {
        test::BackToBoot();
        sim::SetMessageBoxHandler(sim::ModalMessageBox);
        remove("EventLog.txt");
        remove("Calls Received.txt");
        remove("Accept Always.txt");
    }
    static HWND Main() { return sim::FindDialog(IDD_QUORVEL_DIALOG); }
    static std::string Caption() { return sim::ControlText(IDC_STARTSTOP, Main()); }
    static int64_t LoadedIcon() {
        std::vector<sim::ApiCall> loads = sim::CallsTo("LoadIconW");
        return loads.empty() ? -1 : loads[0].result;
    }
    bool JournalHas(const std::string &function) const {
        return journal.find("] " + function + "(") != std::string::npos;
    }

    std::string journal, boxes, eventLog;
};

// ---- Start-up ----

TEST_F(DialogTest, StartsStoppedWithFocusOnStartAndLogsOpen) {
    for (bool withAcceptList : {true, false}) {
        Restart();
        AddModem();
        WriteLists(withAcceptList);
        bool checked = false;
        Steps({[&] {
            EXPECT_TRUE(sim::DialogOpen(IDD_QUORVEL_DIALOG));
            EXPECT_EQ(Caption(), "Start screening calls");
            EXPECT_EQ(sim::FocusedControlId(Main()), IDC_STARTSTOP);
            EXPECT_EQ(g_state.screening, 0);
            EXPECT_EQ(g_state.mainWindow, Main());
            ASSERT_NE(g_state.startStopButton, nullptr);
            EXPECT_EQ(g_state.startStopButton->m_hWnd, GetDlgItem(Main(), IDC_STARTSTOP));
            EXPECT_NE(g_state.eventLog, nullptr);
            EXPECT_NE(g_state.callsLog, nullptr);
            EXPECT_NE(g_state.hLine, 0u);
            EXPECT_EQ(g_state.acceptCount, withAcceptList ? 1 : 0);
            EXPECT_EQ(g_state.blockCount, 1);
            checked = true;
        }});
        RunDialog();
        EXPECT_TRUE(checked);
        EXPECT_TRUE(sim::MessageBoxes().empty()) << test::BoxesText();
        EXPECT_TRUE(test::FileExists("EventLog.txt"));
        EXPECT_TRUE(test::FileExists("Calls Received.txt"));
    }
}

TEST_F(DialogTest, StartUpClearsTheStateItOwns) {
    ReadyMachine();
    g_state.screening = 1;
    g_state.shutdownStarted = 1;
    strcpy(g_state.messageFile, "Old.wav");
    bool checked = false;
    Steps({[&] {
        EXPECT_EQ(g_state.screening, 0);
        EXPECT_EQ(g_state.shutdownStarted, 0);
        EXPECT_STREQ(g_state.messageFile, "");
        checked = true;
    }});
    RunDialog();
    EXPECT_TRUE(checked);
}

TEST_F(DialogTest, StartUpRunsInItsOrder) {
    ReadyMachine();
    RunDialog();
    std::vector<std::string> order;
    for (const sim::ApiCall &call : sim::Journal()) {
        const std::string &f = call.function;
        if (f == "GetSystemMenu" || f == "LoadStringA" || f == "AppendMenuA" || f == "GetDlgItem" ||
            f == "lineInitializeExA" || f == "lineOpenA" ||
            (f == "SendMessageA" && call.args[1] == WM_SETICON))
            order.push_back(f == "SendMessageA" ? "WM_SETICON " + std::to_string(call.args[2]) : f);
    }
    EXPECT_EQ(order, std::vector<std::string>({"GetSystemMenu", "LoadStringA", "AppendMenuA",
                                               "AppendMenuA", "WM_SETICON 1", "WM_SETICON 0",
                                               "GetDlgItem", "lineInitializeExA", "lineOpenA"}));
}

TEST_F(DialogTest, IconComesFromResource128AndIsTheWindowsIcon) {
    ReadyMachine();
    Steps({[] {
        EXPECT_EQ((int64_t)SendMessageA(Main(), WM_GETICON, ICON_BIG, 0), LoadedIcon());
        EXPECT_EQ((int64_t)SendMessageA(Main(), WM_GETICON, ICON_SMALL, 0), LoadedIcon());
        // Dragged while minimised, the window shows the same icon.
        EXPECT_EQ((int64_t)SendMessageA(Main(), WM_QUERYDRAGICON, 0, 0), LoadedIcon());
    }});
    RunDialog();
    std::vector<sim::ApiCall> loads = sim::CallsTo("LoadIconW");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].args, std::vector<uint64_t>({(uint64_t)(uintptr_t)GetModuleHandleA(NULL),
                                                    (uint64_t)IDR_MAINFRAME}));
    EXPECT_NE(loads[0].result, 0);
}

TEST_F(DialogTest, SystemMenuEndsWithSeparatorAndAboutEntry) {
    ReadyMachine();
    Steps({[] {
        std::vector<sim::MenuItemView> items = sim::SystemMenuItems(Main());
        ASSERT_GE(items.size(), 2u);
        EXPECT_TRUE(items[items.size() - 2].separator);
        EXPECT_FALSE(items.back().separator);
        EXPECT_EQ(items.back().id, 0x10u);
        EXPECT_EQ(items.back().text, "&About Quorvel...");
    }});
    RunDialog();
    std::vector<sim::ApiCall> appends = sim::CallsTo("AppendMenuA");
    ASSERT_EQ(appends.size(), 2u);
    EXPECT_EQ(appends[0].args[1], (uint64_t)MF_SEPARATOR);
    EXPECT_EQ(appends[1].args[1], (uint64_t)MF_STRING);
    EXPECT_EQ(appends[1].args[2], 0x10u);
    EXPECT_EQ(appends[1].text, "&About Quorvel...");
}

TEST_F(DialogTest, UnwritableEventLogShowsItsBoxAndTouchesNothingElse) {
    ReadyMachine();
    ASSERT_EQ(mkdir("EventLog.txt", 0755), 0); // a folder in its place cannot be opened
    RunDialogToExit();
    EXPECT_EQ(boxes, "owned|Ringward|10010|Error opening event log file.  Shutting down.\n");
    EXPECT_FALSE(test::FileExists("Calls Received.txt"));
    EXPECT_FALSE(JournalHas("lineInitializeExA"));
    EXPECT_FALSE(JournalHas("lineShutdown"));
}

TEST_F(DialogTest, UnwritableCallsLogShowsItsBoxAndClosesTheEventLog) {
    ReadyMachine();
    ASSERT_EQ(mkdir("Calls Received.txt", 0755), 0);
    RunDialogToExit();
    EXPECT_EQ(boxes, "owned|Ringward|10010|Error opening calls received file.  Shutting down.\n");
    EXPECT_TRUE(test::FileExists("EventLog.txt"));
    EXPECT_EQ(eventLog, "");
    EXPECT_FALSE(JournalHas("lineInitializeExA"));
}

TEST_F(DialogTest, MissingBlockListIsReportedAndEndsBeforeTelephony) {
    AddModem();
    test::WriteFile("Accept Always.txt", "8005551234\n");
    RunDialogToExit();
    EXPECT_NE(boxes.find("none|Ringward|10010|"), std::string::npos) << boxes;
    EXPECT_NE(boxes.find("Ringward: 0, OID 300: F - Error opening Block.txt file."),
              std::string::npos)
        << boxes;
    EXPECT_NE(eventLog.find("OID 300: F - Error opening Block.txt file."), std::string::npos);
    EXPECT_FALSE(JournalHas("lineInitializeExA"));
}

TEST_F(DialogTest, FailedModemInitialisationIsReportedUnderOid320) {
    ReadyMachine();
    sim::FailCall("lineInitializeExA", (LONG)LINEERR_NODRIVER);
    RunDialogToExit();
    size_t first = boxes.find("IVM 300: F - Error during TAPI lineInitializeEx().");
    size_t second = boxes.find("Ringward: -1, OID 320: F - Voice modem initialization failed.");
    ASSERT_NE(first, std::string::npos) << boxes;
    ASSERT_NE(second, std::string::npos) << boxes;
    EXPECT_LT(first, second);
    EXPECT_NE(eventLog.find("OID 320: F - Voice modem initialization failed."), std::string::npos);
}

TEST_F(DialogTest, NoModemEndsTheProgramAfterItsReport) {
    WriteLists();
    RunDialogToExit();
    EXPECT_NE(boxes.find("IVM 580: F - No Agere voice modem found or voice modem busy."),
              std::string::npos)
        << boxes;
    EXPECT_EQ(boxes.find("OID 320"), std::string::npos);
}

// ---- Start/Stop ----

TEST_F(DialogTest, StartStopStartWritesTwoStartLines) {
    ReadyMachine();
    std::vector<std::string> seen;
    Step record = [&] { seen.push_back(Caption() + " " + std::to_string(g_state.screening)); };
    Steps({[] { sim::PressButton(IDC_STARTSTOP); }, record, Pause(61000),
           [] { sim::PressButton(IDC_STARTSTOP); }, record, Pause(1000),
           [] { sim::PressButton(IDC_STARTSTOP); }, record});
    RunDialog();
    EXPECT_EQ(seen, std::vector<std::string>({"Stop screening calls 1", "Start screening calls 0",
                                              "Stop screening calls 1"}));
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              std::string(kStartLine0) +
                  "\nStarting screening calls at Mon Dec 07 14:48:30 2026\n");
}

TEST_F(DialogTest, CaptionIsTrimmedAndComparedExactly) {
    struct Case {
        std::string caption;
        bool starts;
    };
    const Case cases[] = {
        {"Start screening calls", true},
        {" \t Start screening calls\r\n", true},
        {"Start screening calls" + std::string(20, ' '), true},  // cut at 31, then trimmed
        {std::string(10, ' ') + "Start screening calls", true},  // exactly 31 characters
        {std::string(11, ' ') + "Start screening calls", false}, // the cut takes the last 's'
        {"start screening calls", false},
        {"Start screening calls!", false},
        {"", false},
    };
    for (const Case &c : cases) {
        Restart();
        ReadyMachine();
        Steps({[&] { SetWindowTextA(GetDlgItem(Main(), IDC_STARTSTOP), c.caption.c_str()); },
               [] { sim::PressButton(IDC_STARTSTOP); },
               [&] {
                   EXPECT_EQ(g_state.screening, c.starts ? 1 : 0) << '"' << c.caption << '"';
                   EXPECT_EQ(Caption(),
                             c.starts ? "Stop screening calls" : "Start screening calls");
               }});
        RunDialog();
        EXPECT_EQ(test::ReadFile("EventLog.txt"), c.starts ? kStartLine0 : "")
            << '"' << c.caption << '"';
        std::vector<sim::ApiCall> reads = sim::CallsTo("GetWindowTextA");
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].args[1], 32u); // the caption's buffer
    }
}

TEST_F(DialogTest, IdokLeavesEverythingAsItWas) {
    ReadyMachine();
    Steps({[] { sim::SendCommand(IDOK); },
           [] {
               EXPECT_TRUE(sim::DialogOpen(IDD_QUORVEL_DIALOG));
               EXPECT_EQ(Caption(), "Start screening calls");
               EXPECT_EQ(g_state.screening, 0);
           },
           [] { sim::PressButton(IDC_STARTSTOP); }, [] { sim::SendCommand(IDOK); },
           [] {
               EXPECT_TRUE(sim::DialogOpen(IDD_QUORVEL_DIALOG));
               EXPECT_EQ(Caption(), "Stop screening calls");
               EXPECT_EQ(g_state.screening, 1);
           }});
    RunDialog();
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(test::ReadFile("EventLog.txt"), kStartLine0);
}

// ---- Leaving ----

struct WayOut {
    const char *name;
    std::function<void()> act;
};
const std::vector<WayOut> &WaysOut() {
    static const std::vector<WayOut> ways = {
        {"Exit button", [] { sim::PressButton(IDC_EXIT); }},
        {"IDCANCEL", [] { sim::SendCommand(IDCANCEL); }},
        {"Escape", [] { sim::PressKey(sim::Key::Escape); }},
        {"close", [] { sim::CloseWindow(); }},
    };
    return ways;
}

TEST_F(DialogTest, EveryWayOutIsRefusedWhileScreening) {
    for (const WayOut &way : WaysOut()) {
        Restart();
        ReadyMachine();
        Steps({[] { sim::PressButton(IDC_STARTSTOP); }, way.act,
               [&] {
                   ASSERT_TRUE(sim::MessageBoxOpen()) << way.name;
                   sim::MessageBoxRecord box = sim::OpenMessageBox();
                   EXPECT_EQ(box.text, "Please stop screening calls first.");
                   EXPECT_EQ(box.caption, "Ringward");
                   EXPECT_EQ(box.style, 0x10010u);
                   EXPECT_EQ(box.owner, Main());
                   EXPECT_EQ(sim::ActiveDialog(), nullptr); // the box holds the dialog
               },
               [] { sim::PressButton(IDC_STARTSTOP); }, // a click on the held dialog: nothing
               [] { sim::AnswerMessageBox(); },
               [&] {
                   EXPECT_FALSE(sim::MessageBoxOpen());
                   EXPECT_TRUE(sim::DialogOpen(IDD_QUORVEL_DIALOG)) << way.name;
                   EXPECT_EQ(g_state.screening, 1);
                   EXPECT_EQ(Caption(), "Stop screening calls");
               }});
        RunDialog();
        EXPECT_EQ(sim::MessageBoxes().size(), 1u) << way.name;
        EXPECT_TRUE(sim::CallsTo("lineShutdown").empty()) << way.name;
    }
}

TEST_F(DialogTest, EveryWayOutEndsTheProgramWhileStopped) {
    for (const WayOut &way : WaysOut()) {
        Restart();
        ReadyMachine();
        Steps({way.act});
        RunDialogToExit();
        EXPECT_EQ(boxes, "") << way.name;
        EXPECT_TRUE(JournalHas("lineClose")) << way.name;
        EXPECT_TRUE(JournalHas("lineShutdown")) << way.name;
        EXPECT_EQ(eventLog, "") << way.name;
    }
}

TEST_F(DialogTest, ExitAfterStartAndStopEndsTheProgram) {
    ReadyMachine();
    Steps({[] { sim::PressButton(IDC_STARTSTOP); }, [] { sim::PressButton(IDC_STARTSTOP); },
           [] { sim::PressButton(IDC_EXIT); }});
    RunDialogToExit();
    EXPECT_EQ(boxes, "");
    EXPECT_EQ(eventLog, kStartLine0);
}

TEST_F(DialogTest, LineIsServedWhileTheRefusalIsOpen) {
    ReadyMachine();
    sim::CallConfig call;
    call.number = "8005551234";
    call.name = "ACCEPTED FRIEND";
    call.rings = 2;
    sim::TheLineService().ScheduleCall(call, 1000);
    bool boxWasOpen = false;
    Steps({[] { sim::PressButton(IDC_STARTSTOP); }, [] { sim::PressButton(IDC_EXIT); },
           [&] { boxWasOpen = sim::MessageBoxOpen(); }});
    // The user reads the box for a minute; the call comes and goes meanwhile.
    sim::AddTimer(60000, [] {
        EXPECT_TRUE(sim::MessageBoxOpen());
        sim::AnswerMessageBox();
    });
    RunDialog();
    EXPECT_TRUE(boxWasOpen);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u) << test::BoxesText();
    std::string calls = test::ReadFile("Calls Received.txt");
    EXPECT_NE(calls.find("ACCEPTED FRIEND"), std::string::npos) << calls;
    EXPECT_NE(calls.find("Allowed"), std::string::npos) << calls;
}

// ---- About ----

TEST_F(DialogTest, AboutOpensForEverySystemCommandFrom0x10To0x1F) {
    ReadyMachine();
    int opened = 0;
    std::vector<Step> steps;
    for (UINT id = 0x10; id <= 0x1F; id++) {
        steps.push_back([id] { sim::ChooseSystemCommand(id); });
        steps.push_back([&opened, id] {
            HWND about = sim::FindDialog(IDD_ABOUTBOX);
            ASSERT_NE(about, nullptr) << id;
            EXPECT_EQ(sim::ActiveDialog(), about);
            std::vector<sim::WindowView> windows = sim::TopLevelWindows();
            ASSERT_EQ(windows.size(), 2u);
            EXPECT_EQ(windows[1].owner, Main()); // owned by the main dialog, which waits
            EXPECT_FALSE(windows[0].enabled);
            EXPECT_EQ(windows[1].caption, "About Quorvel");
            EXPECT_EQ(sim::ControlText(IDOK, about), "OK");
            opened++;
        });
        steps.push_back([] { sim::PressKey(sim::Key::Enter); });
        steps.push_back([id] { EXPECT_FALSE(sim::DialogOpen(IDD_ABOUTBOX)) << id; });
    }
    for (UINT id : {0x0Fu, 0x20u, (UINT)SC_MOVE}) {
        steps.push_back([id] { sim::ChooseSystemCommand(id); });
        steps.push_back([id] { EXPECT_FALSE(sim::DialogOpen(IDD_ABOUTBOX)) << id; });
    }
    Steps(steps);
    RunDialog();
    EXPECT_EQ(opened, 16);
}

TEST_F(DialogTest, AboutEndsOnOkEnterSpaceEscapeAndClose) {
    const std::vector<std::pair<const char *, Step>> ends = {
        {"OK", [] { sim::PressButton(IDOK); }},
        {"Enter", [] { sim::PressKey(sim::Key::Enter); }},
        {"Space", [] { sim::PressKey(sim::Key::Space); }},
        {"Escape", [] { sim::PressKey(sim::Key::Escape); }},
        {"close", [] { sim::CloseWindow(); }},
    };
    ReadyMachine();
    int checked = 0;
    std::vector<Step> steps;
    for (const auto &end : ends) {
        steps.push_back([] { sim::ChooseSystemCommand(0x10); });
        steps.push_back([] { EXPECT_TRUE(sim::DialogOpen(IDD_ABOUTBOX)); });
        steps.push_back(end.second);
        steps.push_back([&end, &checked] {
            EXPECT_FALSE(sim::DialogOpen(IDD_ABOUTBOX)) << end.first;
            EXPECT_EQ(sim::ActiveDialog(), Main()) << end.first; // enabled again
            checked++;
        });
    }
    Steps(steps);
    RunDialog(); // Escape and close end the About box, not the program
    EXPECT_EQ(checked, (int)ends.size());
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

// ---- The minimised window ----

TEST_F(DialogTest, MinimisedWindowDrawsItsIconCentred) {
    struct Case {
        int width, height, x, y;
    };
    const Case cases[] = {
        {36, 36, 2, 2},   {37, 33, 3, 1}, {160, 24, 64, -3}, // (24 - 32 + 1) / 2 truncates to -3
        {0, 0, -15, -15}, {32, 32, 0, 0}, {33, 31, 1, 0},
    };
    ReadyMachine();
    size_t drawings = 0;
    std::vector<Step> steps;
    for (const Case &c : cases) {
        steps.push_back([&c] {
            sim::SetMinimizedClientSize(c.width, c.height);
            sim::ToggleMinimized();
        });
        steps.push_back([&c, &drawings] {
            EXPECT_TRUE(sim::IsMinimized(Main()));
            ASSERT_EQ(sim::IconDrawings().size(), drawings + 1) << c.width << "x" << c.height;
            const sim::IconDrawing &d = sim::IconDrawings().back();
            EXPECT_EQ(d.window, Main());
            EXPECT_EQ(std::vector<int>({d.x, d.y}), std::vector<int>({c.x, c.y}))
                << c.width << "x" << c.height;
            EXPECT_EQ((int64_t)(uintptr_t)d.icon, LoadedIcon());
            drawings++;
        });
        steps.push_back([] { sim::ToggleMinimized(); });
        steps.push_back([&drawings] {
            EXPECT_FALSE(sim::IsMinimized(Main()));
            EXPECT_EQ(sim::IconDrawings().size(), drawings); // restored: normal painting
        });
    }
    Steps(steps);
    RunDialog();
    EXPECT_EQ(drawings, 6u);
    // The first minimised painting, call by call.
    std::vector<std::string> paint;
    bool inPaint = false;
    for (const sim::ApiCall &call : sim::Journal()) {
        inPaint = inPaint || call.function == "BeginPaint";
        if (inPaint)
            paint.push_back(call.function == "SendMessageA"
                                ? "SendMessageA " + std::to_string(call.args[1])
                                : call.function);
        if (call.function == "EndPaint")
            break;
    }
    EXPECT_EQ(paint, std::vector<std::string>({"BeginPaint", "SendMessageA 39", "GetSystemMetrics",
                                               "GetSystemMetrics", "GetClientRect", "DrawIcon",
                                               "EndPaint"}));
}

// ---- The application object ----

TEST_F(DialogTest, InitInstanceRunsTheDialogAndEndsTheProgram) {
    ReadyMachine();
    Steps({[] {
               // Checked in the child: a wrong key or main window ends it with another code.
               const char *key = theApp.m_pszRegistryKey ? theApp.m_pszRegistryKey : "";
               if (strcmp(key, "Local AppWizard-Generated Applications") != 0)
                   _exit(5);
               if (!AfxGetMainWnd() || AfxGetMainWnd()->m_hWnd != Main())
                   _exit(6);
           },
           [] { sim::PressButton(IDC_EXIT); }});
    EXPECT_EXIT(
        {
            HINSTANCE module = GetModuleHandleA(NULL);
            sim::ClearJournal();
            test::DumpOnExit();
            AfxWinMain(module, NULL, (LPSTR) "", SW_SHOWNORMAL);
            _exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    journal = test::ReadFile("journal.txt");
    EXPECT_EQ(journal.find("] InitCommonControls()"), journal.find("] ")) << journal;
    EXPECT_NE(journal.find("] DialogBoxParamA(4194304, 102, 0, 1, 1)"), std::string::npos)
        << journal;
    EXPECT_NE(journal.find("] lineShutdown("), std::string::npos);
}

TEST_F(DialogTest, DialogThatCannotBeCreatedStillEndsTheProgram) {
    ReadyMachine();
    sim::FailCall("DialogBoxParamA", -1);
    EXPECT_EXIT(
        {
            test::DumpOnExit();
            AfxWinMain(NULL, NULL, (LPSTR) "", SW_SHOWNORMAL);
            _exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::ReadFile("boxes.txt"), "");
    EXPECT_FALSE(test::FileExists("EventLog.txt"));
}

} // namespace
