// ShutdownAndExit: the fixed release order, the pause after the drop, its reports when a release
// fails, both logs closed, exit code 0, and the latch against a nested call.
#include "screening/screening.h"
#include "platform/sim/telephony.h"
#include "support.h"

#include <string>
#include <vector>

namespace {

void CALLBACK IgnoreMessage(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

class ShutdownTest : public test::Machine {
  protected:
    // Runs ShutdownAndExit in a child process, with a ringing call on an open line, and checks
    // exit code 0. withCall, withLine, withApp choose which handles the state record holds.
    void RunShutdown(bool withCall, bool withLine, bool withApp, void (*arrange)() = nullptr) {
        remove("EventLog.txt");
        test::Aftermath left = test::RunToExitZero([&] {
            test::OpenLogs();
            test::OpenedLine opened = test::OpenModemLine(IgnoreMessage);
            HCALL call = test::RingInCall();
            sim::ClearJournal();
            g_state.hCall = withCall ? call : 0;
            g_state.hLine = withLine ? opened.line : 0;
            g_state.hLineApp = withApp ? opened.app : 0;
            if (arrange)
                arrange();
            ShutdownAndExit();
        });
        journal = left.journal;
        boxes = left.boxes;
        eventLog = left.eventLog;
    }
    std::string journal, boxes, eventLog;
};

TEST_F(ShutdownTest, ReleasesCallLineAndUsageInOrder) {
    RunShutdown(true, true, true);
    EXPECT_EQ(journal, "[0] lineDrop(65537, 0, 0) = 1\n"
                       "[1000] lineDeallocateCall(65537) = 0\n"
                       "[1000] lineClose(131073) = 0\n"
                       "[1000] lineShutdown(196609) = 0\n");
    EXPECT_EQ(boxes, "");
    EXPECT_EQ(eventLog, "");
}

TEST_F(ShutdownTest, WithNothingOpenOnlyTheLogsAreClosed) {
    RunShutdown(false, false, false);
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
    std::vector<const char *> reports;
};

TEST_F(ShutdownTest, EveryFailedReleaseIsReportedAndTheRestStillRuns) {
    const char *kDropReport = "Ringward: -2147483624, SHU 300: S - Error hanging up line.\nGLE = 0";
    const ReleaseFailure cases[] = {
        // A call that was not dropped still rings; from 2.0 on its handle goes all the same.
        {"lineDrop", (LONG)LINEERR_INVALCALLHANDLE, {kDropReport}},
        {"lineDeallocateCall",
         (LONG)LINEERR_INVALCALLSTATE,
         {"Ringward: -2147483620, SHU 320: S - Error deallocating call.\nGLE = 0"}},
        {"lineClose",
         (LONG)LINEERR_INVALLINEHANDLE,
         {"Ringward: -2147483605, SHU 340: W - Error closing device.\nGLE = 0"}},
        {"lineShutdown",
         (LONG)LINEERR_INVALAPPHANDLE,
         {"Ringward: -2147483628, SHU 360: W - Error shutting down device.\nGLE = 0"}},
    };
    for (const ReleaseFailure &c : cases) {
        static const ReleaseFailure *current;
        current = &c;
        RunShutdown(true, true, true, [] { sim::FailCall(current->function, current->result); });
        EXPECT_NE(journal.find("lineDeallocateCall(65537)"), std::string::npos) << c.function;
        EXPECT_NE(journal.find("lineClose(131073)"), std::string::npos) << c.function;
        EXPECT_NE(journal.find("lineShutdown(196609)"), std::string::npos) << c.function;
        // Every report follows the pause after the drop, in the log and in its own box.
        std::string expectedBoxes, expectedLog;
        for (const char *report : c.reports) {
            expectedBoxes +=
                std::string("none|Ringward|10010|Mon Dec 07 14:47:29 2026\n") + report + "\n";
            expectedLog += std::string("Mon Dec 07 14:47:29 2026\n") + report + "\n\n";
        }
        EXPECT_EQ(boxes, expectedBoxes) << c.function;
        EXPECT_EQ(eventLog, expectedLog) << c.function;
    }
}

TEST_F(ShutdownTest, AcceptedDropPassesWithItsRequestId) {
    // The drop is taken as given; the call is idle by the time it is deallocated.
    RunShutdown(true, false, false, [] {
        sim::FailCall("lineDrop", 77);
        sim::TheLineService().HangUpFarEnd(1);
    });
    EXPECT_EQ(boxes, "");
    RunShutdown(true, false, false, [] {
        sim::FailCall("lineDrop", 0);
        sim::TheLineService().HangUpFarEnd(1);
    });
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
    RunShutdown(true, true, true, NestedShutdownFromTheBoxLoop);
    EXPECT_EQ(journal, "[0] lineDrop(65537, 0, 0) = -2147483576\n"
                       "[1000] lineDeallocateCall(65537) = 0\n"
                       "[1000] lineClose(131073) = 0\n"
                       "[1000] lineShutdown(196609) = 0\n");
    EXPECT_NE(
        eventLog.find("SHU 300: S - Error hanging up line.\nGLE = 0\n\nnested call returned\n"),
        std::string::npos)
        << eventLog;
}

} // namespace
