// The terminal display without a screen: what it would draw for the program's dialogs and boxes,
// what its keys do to the program, the activity pane, and the termination signals.
#include "app/app.h"
#include "platform/sim/registry.h"
#include "platform/sim/telephony.h"
#include "platform/sim/ui.h"
#include "support.h"
#include "ui_steps.h"

#include <signal.h>
#include <string>
#include <vector>

namespace {

const char kModemKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\Modem\\0000";

class TerminalTest : public test::Machine {
  protected:
    void SetUp() override {
        test::Machine::SetUp();
        sim::SetMessageBoxHandler(sim::ModalMessageBox);
        sim::TheLineService().Devices().push_back(sim::VoiceModemDevice(kModemKey, 0));
        sim::SetRegistryString(kModemKey, "Manufacturer", "Agere Systems");
        test::WriteFile("Block.txt", "800555\n");
    }
    void TearDown() override {
        sim::StopTerminalUi();
        test::Machine::TearDown();
    }
    static void StartHeadless(const std::string &tailFile = "Calls Received.txt") {
        sim::TerminalOptions options;
        options.tailFile = tailFile;
        options.useScreen = false;
        ASSERT_TRUE(sim::StartTerminalUi(options));
    }
    void RunProgramDialog() {
        CQuorvelDlg dlg;
        theApp.m_pMainWnd = &dlg;
        dlg.DoModal();
        theApp.m_pMainWnd = nullptr;
        g_state.shutdownStarted = 1; // the destructor's shutdown returns at once
    }
    static std::vector<std::string> Screen() { return sim::RenderTerminalText(120, 30); }
    // The first line of the screen that holds text; -1 when none.
    static int LineWith(const std::vector<std::string> &lines, const std::string &text) {
        for (size_t i = 0; i < lines.size(); i++)
            if (lines[i].find(text) != std::string::npos)
                return (int)i;
        return -1;
    }
    static bool Shows(const std::string &text) { return LineWith(Screen(), text) >= 0; }
    static HWND Main() { return sim::FindDialog(IDD_QUORVEL_DIALOG); }
};

TEST_F(TerminalTest, DrawsTheMainDialogWithItsCaptionButtonsFocusAndKeys) {
    std::vector<std::string> screen;
    std::string narrow;
    test::Steps({[&] {
        screen = Screen();
        narrow = sim::RenderTerminalText(60, 24).back();
    }});
    RunProgramDialog();
    ASSERT_EQ(screen.size(), 30u);
    int caption = LineWith(screen, "| Ringward");
    int start = LineWith(screen, ">Start screening calls<"); // the focus is on it
    int exit = LineWith(screen, "[ Exit ]");
    ASSERT_GE(caption, 0);
    EXPECT_LT(caption, start);
    EXPECT_LT(start, exit);
    EXPECT_EQ(screen[(size_t)caption].find("_ X"), screen[(size_t)caption].size() - 5);
    EXPECT_GE(LineWith(screen, "Activity"), exit);
    const std::string &help = screen.back();
    for (const char *key : {"Tab/S-Tab focus", "Space press", "Enter default", "s Start/Stop",
                            "x Exit", "a About Quorvel", "m Minimise", "Esc/^C Cancel", "F4 Close"})
        EXPECT_NE(help.find(key), std::string::npos) << key << " in " << help;
    // A narrow terminal keeps the letters of the dialog's own commands.
    EXPECT_EQ(narrow, "s Start/Stop  x Exit  a About Quorvel  m Minimise");
}

TEST_F(TerminalTest, KeysWorkTheProgramAsAUserWould) {
    std::vector<std::string> log;
    auto key = [&](int k, bool expected) {
        return [k, expected] {
            bool acted = sim::HandleTerminalKey(k);
            EXPECT_EQ(acted, expected) << "key " << k;
        };
    };
    test::Steps({
        key('s', true),
        [] { EXPECT_EQ(g_state.screening, 1); },
        key('x', true),
        [&] {
            EXPECT_TRUE(sim::MessageBoxOpen());
            EXPECT_TRUE(Shows("(X)   Please stop screening calls first."));
            EXPECT_TRUE(Shows("[>OK<]"));
            EXPECT_EQ(Screen().back(), "Enter/Esc/o  OK");
            EXPECT_FALSE(sim::HandleTerminalKey('s')); // the box has the keys
        },
        key('o', true),
        [] { EXPECT_FALSE(sim::MessageBoxOpen()); },
        key(3, true), // Ctrl-C is IDCANCEL: refused while screening
        [] { EXPECT_EQ(sim::OpenMessageBox().text, "Please stop screening calls first."); },
        key('\n', true),
        key(sim::kTermKeyF4, true), // close: refused the same way
        [] { EXPECT_TRUE(sim::MessageBoxOpen()); },
        key(27, true),
        key('a', true),
        [] {
            EXPECT_TRUE(sim::DialogOpen(IDD_ABOUTBOX));
            EXPECT_TRUE(Shows("| About Quorvel"));
            EXPECT_TRUE(Shows("Quorvel Version 1.0"));
            EXPECT_TRUE(Shows("Screens calls on one phone line"));
            EXPECT_TRUE(Shows(".-==-."));
            EXPECT_TRUE(Shows("[>OK<]"));
            EXPECT_FALSE(sim::HandleTerminalKey('s')); // the main dialog waits
        },
        key(27, true),
        [] { EXPECT_FALSE(sim::DialogOpen(IDD_ABOUTBOX)); },
        [&] { log.push_back(std::to_string(sim::FocusedControlId(Main()))); },
        key('\t', true),
        [&] { log.push_back(std::to_string(sim::FocusedControlId(Main()))); },
        key(sim::kTermKeyShiftTab, true),
        [&] { log.push_back(std::to_string(sim::FocusedControlId(Main()))); },
        key('m', true),
        [] {
            EXPECT_TRUE(sim::IsMinimized(Main()));
            EXPECT_TRUE(Shows("+-Ringward-+"));
            EXPECT_TRUE(Shows(".-==-."));
            EXPECT_NE(Screen().back().find("m Restore"), std::string::npos);
        },
        key('m', true),
        key('s', true),
        key('q', false),
        [] {
            EXPECT_FALSE(sim::IsMinimized(Main()));
            EXPECT_EQ(g_state.screening, 0);
            EXPECT_TRUE(Shows("Start screening calls"));
        },
    });
    RunProgramDialog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_NE(log[0], log[1]);
    EXPECT_EQ(log[0], log[2]);
    EXPECT_EQ(sim::MessageBoxes().size(), 3u);
}

TEST_F(TerminalTest, CtrlCWhileStoppedEndsTheProgram) {
    test::Steps({[] { sim::HandleTerminalKey(3); }});
    EXPECT_EXIT(
        {
            RunProgramDialog();
            _exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(TerminalTest, ActivityShowsNotesAndEveryNewRecordOfTheTailFile) {
    test::WriteFile("calls.txt", "an old record\n");
    StartHeadless("calls.txt");
    sim::Note("Call 1 from 8005551234 rings");
    {
        FILE *f = fopen("calls.txt", "ab");
        fputs("first new record\nsecond, half", f);
        fclose(f);
    }
    std::vector<std::string> screen = sim::RenderTerminalText(80, 12);
    std::vector<std::string> lines = sim::ActivityLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "14:47:28  Call 1 from 8005551234 rings");
    EXPECT_EQ(lines[1], "14:47:28  record: first new record");
    EXPECT_GE(LineWith(screen, "| 14:47:28  record: first new record"), 0);
    EXPECT_EQ(LineWith(screen, "an old record"), -1);
    {
        FILE *f = fopen("calls.txt", "ab");
        fputs(" done\n", f);
        fclose(f);
    }
    sim::Advance(2000);
    sim::Note("played");
    lines = sim::ActivityLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "14:47:30  played");
    EXPECT_EQ(lines[3], "14:47:30  record: second, half done");
    // A new file in the old one's place is read from its start.
    test::WriteFile("calls.txt", "fresh\n");
    sim::RenderTerminalText(80, 12);
    EXPECT_EQ(sim::ActivityLines().back(), "14:47:30  record: fresh");
}

TEST_F(TerminalTest, LongBoxTextIsBrokenAtLineFeedsAndWrapped) {
    StartHeadless("");
    std::string longLine(100, 'w');
    std::vector<std::string> screen;
    sim::AddTimer(10, [&] {
        screen = sim::RenderTerminalText(100, 30);
        EXPECT_TRUE(sim::HandleTerminalKey('\n'));
    });
    EXPECT_EQ(MessageBoxA(NULL, ("first\nsecond\n" + longLine).c_str(), "Title", 0), IDOK);
    int first = LineWith(screen, "| first");
    ASSERT_GE(first, 0) << screen[0];
    EXPECT_EQ(screen[(size_t)first - 2].find("| Title"), screen[(size_t)first].find("| first"));
    EXPECT_EQ(LineWith(screen, "(X)"), -1); // a box without the error icon has none
    EXPECT_EQ(LineWith(screen, "| second"), first + 1);
    EXPECT_EQ(LineWith(screen, std::string(68, 'w')), first + 2);
    EXPECT_EQ(LineWith(screen, "| " + std::string(32, 'w') + " "), first + 3);
}

TEST_F(TerminalTest, TerminationSignalOnlyAsksAndTheLoopRunsTheHandler) {
    int ran = 0;
    sim::SetTerminationHandler([&ran] { ran++; });
    EXPECT_FALSE(sim::PollTermination());
    raise(SIGTERM);
    raise(SIGHUP); // a second signal before the poll asks once more, not twice
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(sim::PollTermination());
    EXPECT_EQ(ran, 0); // posted, not run
    sim::DispatchAll();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(sim::PollTermination());
    sim::SetTerminationHandler(nullptr);
}

} // namespace
