// Scripts of the simulated machine: what each directive gives, and clear errors for bad lines.
#include "platform/sim/script.h"
#include "support.h"

#include <string>
#include <vector>

namespace {

sim::Script Parse(const std::string &text) {
    sim::Script script;
    std::string error;
    EXPECT_TRUE(sim::ParseScript(text, "", &script, &error)) << error;
    return script;
}

TEST(Script, CallsWithTheirCallerIdAndBehaviour) {
    sim::Script s = Parse("# a comment\n"
                          "at 1.5 call number=\"1-800-555-0199\" name='SPAM, INC' rings=2\n"
                          "+2 call number=none name=P hangup-after=3.25\n"
                          "at 10 call no-callerid rings=1 device=1\n");
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].atMs, 1500u);
    EXPECT_EQ(s.events[0].action, sim::SCRIPT_CALL);
    EXPECT_EQ(s.events[0].call.number, "1-800-555-0199");
    EXPECT_EQ(s.events[0].call.name, "SPAM, INC");
    EXPECT_EQ(s.events[0].call.rings, 2);
    EXPECT_EQ(s.events[0].line, 2);
    EXPECT_EQ(s.events[1].atMs, 3500u);
    EXPECT_FALSE(s.events[1].call.numberDelivered);
    EXPECT_EQ(s.events[1].call.name, "P");
    EXPECT_EQ(s.events[1].call.hangUpAfterMs, 3250);
    EXPECT_FALSE(s.events[2].call.callerIdDelivered);
    EXPECT_EQ(s.events[2].call.device, 1u);
}

TEST(Script, EscapesInQuotedTextsAndRawTexts) {
    sim::Script s = Parse("at 0 call number=\"555\" name=\"A\\\"B\\n\\x7f\\\\\"\n"
                          "registry key='SYSTEM\\Modem\\0000' name=Manufacturer text=\"Agere\"\n");
    EXPECT_EQ(s.events[0].call.name, "A\"B\n\x7f\\");
    ASSERT_EQ(s.machine.registry.size(), 1u);
    EXPECT_EQ(s.machine.registry[0].key, "SYSTEM\\Modem\\0000");
}

TEST(Script, RawMessagesFailuresAndUserActions) {
    sim::Script s = Parse("at 0 message LINE_CALLINFO 0x8000 0 to=call:2\n"
                          "at 0 message 12 7 LINEERR_OPERATIONFAILED\n"
                          "at 1 fail lineAnswer LINEERR_INVALCALLSTATE nth=2\n"
                          "at 1 fail _write ERROR_DISK_FULL text=\"Calls Received.txt\"\n"
                          "at 2 press start\n"
                          "at 3 about\n"
                          "at 4 command 1\n");
    ASSERT_EQ(s.events.size(), 7u);
    EXPECT_EQ(s.events[0].msg, (DWORD)LINE_CALLINFO);
    EXPECT_EQ(s.events[0].params[0], 0x8000u);
    EXPECT_EQ(s.events[0].target, sim::TARGET_CALL);
    EXPECT_EQ(s.events[0].callNumber, 2);
    EXPECT_EQ(s.events[1].target, sim::TARGET_LINE);
    EXPECT_EQ(s.events[1].params[1], (DWORD_PTR)LINEERR_OPERATIONFAILED);
    EXPECT_EQ(s.events[2].function, "lineAnswer");
    EXPECT_EQ(s.events[2].result, (LONG)LINEERR_INVALCALLSTATE);
    EXPECT_EQ(s.events[2].nth, 2);
    EXPECT_EQ(s.events[3].function, "_write");
    EXPECT_EQ(s.events[3].result, ERROR_DISK_FULL);
    EXPECT_EQ(s.events[3].text, "Calls Received.txt");
    EXPECT_EQ(s.events[4].user, "press");
    EXPECT_EQ(s.events[4].argument, "start");
    EXPECT_EQ(s.events[5].user, "about");
    EXPECT_EQ(s.events[6].argument, "1");
}

TEST(Script, MachineDescription) {
    sim::Script s =
        Parse("device name='Busy' key='SYSTEM\\a' manufacturer='Agere Systems' open=0x8000000F\n"
              "device caps=LINEERR_RESOURCEUNAVAIL\n"
              "device key='SYSTEM\\b' devspecific-size=256 wave=1 version=0x20002\n"
              "wave-device name=Modem formats=pcm/1/8000/16,pcm/1/8000/8 preferred\n"
              "boxes auto\nloop 90\n");
    ASSERT_EQ(s.machine.devices.size(), 3u);
    EXPECT_FALSE(s.machine.standard);
    EXPECT_EQ(s.machine.devices[0].openResult, (LONG)LINEERR_INUSE);
    EXPECT_EQ(s.machine.devices[0].devSpecific, sim::ModemDevSpecific("SYSTEM\\a"));
    EXPECT_EQ(s.machine.devices[1].capsResult, (LONG)LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(s.machine.devices[2].devSpecific.size(), 256u);
    EXPECT_EQ(s.machine.devices[2].devSpecific.substr(8, 8), "SYSTEM\\b");
    EXPECT_EQ(s.machine.devices[2].maxVersion, 0x20002u);
    ASSERT_EQ(s.machine.registry.size(), 1u);
    EXPECT_EQ(s.machine.registry[0].text, "Agere Systems");
    ASSERT_EQ(s.machine.waveDevices.size(), 1u);
    EXPECT_TRUE(s.machine.waveDevices[0].preferred);
    EXPECT_EQ(s.machine.waveDevices[0].formats.size(), 2u);
    EXPECT_TRUE(s.autoBoxes);
    EXPECT_EQ(s.loopMs, 90000u);
}

// A device's choices where the reference pages leave them open, in the device line's order.
std::vector<int> Behaviour(const sim::LineDeviceConfig &d) {
    return {d.ringMessages, d.zeroCallModes, d.disconnect, d.giveUp,
            d.answerOrder,  d.dropOrder,     d.tooSmall,   d.idleDrop};
}

TEST(Script, DeviceBehavioursWhereThePagesLeaveAChoice) {
    sim::Script s = Parse("device\n"
                          "device ring-messages call-modes=zero disconnect=auto-idle "
                          "give-up=disconnected answer-order=state-first drop-order=reply-first "
                          "toosmall=untouched idle-drop=refuse-in-reply\n");
    ASSERT_EQ(s.machine.devices.size(), 2u);
    EXPECT_EQ(Behaviour(s.machine.devices[0]),
              std::vector<int>({false, false, sim::DISCONNECT_IDLE_ON_DROP, sim::GIVE_UP_IDLE,
                                sim::REPLY_FIRST, sim::STATE_FIRST, sim::TOO_SMALL_NEEDED,
                                sim::IDLE_DROP_REFUSE}));
    EXPECT_EQ(Behaviour(s.machine.devices[1]),
              std::vector<int>({true, true, sim::DISCONNECT_AUTO_IDLE, sim::GIVE_UP_DISCONNECTED,
                                sim::STATE_FIRST, sim::REPLY_FIRST, sim::TOO_SMALL_UNTOUCHED,
                                sim::IDLE_DROP_REFUSE_IN_REPLY}));
    for (const char *bad : {"idle-drop=maybe", "drop-order=sideways", "toosmall="}) {
        sim::Script script;
        std::string error;
        EXPECT_FALSE(sim::ParseScript(std::string("device ") + bad, "", &script, &error)) << bad;
        EXPECT_EQ(error.compare(0, 11, "1: device: "), 0) << error;
    }
}

TEST(Script, MachineNames) {
    EXPECT_TRUE(Parse("machine default\n").machine.standard);
    sim::Script none = Parse("machine none\n");
    EXPECT_TRUE(none.machine.given);
    EXPECT_FALSE(none.machine.standard);
    EXPECT_TRUE(none.machine.devices.empty());
    EXPECT_FALSE(Parse("").machine.given);
}

struct BadLine {
    const char *text;
    const char *error;
};

TEST(Script, BadLinesAreRefusedWithTheirLine) {
    const BadLine cases[] = {
        {"call number=5", "1: a time is needed: \"at SECONDS\" or \"+SECONDS\""},
        {"at 2 press start\nat 1 press stop", "2: events must come in time order"},
        {"at 1 call number=\"555", "1: a quoted text does not end"},
        {"at 1 call rings=0", "1: call: unknown or bad setting rings"},
        {"at 1 call colour=red", "1: call: unknown or bad setting colour"},
        {"at 1 hangup", "1: hangup: needs the call's number"},
        {"at 1 message LINE_REPLY 1", "1: message: needs MSG P1 P2 [P3]"},
        {"at 1 message LINE_NONSENSE 1 2", "1: message: unknown message LINE_NONSENSE"},
        {"at 1 fail lineDrop", "1: fail: needs FUNCTION RESULT"},
        {"at 1 fail lineDrop LINEERR_WHATEVER", "1: fail: unknown result LINEERR_WHATEVER"},
        {"device wave=x", "1: device: wave needs a number: x"},
        {"wave-device formats=mp3", "1: wave-device: formats are tag/channels/rate/bits, "
                                    "comma-separated"},
        {"machine /nonexistent/machine.txt", "1: machine: cannot read /nonexistent/machine.txt"},
        {"at -1 press start", "1: a time is needed: \"at SECONDS\" or \"+SECONDS\""},
        {"at 1", "1: nothing to do at that time"},
        // Refused here, before any run starts, rather than when their time comes.
        {"at nan press start", "1: a time is needed: \"at SECONDS\" or \"+SECONDS\""},
        {"at 1e3 press start", "1: a time is needed: \"at SECONDS\" or \"+SECONDS\""},
        {"+1000000000 press start\n+1 press stop", "2: that time is too far away"},
        {"loop nan", "1: loop: needs seconds"},
        {"loop 10\nat 20 press start",
         "1: loop: shorter than the round of timed lines it repeats (the last at 20.000 s)"},
        {"at 1 hangup 4294967297", "1: hangup: needs the call's number"},
        {"at 1 call rings=2147483648", "1: call: unknown or bad setting rings"},
        {"at 1 message LINE_REPLY 99999999999999999999 0", "1: message: bad parameter "
                                                           "99999999999999999999"},
        {"at 1 message LINE_REPLY 1 0 to=call:4294967297", "1: message: to= is line, call:N or a "
                                                           "number"},
        {"at 1 call name=\"\\xZZ\"", "1: \\x needs two hexadecimal digits"},
        {"at 1 call name=\"\\q\"", "1: unknown escape \\q"},
        {"at 1 fail lineAnwser LINEERR_NOMEM",
         "1: fail: lineAnwser is not a platform function that can fail"},
        {"at 1 fail lineDrop 0 file=x", "1: fail: only nth=N and text=TEXT may follow"},
        {"at 1 dance", "1: unknown action \"dance\""},
        {"at 1 press nothing", "1: press: start, stop, exit or a control id"},
        {"at 1 command", "1: command: needs a command id"},
        {"at 1 signal KILL", "1: signal: TERM or HUP"},
        {"at 1 ok now", "1: ok: takes no argument"},
    };
    for (const BadLine &c : cases) {
        sim::Script script;
        std::string error;
        EXPECT_FALSE(sim::ParseScript(c.text, "", &script, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(Script, ResultsByNameOrNumber) {
    int64_t value;
    EXPECT_TRUE(sim::ParseResult("LINEERR_STRUCTURETOOSMALL", &value));
    EXPECT_EQ(value, -2147483571);
    EXPECT_TRUE(sim::ParseResult("0x8000004D", &value));
    EXPECT_EQ(value, -2147483571);
    EXPECT_TRUE(sim::ParseResult("-5", &value));
    EXPECT_EQ(value, -5);
    EXPECT_TRUE(sim::ParseResult("234", &value));
    EXPECT_EQ(value, 234);
    EXPECT_FALSE(sim::ParseResult("0x100000000", &value));
    EXPECT_FALSE(sim::ParseResult("twelve", &value));
}

} // namespace
