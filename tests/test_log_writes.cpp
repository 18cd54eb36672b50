// The logs on a disk that fills or fails: every entry is whole in its file or absent, whatever
// failed (the write, the flush or the commit); a log's failure is reported once, and again only
// after one of its writes has succeeded; the report of a failed record waits until the answer is
// judged; a report that cannot be written itself is shown all the same; and screening goes on.
#include "diag/errhan.h"
#include "program_run.h"
#include "screening/screening.h"
#include "support.h"

#include <string>
#include <vector>

namespace {

namespace run = test::program;
using run::ProgramRun;

const char kEventLog[] = "EventLog.txt";
const char kCallsLog[] = "Calls Received.txt";
const char kEventLogReport[] = "Ringward: -1, MLC 800: W - Error writing EventLog.txt.\nGLE = ";
const char kCallsLogReport[] =
    "Ringward: -1, LGC 300: W - Error writing Calls Received.txt.\nGLE = ";

class LogWritesTest : public test::Machine {};

TEST_F(LogWritesTest, AnEntryIsWholeOrAbsentWhateverFailed) {
    const struct {
        LogFile log;
        const char *file;
        const char *function;
        DWORD error;
    } cases[] = {
        {EVENT_LOG, kEventLog, "_write", ERROR_DISK_FULL},
        {EVENT_LOG, kEventLog, "fflush", ERROR_DISK_FULL},
        {EVENT_LOG, kEventLog, "_commit", ERROR_IO_DEVICE},
        {CALLS_LOG, kCallsLog, "_write", ERROR_DISK_FULL},
        {CALLS_LOG, kCallsLog, "_commit", ERROR_IO_DEVICE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.function);
        test::BackToBoot();
        test::WriteFile(c.file, "from an earlier run\n");
        test::OpenLogs();
        sim::FailCall(c.function, c.error, 1, c.file);
        EXPECT_EQ(WriteLogEntry(c.log, "TST 300", "%s,   %s\n", "the lost entry", "Blocked"), -1);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(test::ReadFile(c.file), "from an earlier run\n");
        // The next entry stands on a line of its own, not glued to a fragment.
        EXPECT_EQ(WriteLogEntry(c.log, "TST 300", "%s\n", "the next entry"), 0);
        EXPECT_EQ(test::ReadFile(c.file), "from an earlier run\nthe next entry\n");
        EXPECT_TRUE(sim::MessageBoxes().empty()); // nothing is shown before it is asked for
    }
}

TEST_F(LogWritesTest, EachLogsFailureIsReportedOnceUntilAWriteSucceeds) {
    test::OpenLogs();
    std::vector<std::string> boxes;
    auto Attempt = [&boxes](LogFile log, const char *file, bool fails) {
        if (fails)
            sim::FailCall("_write", ERROR_DISK_FULL, 1, file);
        WriteLogEntry(log, log == EVENT_LOG ? "MLC 800" : "LGC 300", "an entry\n");
        ReportLogFailures();
        for (const sim::MessageBoxRecord &box : sim::MessageBoxes())
            boxes.push_back(box.text.substr(box.text.find('\n') + 1));
        sim::ClearMessageBoxes();
    };
    Attempt(EVENT_LOG, kEventLog, true);  // reported
    Attempt(EVENT_LOG, kEventLog, true);  // silent: nothing written since
    Attempt(CALLS_LOG, kCallsLog, true);  // the other log's own first failure
    Attempt(CALLS_LOG, kCallsLog, false); // written again
    Attempt(EVENT_LOG, kEventLog, true);  // still silent
    Attempt(CALLS_LOG, kCallsLog, true);  // reported again
    const std::string disk = std::to_string(ERROR_DISK_FULL);
    EXPECT_EQ(boxes, (std::vector<std::string>{kEventLogReport + disk, kCallsLogReport + disk,
                                               kCallsLogReport + disk}));
    EXPECT_EQ(test::ReadFile(kCallsLog), "an entry\n");
}

// ---- The whole program on a disk that fails ---------------------------------------------------

const uint64_t kBeforeCall = 1500;
const int kEveryWriteLeft = 200; // more writes than the rest of the run makes

// The tag of each box, in order.
std::vector<std::string> BoxTags(const ProgramRun &run) {
    std::vector<std::string> tags;
    for (const run::BoxSeen &box : run.boxes) {
        size_t tag = box.text.find(", ", box.text.find("\nRingward: "));
        tags.push_back(tag == std::string::npos ? box.text : box.text.substr(tag + 2, 7));
    }
    return tags;
}

TEST_F(LogWritesTest, ADiskThatFillsBeforeABlockedCallLosesRecordsButNotTheScreening) {
    ProgramRun run = run::RunProgram([] {
        run::BlockedCallScenario();
        run::At(kBeforeCall, [] {
            for (int i = 0; i < kEveryWriteLeft; i++)
                sim::FailCall("_write", ERROR_DISK_FULL);
        });
    });
    ASSERT_TRUE(run.ExitedWithCodeZero()) << run.Describe();
    // One box per log, and neither report could reach the full disk.
    EXPECT_EQ(BoxTags(run), (std::vector<std::string>{"MLC 800", "LGC 300"})) << run.Describe();
    for (const run::BoxSeen &box : run.boxes)
        EXPECT_FALSE(box.reportInLogFirst);
    EXPECT_EQ(run.eventLog.substr(0, 30), "\nStarting screening calls at M");
    EXPECT_EQ(run.eventLog.find("LineCallback"), std::string::npos) << run.eventLog;
    EXPECT_EQ(run.callsLog, "");
    // Blocking still protects the user: answered, played, hung up and released.
    for (const char *step : {"] lineAnswer(", "] waveOutWrite(", "] lineDrop(", "] lineClose("})
        EXPECT_NE(run.journal.find(step), std::string::npos) << step;
    EXPECT_EQ(run.Left("calls"), 0);
}

TEST_F(LogWritesTest, ALostRecordIsReportedOnlyOnceTheAnswerIsJudged) {
    ProgramRun run = run::RunProgram([] {
        run::BlockedCallScenario();
        run::At(kBeforeCall, [] {
            sim::FailCall("lineAnswer", (LONG)LINEERR_INVALCALLSTATE);
            sim::FailCall("_write", ERROR_DISK_FULL, 1, kCallsLog);
        });
    });
    ASSERT_TRUE(run.ExitedWithCodeZero()) << run.Describe();
    EXPECT_EQ(BoxTags(run), (std::vector<std::string>{"MLC 580", "LGC 300"})) << run.Describe();
    EXPECT_EQ(run.ReportTags(), (std::vector<std::string>{"MLC 580", "LGC 300"}));
    EXPECT_EQ(run.callsLog, "");
}

} // namespace
