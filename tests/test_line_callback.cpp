// The line event handler, driven by whole calls on the simulated line: what it logs, the
// telephony calls it makes, the records it writes and what the caller hears; and the odd
// message orders it must survive, injected raw.
#include "platform/sim/multimedia.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"
#include "support.h"
#include "wave_files.h"

#include <string.h>
#include <string>
#include <vector>

namespace {

const HCALL kFirstCall = 0x10001;

class LineCallbackTest : public test::Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        test::OpenLogs();
        opened = test::OpenModemLine(LineCallback);
        g_state.hLineApp = opened.app;
        g_state.hLine = opened.line;
        g_state.screening = 1;
        zap = test::Samples(8000, 1); // half a second at 8 kHz, 16 bits
        anon = test::Samples(4000, 2);
        goAway = test::Samples(16000, 3);
        test::WriteFile("ZapMessage.wav", test::PcmWave(1, 8000, 16, zap));
        test::WriteFile("AnonCallerMessage.wav", test::PcmWave(1, 8000, 16, anon));
        test::WriteFile("Go Away.wav", test::PcmWave(1, 8000, 16, goAway));
    }

    void Block(const char *entry, const char *message) {
        strcpy(g_state.blockList[g_state.blockCount], entry);
        strcpy(g_state.blockMessages[g_state.blockCount], message);
        g_state.blockCount++;
    }
    void Accept(const char *entry) { strcpy(g_state.acceptList[g_state.acceptCount++], entry); }

    int Ring(const char *number, const char *name, int rings = 4, bool callerId = true) {
        return sim::TheLineService().ScheduleCall(sim::MakeCall(number, name, rings, callerId),
                                                  sim::NowMs());
    }

    // Runs the program's message loop for ms of simulated time.
    void RunFor(uint64_t ms) {
        uint64_t end = sim::NowMs() + ms;
        sim::AddTimer(end, [] {});
        sim::RunMessageLoop([end] { return sim::NowMs() >= end; });
    }

    void Inject(DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2 = 0) {
        sim::TheLineService().InjectMessage(sim::NowMs(), hDevice, msg, p1, p2, 0);
        RunFor(1);
    }

    // The telephony calls made since the line was opened, one per line.
    static std::string LineCalls() {
        std::string text;
        for (const sim::ApiCall &call : sim::Journal()) {
            if (call.function.compare(0, 4, "line") != 0)
                continue;
            text += call.function + "(";
            for (size_t i = 0; i < call.args.size(); i++)
                text += (i ? ", " : "") + std::to_string(call.args[i]);
            text += ") = " + std::to_string(call.result) + "\n";
        }
        return text;
    }

    static std::string EventLine(const char *time, int msg, int p1, int p2) {
        return std::string("12/07/2026 ") + time +
               " LineCallback event: dwMsg = " + std::to_string(msg) +
               ", dwParam1 = " + std::to_string(p1) + ", dwParam2 = " + std::to_string(p2) + "\n";
    }

    test::OpenedLine opened;
    std::string zap, anon, goAway;
};

TEST_F(LineCallbackTest, BlockedCallerHearsItsEntrysMessageAndIsReleased) {
    Block("800555", "Go Away.wav");
    Ring("1-800-555-0199", "SPAM, INC");
    RunFor(20000);

    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              EventLine("14:47:28", 23, 0, 65537) + EventLine("14:47:28", 2, 2, 0) +
                  EventLine("14:47:30", 1, 32768, 0) + EventLine("14:47:30", 12, 1, 0) +
                  EventLine("14:47:30", 2, 256, 0) + EventLine("14:47:31", 12, 2, 0));
    EXPECT_EQ(test::ReadFile("Calls Received.txt"),
              "12/07/2026 14:47:30,   SPAM; INC       ,   800-555-0199,   Blocked\n");
    // The call information grows from the 2.x size to the 3.0 one, then to hold the texts.
    EXPECT_EQ(LineCalls(), "lineGetCallInfoA(65537, 324) = -2147483571\n"
                           "lineGetCallInfoA(65537, 344) = 0\n"
                           "lineGetCallInfoA(65537, 369) = 0\n"
                           "lineAnswer(65537, 0, 0) = 1\n"
                           "lineGetIDA(131073, 0, 0, 1, 24) = 0\n"
                           "lineGetIDA(131073, 0, 0, 1, 28) = 0\n"
                           "lineDrop(65537, 0, 0) = 2\n"
                           "lineDeallocateCall(65537) = 0\n");
    ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
    const sim::PlayedBuffer &played = sim::PlayedBuffers()[0];
    EXPECT_EQ(played.deviceId, 0u);
    EXPECT_EQ(played.file, "Go Away.wav");
    EXPECT_EQ(played.samples, goAway);
    EXPECT_TRUE(played.complete);
    // The drop comes only after the whole second of the message.
    EXPECT_GE(sim::CallsTo("lineDrop")[0].timeMs, played.startMs + 1000);
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(g_state.callInfoHandled, 0);
    EXPECT_EQ(g_state.dropRequestId, 0);
    EXPECT_EQ(g_state.answerRequestId, 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

struct MessageCase {
    const char *number; // delivered number, null for none
    const char *name;
    const char *blockEntry;
    const char *expectedFile;
};

TEST_F(LineCallbackTest, EntriesWithoutMessageChooseByNumber) {
    const MessageCase cases[] = {
        {"P", "PRIVATE", "P", "AnonCallerMessage.wav"},
        {nullptr, "P", "P", "AnonCallerMessage.wav"},
        {"O", "OUT OF AREA", "O", "ZapMessage.wav"},
        {nullptr, nullptr, "N", "ZapMessage.wav"},
        {"2125550100", "PEST", "212", "ZapMessage.wav"},
    };
    for (const MessageCase &c : cases) {
        g_state.blockCount = 0;
        g_state.messageFile[0] = '\0';
        Block(c.blockEntry, "");
        sim::ClearPlayedBuffers();
        Ring(c.number, c.name);
        RunFor(20000);
        ASSERT_EQ(sim::PlayedBuffers().size(), 1u) << c.blockEntry;
        EXPECT_EQ(sim::PlayedBuffers()[0].file, c.expectedFile) << c.blockEntry;
        EXPECT_EQ(g_state.hCall, 0u) << c.blockEntry;
    }
}

TEST_F(LineCallbackTest, AllowedCallerRingsOutAndIsReleasedWhenIdle) {
    Accept("800");
    Block("800555", "Go Away.wav"); // on both lists: allowed
    Ring("8005550199", "FRIEND", 3);
    RunFor(30000);
    EXPECT_EQ(test::ReadFile("Calls Received.txt"),
              "12/07/2026 14:47:30,   FRIEND          ,   800-555-0199,   Allowed\n");
    EXPECT_EQ(sim::CallsTo("lineAnswer").size(), 0u);
    EXPECT_TRUE(sim::PlayedBuffers().empty());
    ASSERT_EQ(sim::CallsTo("lineDrop").size(), 1u);
    EXPECT_EQ(sim::CallsTo("lineDrop")[0].timeMs, 17000u); // after the third ring
    EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
    EXPECT_EQ(g_state.hCall, 0u);
    std::string log = test::ReadFile("EventLog.txt");
    EXPECT_NE(log.find(EventLine("14:47:34", 8, 2, 1)), std::string::npos) << log;
}

TEST_F(LineCallbackTest, CallThatRangOnceWithoutCallerIdIsReleasedWithoutRecord) {
    Ring(nullptr, nullptr, 1, false);
    RunFor(10000);
    EXPECT_EQ(test::ReadFile("Calls Received.txt"), "");
    EXPECT_EQ(LineCalls(), "lineDrop(65537, 0, 0) = 1\nlineDeallocateCall(65537) = 0\n");
    EXPECT_EQ(g_state.hCall, 0u);
}

TEST_F(LineCallbackTest, IdleCallWithRingsInBetweenIsLeftAlone) {
    Ring(nullptr, nullptr, 3, false);
    RunFor(30000);
    EXPECT_EQ(LineCalls(), "");
    EXPECT_EQ(g_state.hCall, kFirstCall);
    EXPECT_EQ(g_state.callProgress, 0);
}

TEST_F(LineCallbackTest, SecondCallerIdMessageIsIgnored) {
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(2600); // the caller ID has been handled, the answer is under way
    Inject(kFirstCall, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
    RunFor(10000);
    EXPECT_EQ(sim::CallsTo("lineAnswer").size(), 1u);
    EXPECT_EQ(sim::CallsTo("lineGetCallInfoA").size(), 3u);
    std::string calls = test::ReadFile("Calls Received.txt");
    EXPECT_EQ(calls.find("Blocked"), calls.rfind("Blocked"));
}

TEST_F(LineCallbackTest, CallerIdWithOtherFlagsOnlyResetsProgress) {
    Block("555", "");
    Ring("5550100", "PEST", 4, false);
    RunFor(100);
    EXPECT_EQ(g_state.callProgress, 2);
    Inject(kFirstCall, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID | 0x4);
    EXPECT_EQ(g_state.callProgress, 0);
    EXPECT_EQ(g_state.callInfoHandled, 0);
    EXPECT_EQ(sim::CallsTo("lineGetCallInfoA").size(), 0u);
}

TEST_F(LineCallbackTest, ScreeningOffOnlyLogs) {
    g_state.screening = 0;
    g_state.callProgress = 2;
    Block("555", "");
    Ring("5550100", "PEST", 2);
    RunFor(20000);
    EXPECT_EQ(LineCalls(), "");
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(g_state.hLine, opened.line);
    EXPECT_EQ(g_state.callProgress, 2);
    EXPECT_EQ(test::ReadFile("Calls Received.txt"), "");
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              EventLine("14:47:28", 23, 0, 65537) + EventLine("14:47:28", 2, 2, 0) +
                  EventLine("14:47:30", 1, 32768, 0) + EventLine("14:47:34", 8, 2, 1) +
                  EventLine("14:47:39", 2, 1, 0));
}

TEST_F(LineCallbackTest, ErrorsInParametersAreLoggedAsSignedNumbers) {
    g_state.screening = 0;
    Inject(0, LINE_REPLY, 7, (DWORD)LINEERR_OPERATIONFAILED);
    EXPECT_EQ(test::ReadFile("EventLog.txt"), EventLine("14:47:28", 12, 7, -2147483576));
}

TEST_F(LineCallbackTest, RecordsGrowToExactlyTheNeededSize) {
    // A platform that answers 0 but asks for more, and one whose first answer is "too small".
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(20000);
    std::vector<sim::ApiCall> info = sim::CallsTo("lineGetCallInfoA");
    ASSERT_EQ(info.size(), 3u);
    EXPECT_EQ(info[2].args[1], 344u + 8 + 5); // fixed part, "5550100\0", "PEST\0"
    std::vector<sim::ApiCall> ids = sim::CallsTo("lineGetIDA");
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].args[4], 24u);
    EXPECT_EQ(ids[1].args[4], 28u);
}

TEST_F(LineCallbackTest, UnmatchedRepliesChangeNothing) {
    g_state.hCall = kFirstCall;
    g_state.answerRequestId = 5;
    g_state.dropRequestId = 6;
    g_state.callInfoHandled = 1;
    Inject(0, LINE_REPLY, 7, 0);
    Inject(0, LINE_REPLY, 0, 0); // 0 names no request
    EXPECT_EQ(g_state.answerRequestId, 5);
    EXPECT_EQ(g_state.dropRequestId, 6);
    EXPECT_EQ(g_state.callInfoHandled, 1);
    EXPECT_EQ(g_state.hCall, kFirstCall);
    EXPECT_EQ(LineCalls(), "");
}

TEST_F(LineCallbackTest, DropReplyWithoutCallOnlyClearsTheRequest) {
    g_state.dropRequestId = 9;
    g_state.callInfoHandled = 1;
    Inject(0, LINE_REPLY, 9, 0);
    EXPECT_EQ(g_state.dropRequestId, 0);
    EXPECT_EQ(g_state.callInfoHandled, 0);
    EXPECT_EQ(LineCalls(), "");
}

TEST_F(LineCallbackTest, IdleBeforeTheDropReplyDropsTwiceAndReleasesOnTheSecondReply) {
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(2600); // caller ID handled, answer issued (request 1)
    sim::DiscardMessages();
    // The answer's reply, the connection, then the far end's idle ahead of the drop's reply.
    sim::TheLineService().HangUpFarEnd(1); // the service sees no connection yet: caller gives up
    Inject(0, LINE_REPLY, 1, 0);
    EXPECT_EQ(g_state.answerRequestId, 0);
    sim::DiscardMessages();
    Inject(kFirstCall, LINE_CALLSTATE, LINECALLSTATE_IDLE); // first drop: request 2
    EXPECT_EQ(g_state.dropRequestId, 2);
    EXPECT_EQ(g_state.callInfoHandled, 0);
    sim::DiscardMessages();
    g_state.callInfoHandled = 1;                            // as after the connected steps' drop
    Inject(kFirstCall, LINE_CALLSTATE, LINECALLSTATE_IDLE); // second drop: request 3
    EXPECT_EQ(g_state.dropRequestId, 3);
    sim::DiscardMessages();
    Inject(0, LINE_REPLY, 2, 0); // the first drop's reply matches nothing now
    EXPECT_EQ(g_state.hCall, kFirstCall);
    Inject(0, LINE_REPLY, 3, 0);
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
}

TEST_F(LineCallbackTest, DropReplyAfterScreeningStoppedIsIgnoredUntilTheNextIdle) {
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(2800 + 500 + 1); // connected, message played, drop issued (request 2)
    EXPECT_EQ(g_state.dropRequestId, 2);
    g_state.screening = 0;
    RunFor(1000); // the drop's reply arrives while screening is off
    EXPECT_EQ(g_state.dropRequestId, 2);
    EXPECT_EQ(g_state.callInfoHandled, 1);

    // The next caller's ID is passed over until that call's idle drop clears the state.
    g_state.screening = 1;
    Ring("5550101", "PEST AGAIN", 1);
    RunFor(20000);
    EXPECT_EQ(sim::CallsTo("lineAnswer").size(), 1u);
    std::string calls = test::ReadFile("Calls Received.txt");
    EXPECT_EQ(calls.find("PEST AGAIN"), std::string::npos) << calls;
    EXPECT_EQ(g_state.callInfoHandled, 0);
    EXPECT_EQ(g_state.dropRequestId, 0);
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
}

// ---- Failures end the program ----------------------------------------------------------------

class LineFailureTest : public LineCallbackTest {
  protected:
    // Runs body in a child that must end with exit code 0; afterwards the parent holds the
    // child's journal, boxes and logs.
    template <typename Body> void ExpectShutdown(Body body) {
        test::Aftermath left = test::RunToExitZero(body);
        journal = left.journal;
        boxes = left.boxes;
        eventLog = left.eventLog;
    }
    std::string journal, boxes, eventLog;
};

TEST_F(LineFailureTest, CallerIdForAnotherCallEndsWithCallHandleMismatch) {
    ExpectShutdown([this] {
        g_state.screening = 0;
        Ring("5550100", "PEST", 4);
        RunFor(1000); // announced while screening was off
        g_state.screening = 1;
        RunFor(5000);
    });
    EXPECT_NE(eventLog.find("Ringward: 0, MLC 520: F - Call handle mismatch.\nGLE = 0\n\n"),
              std::string::npos)
        << eventLog;
    EXPECT_NE(journal.find("lineClose(131073) = 0"), std::string::npos);
    EXPECT_NE(journal.find("lineShutdown(196609) = 0"), std::string::npos);
}

TEST_F(LineFailureTest, FailedAnswerLeavesTheBlockedRecordBeforeItsReport) {
    ExpectShutdown([this] {
        Block("555", "");
        sim::FailCall("lineAnswer", (LONG)LINEERR_INVALCALLSTATE);
        sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) {
            test::WriteFile("calls-at-box.txt", test::ReadFile("Calls Received.txt"));
            return IDOK;
        });
        Ring("5550100", "PEST", 4);
        RunFor(5000);
    });
    EXPECT_EQ(test::ReadFile("calls-at-box.txt"),
              "12/07/2026 14:47:30,   PEST            ,   555-010-   0,   Blocked\n");
    EXPECT_NE(boxes.find("Ringward: -2147483620, MLC 580: F - Error during lineAnswer."),
              std::string::npos)
        << boxes;
    // The shutdown drops and releases the call the answer failed on.
    EXPECT_NE(journal.find("lineDrop(65537, 0, 0)"), std::string::npos) << journal;
}

struct FailureCase {
    const char *function; // platform call made to fail
    int64_t result;
    const char *report;
};

TEST_F(LineFailureTest, EveryFailedStepOfABlockedCallIsReportedAndEndsTheProgram) {
    const FailureCase cases[] = {
        {"lineGetCallInfoA", (LONG)LINEERR_OPERATIONFAILED,
         "Ringward: -2147483576, MLC 560: F - Error during lineGetCallInfo."},
        {"lineGetIDA", (LONG)LINEERR_INVALDEVICECLASS,
         "Ringward: -2147483613, MLC 740: F - Error during lineGetID."},
        {"waveOutOpen", MMSYSERR_ALLOCATED, "Ringward: 0, MLC 760: F - Error playing zap message."},
        {"lineDrop", (LONG)LINEERR_INVALCALLSTATE,
         "Ringward: -2147483620, MLC 780: S - Error hanging up line."},
        {"lineDeallocateCall", (LONG)LINEERR_INVALCALLSTATE,
         "Ringward: -2147483620, MLC 340: F - Error hanging up line."},
    };
    for (const FailureCase &c : cases) {
        ExpectShutdown([this, &c] {
            Block("555", "");
            sim::FailCall(c.function, c.result);
            Ring("5550100", "PEST", 4);
            RunFor(20000);
        });
        EXPECT_NE(eventLog.find(c.report), std::string::npos) << c.function << "\n" << eventLog;
    }
}

TEST_F(LineFailureTest, FailedAllocationOfTheCallInformationIsReported) {
    ExpectShutdown([this] {
        Block("555", "");
        sim::FailCall("realloc", 0);
        Ring("5550100", "PEST", 4);
        RunFor(20000);
    });
    EXPECT_NE(eventLog.find("Ringward: 0, MLC 540: F - Error during realloc."), std::string::npos)
        << eventLog;
}

struct ReplyFailureCase {
    LONG answerId, dropId, replyId;
    const char *report;
};

TEST_F(LineFailureTest, FailedRepliesAndIdleDropsEndTheProgram) {
    const ReplyFailureCase cases[] = {
        {4, 0, 4, "Ringward: -2147483576, MLC 300: F - Error during lineAnswer."},
        {0, 4, 4, "Ringward: -2147483576, MLC 320: W - Error during ignoring call lineDrop."},
    };
    for (const ReplyFailureCase &c : cases) {
        ExpectShutdown([this, &c] {
            g_state.answerRequestId = c.answerId;
            g_state.dropRequestId = c.dropId;
            Inject(0, LINE_REPLY, (DWORD)c.replyId, (DWORD)LINEERR_OPERATIONFAILED);
        });
        EXPECT_NE(eventLog.find(c.report), std::string::npos) << eventLog;
    }
    ExpectShutdown([this] {
        g_state.callInfoHandled = 1;
        sim::FailCall("lineDrop", (LONG)LINEERR_INVALCALLHANDLE);
        Inject(kFirstCall, LINE_CALLSTATE, LINECALLSTATE_IDLE);
    });
    EXPECT_NE(eventLog.find("Ringward: -2147483624, MLC 700: F - Error during lineDrop."),
              std::string::npos)
        << eventLog;
}

} // namespace
