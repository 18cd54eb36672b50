// The simulated telephony service on its own, as an application sees it through the API: the
// messages and their parameters, the orders and states a line's provider chooses where the
// reference pages leave the choice, privileges, record sizes, and what it keeps of past calls.
#include "platform/sim/telephony.h"
#include "support.h"

#include <string.h>
#include <string>
#include <vector>

namespace {

struct Message {
    DWORD device, msg, p1, p2, p3;
    bool operator==(const Message &o) const {
        return device == o.device && msg == o.msg && p1 == o.p1 && p2 == o.p2 && p3 == o.p3;
    }
};
std::vector<Message> received;

void CALLBACK Record(DWORD device, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    received.push_back({device, msg, (DWORD)p1, (DWORD)p2, (DWORD)p3});
}

std::string Describe(const std::vector<Message> &messages) {
    std::string text;
    for (const Message &m : messages)
        text += std::to_string(m.msg) + "(" + std::to_string(m.p1) + "," + std::to_string(m.p2) +
                "," + std::to_string(m.p3) + ") ";
    return text;
}

const HCALL kCall = 0x10001;
const DWORD kOwner = LINECALLPRIVILEGE_OWNER, kMonitor = LINECALLPRIVILEGE_MONITOR;
const LONG kInvalCallState = (LONG)LINEERR_INVALCALLSTATE;

class LineServiceTest : public test::Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        received.clear();
    }
    sim::LineService &Service() { return sim::TheLineService(); }
    sim::LineDeviceConfig &Device() { return Service().Devices()[0]; }

    // A freshly booted machine with the modem's line opened with privileges; 0 or the open's
    // error.
    LONG Reopen(DWORD privileges = kOwner) {
        test::BackToBoot();
        received.clear();
        return Open(privileges);
    }
    // The modem's line, opened with privileges; 0 or the open's error.
    LONG Open(DWORD privileges = kOwner) {
        Service().Devices().push_back(sim::VoiceModemDevice(sim::kDefaultModemKey, 0));
        DWORD devices = 0, version = 0x00020002, negotiated = 0;
        LINEEXTENSIONID extension;
        EXPECT_EQ(lineInitializeExA(&app, NULL, Record, "test", &devices, &version, NULL), 0);
        EXPECT_EQ(lineNegotiateAPIVersion(app, 0, 0x00020000, version, &negotiated, &extension), 0);
        return lineOpenA(app, 0, &line, negotiated, 0, 1, privileges, LINEMEDIAMODE_AUTOMATEDVOICE,
                         NULL);
    }
    void Ring(int rings = 4, bool callerId = true, int64_t hangUpAfterMs = -1) {
        sim::CallConfig call = sim::MakeCall("5550100", "CALLER", rings, callerId);
        call.hangUpAfterMs = hangUpAfterMs;
        Service().ScheduleCall(call, sim::NowMs());
    }
    void RunFor(uint64_t ms) {
        uint64_t end = sim::NowMs() + ms;
        sim::AddTimer(end, [] {});
        sim::RunMessageLoop([end] { return sim::NowMs() >= end; });
    }
    // The messages received from now on while ms pass.
    std::vector<Message> During(uint64_t ms) {
        received.clear();
        RunFor(ms);
        return received;
    }

    HLINEAPP app = 0;
    HLINE line = 0;
};

struct ModesCase {
    bool zeroCallModes;
    DWORD offering, connected;
};

TEST_F(LineServiceTest, MessagesCarryTheStateDetailsAndThePrivilegeOnce) {
    // LINE_APPNEWCALL and the first LINE_CALLSTATE carry the privilege; the offering and
    // connected modes are ACTIVE, or 0 on a line that leaves them out.
    for (const ModesCase &c : {ModesCase{false, LINEOFFERINGMODE_ACTIVE, LINECONNECTEDMODE_ACTIVE},
                               ModesCase{true, 0, 0}}) {
        ASSERT_EQ(Reopen(), 0);
        Device().zeroCallModes = c.zeroCallModes;
        Ring();
        RunFor(100);
        EXPECT_EQ(received, std::vector<Message>({{line, LINE_APPNEWCALL, 0, kCall, kOwner},
                                                  {kCall, LINE_CALLSTATE, LINECALLSTATE_OFFERING,
                                                   c.offering, kOwner}}))
            << Describe(received);
        RunFor(2500); // the caller ID
        ASSERT_EQ(lineAnswer(kCall, NULL, 0), 1);
        EXPECT_EQ(During(400), std::vector<Message>({{0, LINE_REPLY, 1, 0, 0},
                                                     {kCall, LINE_CALLSTATE,
                                                      LINECALLSTATE_CONNECTED, c.connected, 0}}))
            << Describe(received);
    }
}

TEST_F(LineServiceTest, RingMessagesComeOnlyWhenAskedForWithACountFromZero) {
    for (bool asked : {false, true}) {
        ASSERT_EQ(Reopen(), 0);
        Device().ringMessages = asked;
        Ring(3, false);
        RunFor(20000);
        std::vector<DWORD> counts;
        for (const Message &m : received)
            if (m.msg == LINE_LINEDEVSTATE && m.device == line && m.p1 == LINEDEVSTATE_RINGING &&
                m.p2 == 1)
                counts.push_back(m.p3);
        EXPECT_EQ(counts, asked ? std::vector<DWORD>({0, 1, 2}) : std::vector<DWORD>()) << asked;
    }
}

struct OrderCase {
    sim::ReplyOrder order;
    DWORD first, second; // LINE_REPLY or LINE_CALLSTATE
};

TEST_F(LineServiceTest, AnswersAndDropsReplyBeforeOrAfterTheStateAsTheLineChooses) {
    const OrderCase cases[] = {{sim::REPLY_FIRST, LINE_REPLY, LINE_CALLSTATE},
                               {sim::STATE_FIRST, LINE_CALLSTATE, LINE_REPLY}};
    for (const OrderCase &c : cases) {
        ASSERT_EQ(Reopen(), 0);
        Device().answerOrder = c.order;
        Device().dropOrder = c.order;
        Ring(4, false);
        RunFor(100);
        ASSERT_EQ(lineAnswer(kCall, NULL, 0), 1);
        std::vector<Message> answer = During(1000);
        ASSERT_EQ(answer.size(), 2u) << Describe(answer);
        EXPECT_EQ(answer[0].msg, c.first);
        EXPECT_EQ(answer[1].msg, c.second);
        ASSERT_EQ(lineDrop(kCall, NULL, 0), 2);
        std::vector<Message> drop = During(1000);
        ASSERT_EQ(drop.size(), 2u) << Describe(drop);
        EXPECT_EQ(drop[0].msg, c.first);
        EXPECT_EQ(drop[1].msg, c.second);
        EXPECT_EQ(Service().CallState(kCall), (DWORD)LINECALLSTATE_IDLE);
    }
}

struct EndingCase {
    const char *name;
    sim::DisconnectBehaviour disconnect;
    sim::GiveUpBehaviour giveUp;
    bool answered;             // the far end hangs up a connected call, or gives up ringing
    std::vector<DWORD> states; // the states reported when it does
};

TEST_F(LineServiceTest, AFarEndThatLeavesTheCallLeavesItAsTheLineChooses) {
    const DWORD kDisc = LINECALLSTATE_DISCONNECTED, kIdle = LINECALLSTATE_IDLE;
    const EndingCase cases[] = {
        {"hang-up, idle on drop", sim::DISCONNECT_IDLE_ON_DROP, sim::GIVE_UP_IDLE, true, {kDisc}},
        {"hang-up, idle by itself",
         sim::DISCONNECT_AUTO_IDLE,
         sim::GIVE_UP_IDLE,
         true,
         {kDisc, kIdle}},
        {"gives up, idle", sim::DISCONNECT_IDLE_ON_DROP, sim::GIVE_UP_IDLE, false, {kIdle}},
        {"gives up, disconnected",
         sim::DISCONNECT_IDLE_ON_DROP,
         sim::GIVE_UP_DISCONNECTED,
         false,
         {kDisc}},
        {"gives up, disconnected, idle by itself",
         sim::DISCONNECT_AUTO_IDLE,
         sim::GIVE_UP_DISCONNECTED,
         false,
         {kDisc, kIdle}},
    };
    for (const EndingCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Reopen(), 0);
        Device().disconnect = c.disconnect;
        Device().giveUp = c.giveUp;
        Ring(1, false);
        RunFor(100);
        if (c.answered) {
            ASSERT_EQ(lineAnswer(kCall, NULL, 0), 1);
            RunFor(1000);
        }
        received.clear();
        Service().HangUpFarEnd(1);
        RunFor(1000);
        std::vector<DWORD> states;
        for (const Message &m : received) {
            ASSERT_EQ(m.msg, (DWORD)LINE_CALLSTATE) << Describe(received);
            states.push_back(m.p1);
            if (m.p1 == kDisc) {
                EXPECT_EQ(m.p2, (DWORD)LINEDISCONNECTMODE_NORMAL);
            }
        }
        EXPECT_EQ(states, c.states);
        // A call that waits for the application's drop goes idle with it.
        if (states.back() == kDisc) {
            EXPECT_EQ(lineDrop(kCall, NULL, 0), c.answered ? 2 : 1);
            RunFor(1000);
            EXPECT_EQ(Service().CallState(kCall), kIdle);
        }
    }
}

struct IdleDropCase {
    sim::IdleDropBehaviour behaviour;
    LONG result;             // of lineDrop
    std::vector<LONG> reply; // the outcome its LINE_REPLY carries, if one comes
};

TEST_F(LineServiceTest, TheDropOfAnIdleCallIsRefusedAtOnceInTheReplyOrTaken) {
    const IdleDropCase cases[] = {
        {sim::IDLE_DROP_REFUSE, kInvalCallState, {}},
        {sim::IDLE_DROP_ACCEPT, 1, {0}},
        {sim::IDLE_DROP_REFUSE_IN_REPLY, 1, {kInvalCallState}},
    };
    for (const IdleDropCase &c : cases) {
        ASSERT_EQ(Reopen(), 0);
        Device().idleDrop = c.behaviour;
        Ring(1, false);
        RunFor(6000); // the caller gave up
        ASSERT_EQ(Service().CallState(kCall), (DWORD)LINECALLSTATE_IDLE);
        EXPECT_EQ(lineDrop(kCall, NULL, 0), c.result);
        std::vector<LONG> replies;
        for (const Message &m : During(1000))
            if (m.msg == LINE_REPLY)
                replies.push_back((LONG)m.p2);
        EXPECT_EQ(replies, c.reply) << c.behaviour;
    }
}

TEST_F(LineServiceTest, ATooSmallBlockGetsTheErrorWithOrWithoutTheNeededSize) {
    ASSERT_EQ(Open(), 0);
    Ring();
    RunFor(3000);
    const DWORD kUntouched = 0xCCCCCCCC;
    for (sim::TooSmallBehaviour behaviour : {sim::TOO_SMALL_NEEDED, sim::TOO_SMALL_UNTOUCHED}) {
        Device().tooSmall = behaviour;
        bool writes = behaviour == sim::TOO_SMALL_NEEDED;
        struct {
            DWORD total, needed;
            BYTE rest[400];
        } block;
        memset(&block, 0xCC, sizeof block);
        block.total = 324; // the 2.x fixed part, short of the line's 3.0 one
        EXPECT_EQ(lineGetCallInfoA(kCall, (LPLINECALLINFO)&block), (LONG)LINEERR_STRUCTURETOOSMALL);
        EXPECT_EQ(block.needed, writes ? 344u : kUntouched);
        memset(&block, 0xCC, sizeof block);
        block.total = 268;
        EXPECT_EQ(lineGetDevCapsA(app, 0, 0x00030000, 0, (LPLINEDEVCAPS)&block),
                  (LONG)LINEERR_STRUCTURETOOSMALL);
        EXPECT_EQ(block.needed, writes ? 292u : kUntouched);
        memset(&block, 0xCC, sizeof block);
        block.total = 12;
        EXPECT_EQ(lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, (LPVARSTRING)&block, "wave/out"),
                  (LONG)LINEERR_STRUCTURETOOSMALL);
        EXPECT_EQ(block.needed, writes ? 28u : kUntouched);
    }
}

TEST_F(LineServiceTest, AMonitoringLineSeesCallsButMayNotAnswerOrDropThem) {
    ASSERT_EQ(Open(kMonitor), 0);
    Ring();
    RunFor(3000);
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], (Message{line, LINE_APPNEWCALL, 0, kCall, kMonitor}));
    EXPECT_EQ(received[1].p3, kMonitor);
    std::vector<BYTE> block(512, 0);
    LINECALLINFO *info = (LINECALLINFO *)block.data();
    info->dwTotalSize = (DWORD)block.size();
    EXPECT_EQ(lineGetCallInfoA(kCall, info), 0);
    EXPECT_EQ(info->dwNumMonitors, 1u);
    EXPECT_EQ(info->dwNumOwners, 0u);
    EXPECT_EQ(lineAnswer(kCall, NULL, 0), (LONG)LINEERR_NOTOWNER);
    EXPECT_EQ(lineDrop(kCall, NULL, 0), (LONG)LINEERR_NOTOWNER);
    EXPECT_EQ(lineDeallocateCall(kCall), 0); // a monitor may always let go of its handle
}

TEST_F(LineServiceTest, PrivilegesAreOneOfNoneOrMonitorAndOwner) {
    for (DWORD privileges : {0u, LINECALLPRIVILEGE_NONE | kOwner, 0x8u}) {
        EXPECT_EQ(Reopen(privileges), (LONG)LINEERR_INVALPRIVSELECT) << privileges;
    }
    ASSERT_EQ(Reopen(LINECALLPRIVILEGE_NONE), 0); // for outgoing calls only: none is offered
    Ring();
    RunFor(3000);
    EXPECT_TRUE(received.empty()) << Describe(received);
    EXPECT_EQ(Service().KeptCalls(), 0u);
}

TEST_F(LineServiceTest, ACallIsForgottenOnceItsHandleHasGone) {
    ASSERT_EQ(Open(), 0);
    for (int n = 0; n < 50; n++) {
        Ring(1, false);
        RunFor(6000);
        HCALL call = Service().CallHandle(n + 1);
        ASSERT_NE(call, 0u);
        ASSERT_EQ(lineDeallocateCall(call), 0);
    }
    EXPECT_EQ(Service().KeptCalls(), 0u);
    EXPECT_EQ(Service().CallHandle(1), 0u);
    // From 2.0 on a ringing call's handle may go too; the line says no more of that call.
    Ring(2, false);
    RunFor(100);
    EXPECT_EQ(lineDeallocateCall(Service().CallHandle(51)), 0);
    EXPECT_EQ(Service().KeptCalls(), 0u);
    EXPECT_TRUE(During(12000).empty()) << Describe(received);
}

} // namespace
