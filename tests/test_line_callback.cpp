// The line event handler, driven by whole calls on the simulated line: what it logs, the
// telephony calls it makes, the records it writes and what the caller hears; and the odd
// message orders it must survive, injected raw.
#include "platform/sim/multimedia.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"
#include "support.h"
#include "wave_files.h"

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const HCALL kFirstCall = 0x10001;

class LineCallbackTest : public test::Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        zap = test::Samples(8000, 1); // half a second at 8 kHz, 16 bits
        anon = test::Samples(4000, 2);
        goAway = test::Samples(16000, 3);
        test::WriteFile("ZapMessage.wav", test::PcmWave(1, 8000, 16, zap));
        test::WriteFile("AnonCallerMessage.wav", test::PcmWave(1, 8000, 16, anon));
        test::WriteFile("Go Away.wav", test::PcmWave(1, 8000, 16, goAway));
        Boot();
    }

    // Empty logs, the modem's line open with the handler on it, screening on.
    void Boot() {
        test::BackToBoot();
        remove("EventLog.txt");
        remove("Calls Received.txt");
        test::OpenLogs();
        opened = test::OpenModemLine(LineCallback);
        g_state.hLineApp = opened.app;
        g_state.hLine = opened.line;
        g_state.lineVersion = sim::TheLineService().OpenLineVersion();
        g_state.screening = 1;
    }

    // The open line's device, whose provider's behaviour a test may change.
    static sim::LineDeviceConfig &Line() { return sim::TheLineService().Devices()[0]; }

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

    // The offering and connected modes say ACTIVE; the call is idle before the drop's reply, so
    // the handler drops it once more, the line refuses that, and the call is released at once.
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              EventLine("14:47:28", 23, 0, 65537) + EventLine("14:47:28", 2, 2, 1) +
                  EventLine("14:47:30", 1, 32768, 0) + EventLine("14:47:30", 12, 1, 0) +
                  EventLine("14:47:30", 2, 256, 1) + EventLine("14:47:31", 2, 1, 0) +
                  EventLine("14:47:31", 12, 2, 0));
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
                           "lineDrop(65537, 0, 0) = -2147483620\n"
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
    // The line will not drop an idle call; nothing is left to wait for.
    EXPECT_EQ(sim::CallsTo("lineDrop")[0].result, (LONG)LINEERR_INVALCALLSTATE);
    EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(g_state.dropRequestId, 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    // Nobody asked for ring messages.
    std::string log = test::ReadFile("EventLog.txt");
    EXPECT_EQ(log.find("dwMsg = 8,"), std::string::npos) << log;
}

TEST_F(LineCallbackTest, CallThatRangOnceWithoutCallerIdIsReleasedWithoutRecord) {
    Ring(nullptr, nullptr, 1, false);
    RunFor(10000);
    EXPECT_EQ(test::ReadFile("Calls Received.txt"), "");
    EXPECT_EQ(LineCalls(), "lineDrop(65537, 0, 0) = -2147483620\nlineDeallocateCall(65537) = 0\n");
    EXPECT_EQ(g_state.hCall, 0u);
}

struct RingCase {
    bool ringMessages;
    int rings;
    bool released;
};

TEST_F(LineCallbackTest, RingMessagesDecideWhetherACallWithoutCallerIdIsReleased) {
    // Without ring messages nothing comes between offering and idle, however often it rang;
    // with them, even the first ring is one, and the idle call is left alone.
    const RingCase cases[] = {
        {false, 1, true}, {false, 3, true}, {true, 1, false}, {true, 3, false}};
    for (const RingCase &c : cases) {
        Boot();
        Line().ringMessages = c.ringMessages;
        Ring(nullptr, nullptr, c.rings, false);
        RunFor(30000);
        std::string log = test::ReadFile("EventLog.txt");
        EXPECT_EQ(log.find("dwMsg = 8, dwParam1 = 2, dwParam2 = 1") != std::string::npos,
                  c.ringMessages)
            << log;
        EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), c.released ? 1u : 0u) << c.rings;
        EXPECT_EQ(g_state.hCall, c.released ? 0u : kFirstCall) << c.rings;
        EXPECT_EQ(sim::TheLineService().KeptCalls(), c.released ? 0u : 1u) << c.rings;
    }
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
              EventLine("14:47:28", 23, 0, 65537) + EventLine("14:47:28", 2, 2, 1) +
                  EventLine("14:47:30", 1, 32768, 0) + EventLine("14:47:39", 2, 1, 0));
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

TEST_F(LineCallbackTest, CallInformationGrowsToTheVersionsSizeWhenTheErrorSaysNoMore) {
    Line().tooSmall = sim::TOO_SMALL_UNTOUCHED;
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(20000);
    std::vector<uint64_t> sizes;
    for (const sim::ApiCall &call : sim::CallsTo("lineGetCallInfoA"))
        sizes.push_back(call.args[1]);
    EXPECT_EQ(sizes, std::vector<uint64_t>({324, 344, 344 + 8 + 5}));
    EXPECT_NE(test::ReadFile("Calls Received.txt").find("Blocked"), std::string::npos);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

struct GrowCase {
    const char *name;
    bool writesNeeded; // the platform says how much it needs
    DWORD enough;      // the size it takes
    std::vector<DWORD> asked;
    LONG result;
};

struct GrowFill {
    const GrowCase *c;
    std::vector<DWORD> asked;
};

LONG FillUpTo(void *block, void *context) {
    GrowFill *fill = (GrowFill *)context;
    DWORD total = *(DWORD *)block;
    fill->asked.push_back(total);
    if (total >= fill->c->enough)
        return 0;
    if (fill->c->writesNeeded)
        ((DWORD *)block)[1] = fill->c->enough;
    return (LONG)LINEERR_STRUCTURETOOSMALL;
}

TEST_F(LineCallbackTest, ATooSmallAnswerWithoutANeededSizeGrowsTheBlockOnce) {
    const LONG kTooSmall = (LONG)LINEERR_STRUCTURETOOSMALL;
    const GrowCase cases[] = {
        {"says how much", true, 400, {324, 400}, 0},
        {"says nothing, the version's size is enough", false, 344, {324, 344}, 0},
        {"says nothing, never enough", false, 400, {324, 344}, kTooSmall},
    };
    for (const GrowCase &c : cases) {
        GrowFill fill = {&c, {}};
        void *block = nullptr;
        DWORD size = 0;
        EXPECT_EQ(FetchRecord(324, 344, FillUpTo, &fill, &block, &size), c.result) << c.name;
        EXPECT_EQ(fill.asked, c.asked) << c.name;
        EXPECT_EQ(size, c.asked.back()) << c.name;
        free(block);
    }
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
    // A line that reports idle ahead of the drop's reply and takes the drop of an idle call.
    Line().dropOrder = sim::STATE_FIRST;
    Line().idleDrop = sim::IDLE_DROP_ACCEPT;
    Block("555", "");
    Ring("5550100", "PEST", 4);
    RunFor(2800 + 500 + 50 + 1);         // connected, message played, drop 2 issued, idle
    EXPECT_EQ(g_state.dropRequestId, 3); // the second drop's request replaces the first's
    EXPECT_EQ(g_state.hCall, kFirstCall);
    RunFor(1000); // the first drop's reply matches nothing, the second's releases the call
    EXPECT_EQ(g_state.hCall, 0u);
    EXPECT_EQ(g_state.dropRequestId, 0);
    EXPECT_EQ(sim::CallsTo("lineDrop").size(), 2u);
    EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
}

class IdleDropTest : public LineCallbackTest {
  public:
    void Accept(const char *entry) { LineCallbackTest::Accept(entry); }
    void Block(const char *entry) { LineCallbackTest::Block(entry, ""); }
    void Ring(const char *number, const char *name, int rings, bool callerId = true,
              int64_t hangUpAfterMs = -1) {
        sim::CallConfig call = sim::MakeCall(number, name, rings, callerId);
        call.hangUpAfterMs = hangUpAfterMs;
        sim::TheLineService().ScheduleCall(call, sim::NowMs());
    }
};

struct IdleDropSequence {
    const char *name;
    void (*arrange)(IdleDropTest &test);
    bool blocked;
};

const IdleDropSequence kIdleDropSequences[] = {
    {"allowed caller rings out",
     [](IdleDropTest &t) {
         t.Accept("212");
         t.Ring("2125550100", "FRIEND", 2);
     },
     false},
    {"one ring without caller ID", [](IdleDropTest &t) { t.Ring(nullptr, nullptr, 1, false); },
     false},
    {"blocked caller",
     [](IdleDropTest &t) {
         t.Block("555");
         t.Ring("5550100", "PEST", 4);
     },
     true},
    {"blocked caller hangs up during the message",
     [](IdleDropTest &t) {
         t.Block("555");
         t.Ring("5550100", "PEST", 4, true, 200);
     },
     true},
};

// Every line whose provider chooses among the behaviours the pages leave open.
std::vector<sim::LineDeviceConfig> LineModels() {
    std::vector<sim::LineDeviceConfig> models;
    sim::LineDeviceConfig m;
    for (sim::IdleDropBehaviour idleDrop :
         {sim::IDLE_DROP_REFUSE, sim::IDLE_DROP_ACCEPT, sim::IDLE_DROP_REFUSE_IN_REPLY})
        for (sim::ReplyOrder dropOrder : {sim::REPLY_FIRST, sim::STATE_FIRST})
            for (sim::ReplyOrder answerOrder : {sim::REPLY_FIRST, sim::STATE_FIRST})
                for (sim::DisconnectBehaviour disconnect :
                     {sim::DISCONNECT_IDLE_ON_DROP, sim::DISCONNECT_AUTO_IDLE})
                    for (sim::GiveUpBehaviour giveUp :
                         {sim::GIVE_UP_IDLE, sim::GIVE_UP_DISCONNECTED}) {
                        m.idleDrop = idleDrop;
                        m.dropOrder = dropOrder;
                        m.answerOrder = answerOrder;
                        m.disconnect = disconnect;
                        m.giveUp = giveUp;
                        models.push_back(m);
                    }
    return models;
}

std::string Describe(const sim::LineDeviceConfig &m) {
    return "idle-drop " + std::to_string(m.idleDrop) + " drop-order " +
           std::to_string(m.dropOrder) + " answer-order " + std::to_string(m.answerOrder) +
           " disconnect " + std::to_string(m.disconnect) + " give-up " + std::to_string(m.giveUp);
}

TEST_F(IdleDropTest, EverySequenceThatDropsAnIdleCallEndsWithTheCallReleased) {
    // Whether the line takes, refuses at once or refuses in the reply the drop of an idle call,
    // in either order of replies and states, whether a caller who hangs up or gives up leaves
    // the call disconnected or idle, every call ends released with nothing reported.
    for (const IdleDropSequence &sequence : kIdleDropSequences)
        for (const sim::LineDeviceConfig &model : LineModels()) {
            SCOPED_TRACE(std::string(sequence.name) + ", " + Describe(model));
            Boot();
            Line().idleDrop = model.idleDrop;
            Line().dropOrder = model.dropOrder;
            Line().answerOrder = model.answerOrder;
            Line().disconnect = model.disconnect;
            Line().giveUp = model.giveUp;
            sim::ClearPlayedBuffers();
            sequence.arrange(*this);
            RunFor(30000);
            EXPECT_TRUE(sim::MessageBoxes().empty());
            EXPECT_EQ(g_state.hCall, 0u);
            EXPECT_EQ(g_state.callInfoHandled, 0);
            EXPECT_EQ(g_state.dropRequestId, 0);
            EXPECT_EQ(g_state.answerRequestId, 0);
            EXPECT_EQ(sim::TheLineService().KeptCalls(), 0u);
            EXPECT_EQ(sim::CallsTo("lineDeallocateCall").size(), 1u);
            EXPECT_EQ(sim::PlayedBuffers().size(), sequence.blocked ? 1u : 0u);
        }
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
        {"lineDrop", (LONG)LINEERR_OPERATIONFAILED,
         "Ringward: -2147483576, MLC 780: S - Error hanging up line."},
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
