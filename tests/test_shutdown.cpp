// ShutdownAndExit: the fixed release order, the pause after the drop, its reports when a release
// fails, both logs closed, exit code 0, and the latch against a nested call.
#include "screening/screening.h"
#include "support.h"

#include <string>

namespace {

class ShutdownTest : public test::Machine {
  protected:
    // Runs ShutdownAndExit in a child process with the given handles and checks exit code 0.
    void RunShutdown(HCALL call, HLINE line, HLINEAPP app, void (*arrange)() = nullptr) {
        remove("EventLog.txt");
        EXPECT_EXIT(
            {
                test::OpenLogs();
                g_state.hCall = call;
                g_state.hLine = line;
                g_state.hLineApp = app;
                if (arrange)
                    arrange();
                test::DumpOnExit();
                ShutdownAndExit();
                fprintf(stderr, "ShutdownAndExit returned\n");
                _exit(3);
            },
            ::testing::ExitedWithCode(0), "");
        journal = test::ReadFile("journal.txt");
        boxes = test::ReadFile("boxes.txt");
        eventLog = test::ReadFile("EventLog.txt");
    }
    std::string journal, boxes, eventLog;
};

TEST_F(ShutdownTest, ReleasesCallLineAndUsageInOrder) {
    RunShutdown(0x10005, 0x20003, 0x30001);
    EXPECT_EQ(journal, "[0] lineDrop(65541, 0, 0) = 1\n"
                       "[1000] lineDeallocateCall(65541) = 0\n"
                       "[1000] lineClose(131075) = 0\n"
                       "[1000] lineShutdown(196609) = 0\n");
    EXPECT_EQ(boxes, "");
    EXPECT_EQ(eventLog, "");
}

TEST_F(ShutdownTest, WithNothingOpenOnlyTheLogsAreClosed) {
    RunShutdown(0, 0, 0);
    EXPECT_EQ(journal, "");
    EXPECT_EQ(boxes, "");
}

TEST_F(ShutdownTest, LogsAreClosedEvenWhenNeverOpened) {
    EXPECT_EXIT(
        {
            test::DumpOnExit();
            ShutdownAndExit();
            _exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::ReadFile("journal.txt"), "");
}

struct ReleaseFailure {
    const char *function;
    int64_t result;
    const char *report;
};

TEST_F(ShutdownTest, EveryFailedReleaseIsReportedAndTheRestStillRuns) {
    const ReleaseFailure cases[] = {
        {"lineDrop", (LONG)LINEERR_INVALCALLHANDLE,
         "Ringward: -2147483624, SHU 300: S - Error hanging up line.\nGLE = 0"},
        {"lineDeallocateCall", (LONG)LINEERR_INVALCALLSTATE,
         "Ringward: -2147483620, SHU 320: S - Error deallocating call.\nGLE = 0"},
        {"lineClose", (LONG)LINEERR_INVALLINEHANDLE,
         "Ringward: -2147483605, SHU 340: W - Error closing device.\nGLE = 0"},
        {"lineShutdown", (LONG)LINEERR_INVALAPPHANDLE,
         "Ringward: -2147483628, SHU 360: W - Error shutting down device.\nGLE = 0"},
    };
    for (const ReleaseFailure &c : cases) {
        static const ReleaseFailure *current;
        current = &c;
        RunShutdown(7, 8, 9, [] { sim::FailCall(current->function, current->result); });
        EXPECT_NE(journal.find("lineDeallocateCall(7)"), std::string::npos) << c.function;
        EXPECT_NE(journal.find("lineClose(8)"), std::string::npos) << c.function;
        EXPECT_NE(journal.find("lineShutdown(9)"), std::string::npos) << c.function;
        // The report follows the pause after the drop.
        EXPECT_EQ(boxes,
                  std::string("none|Ringward|10010|Mon Dec 07 14:47:29 2026\n") + c.report + "\n")
            << c.function;
        EXPECT_NE(eventLog.find(c.report), std::string::npos) << c.function;
        EXPECT_EQ(eventLog.find("Ringward", eventLog.find("Ringward") + 1), std::string::npos);
    }
}

TEST_F(ShutdownTest, AcceptedDropPassesWithItsRequestId) {
    RunShutdown(5, 0, 0, [] { sim::FailCall("lineDrop", 77); });
    EXPECT_EQ(boxes, "");
    RunShutdown(5, 0, 0, [] { sim::FailCall("lineDrop", 0); });
    EXPECT_EQ(boxes, "");
}

TEST_F(ShutdownTest, HandlesAreClearedEvenWhenReleasesFail) {
    EXPECT_EXIT(
        {
            g_state.hCall = 1;
            g_state.hLine = 2;
            g_state.hLineApp = 3;
            sim::FailCall("lineDeallocateCall", -1);
            sim::FailCall("lineClose", -1);
            sim::FailCall("lineShutdown", -1);
            atexit([] {
                if (g_state.hCall || g_state.hLine || g_state.hLineApp || g_state.eventLog ||
                    g_state.callsLog)
                    _exit(4);
            });
            ShutdownAndExit();
        },
        ::testing::ExitedWithCode(0), "");
}

// The box of the first report runs the message loop; a line message handled there shuts down
// again, which must return at once and release nothing twice.
void NestedShutdownFromTheBoxLoop() {
    sim::FailCall("lineDrop", (LONG)LINEERR_OPERATIONFAILED);
    sim::PostLineMessage({[](DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
                              ShutdownAndExit();
                              fprintf(g_state.eventLog, "nested call returned\n");
                          },
                          0, 0, 0, 0, 0, 0});
}

TEST_F(ShutdownTest, NestedCallDuringAReportReturnsAtOnce) {
    RunShutdown(5, 6, 7, NestedShutdownFromTheBoxLoop);
    EXPECT_EQ(journal, "[0] lineDrop(5, 0, 0) = -2147483576\n"
                       "[1000] lineDeallocateCall(5) = 0\n"
                       "[1000] lineClose(6) = 0\n"
                       "[1000] lineShutdown(7) = 0\n");
    EXPECT_NE(
        eventLog.find("SHU 300: S - Error hanging up line.\nGLE = 0\n\nnested call returned\n"),
        std::string::npos)
        << eventLog;
}

} // namespace
