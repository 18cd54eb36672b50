// Every place where the program judges a result, made to fail once on the whole running program:
// the report in the log and in its box (log first), what follows (the program goes on, passes
// over a device, gives up discovery, or shuts down), the release of call, line and telephony
// usage, and exit code 0. Also the player's own boxes and the two list limits. The table of
// places is data here; a place without a case fails the test.
#include "diag/errhan.h"
#include "platform/sim/registry.h"
#include "platform/sim/telephony.h"
#include "program_run.h"
#include "support.h"
#include "wave_files.h"

#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

namespace run = test::program;
using run::At;
using run::ProgramRun;

// The result checks of the program: tag, condition code, message.
const char kCheckTable[] = R"(
UXX 300 | F  | F - Unhandled exception occurred.
UXX 320 | I  | UXX 320: I - Exiting Dunmere
IVM 300 | Z  | F - Error during TAPI lineInitializeEx().
IVM 320 | Z  | F - TAPI line negotiation error.
IVM 340 | NZ | F - Error during realloc.
IVM 360 | Z  | F - Error during lineGetDevCaps.
IVM 380 | Z  | F - Registry string too long.
IVM 520 | Z  | F - Could not get modem chipset type.
IVM 560 | Z  | F - Error opening line.
IVM 580 | F  | F - No Agere voice modem found or voice modem busy.
SBD 300 | F  | F - Error opening modem key.
SBD 320 | F  | F - Error querying registry.
SBD 340 | F  | F - Error closing the registry key.
SHU 300 | NN | S - Error hanging up line.
SHU 320 | Z  | S - Error deallocating call.
SHU 340 | Z  | W - Error closing device.
SHU 360 | Z  | W - Error shutting down device.
OID 300 | F  | F - Error opening Block.txt file.
OID 320 | Z  | F - Voice modem initialization failed.
PLA 300 | F  | F - Error during mmioOpen.
MLC 300 | F  | F - Error during lineAnswer.
MLC 320 | F  | W - Error during ignoring call lineDrop.
MLC 340 | Z  | F - Error hanging up line.
MLC 520 | F  | F - Call handle mismatch.
MLC 540 | NZ | F - Error during realloc.
MLC 560 | F  | F - Error during lineGetCallInfo.
MLC 580 | NN | F - Error during lineAnswer.
MLC 700 | NN | F - Error during lineDrop.
MLC 720 | NZ | F - Error during realloc.
MLC 740 | F  | F - Error during lineGetID.
MLC 760 | F  | F - Error playing zap message.
MLC 780 | NN | S - Error hanging up line.
MLC 800 | Z  | W - Error writing EventLog.txt.
LGC 300 | Z  | W - Error writing Calls Received.txt.
OSS 300 | Z  | W - Error writing EventLog.txt.
)";

// The player's plain boxes (no owner, no caption, no icon), and the main dialog's own boxes of
// the list limits and the logs that cannot be opened: places that show a box but make no report.
const char *const kPlainPlaces[] = {
    "plain Unsupported wave format.",
    "plain Error opening wave device.",
    "plain Error preparing message header.",
    "plain Error writing wave message.",
    "plain Error unpreparing message header.",
    "plain Error closing wave device.",
    "owned Limit of 200 numbers to accept reached.  Continuing.",
    "owned Limit of 200 numbers to block reached.  Continuing.",
    "owned Error opening event log file.  Shutting down.",
    "owned Error opening calls received file.  Shutting down.",
};

struct CheckRow {
    std::string tag, code, message;
};

std::vector<CheckRow> ParseCheckTable() {
    std::vector<CheckRow> rows;
    std::stringstream lines(kCheckTable);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        size_t bar1 = line.find(" | "), bar2 = line.find(" | ", bar1 + 3);
        std::string code = line.substr(bar1 + 3, bar2 - bar1 - 3);
        code.erase(code.find_last_not_of(' ') + 1);
        rows.push_back({line.substr(0, bar1), code, line.substr(bar2 + 3)});
    }
    return rows;
}

const CheckRow *FindRow(const std::string &tag) {
    static const std::vector<CheckRow> rows = ParseCheckTable();
    for (const CheckRow &row : rows)
        if (row.tag == tag)
            return &row;
    return nullptr;
}

std::string V(int64_t value) {
    return std::to_string((LONG)value);
}

// A report the run must make: its tag, the value shown, what follows the table's message, and
// the system error shown.
struct Expected {
    std::string tag;
    std::string value;
    std::string suffix = "";
    std::string gle = "0";
};

enum Follows {
    kShutsDown,       // the failure ends the program through ShutdownAndExit
    kGivesUp,         // discovery returns -1; start-up reports "OID 320" and shuts down
    kPassesOver,      // the device is passed over, the next one opened, the program goes on
    kGoesOn,          // the program goes on and handles the blocked call
    kRecordLost,      // the program goes on and plays the message; the call's record is lost
    kReleaseGoesOn,   // the user's exit shuts down; the release steps go on past the failure
    kDiesAfterReport, // an unhandled exception: reports, then the system ends the process
};

struct FaultCase {
    const char *name;
    void (*arrange)();
    std::vector<Expected> reports;
    Follows follows;
    std::vector<std::string> plainBoxes = {};        // boxes that are not reports, in order
    std::map<std::string, long long> stillHeld = {}; // what an injected release failure leaves
};

// ---- Arrangements, run in the child before the program starts ---------------------------------

void Standard() {
    run::BlockedCallScenario();
}

// Faults armed once the program runs, so that start-up's own calls do not count.
void ArmAt(uint64_t ms, const char *function, int64_t result, int nth = 1, const char *text = "") {
    std::string name = function, only = text;
    At(ms, [name, result, nth, only] { sim::FailCall(name, result, nth, only); });
}

const uint64_t kBeforeCall = 1500;    // screening is on, the call has not come yet
const uint64_t kAfterCallerId = 4600; // the blocked call has been answered, not yet connected
const uint64_t kAnswerReply = 4550;   // when the reply to the answer arrives
const uint64_t kBeforeUserExit = 29000;

void TwoModems() {
    run::AddModem();
    run::AddModem();
    run::WriteStandardFiles();
    run::PressStartAt(1000);
    run::CallAt(2000, "8005551234", "PEST", 4, true, 1); // on the line that is opened
    run::UserExitsAt(30000);
}

void LongKeyOnFirstModem() {
    TwoModems();
    sim::TheLineService().Devices()[0].devSpecific =
        sim::ModemDevSpecific(run::ModemKey(0) + std::string(250, 'X'));
}

// An allowed call that keeps ringing when the user ends the program.
void RingingWhenUserExits() {
    run::AddModem();
    run::WriteStandardFiles();
    run::PressStartAt(1000);
    run::CallAt(2000, "2125550100", "FRIEND", 10);
    run::UserExitsAt(8000);
}

// A line that takes the drop of an idle call, so that the shutdown's drop of a call the handler
// left idle after its failure passes and only the handler's check speaks.
void AcceptIdleDrops() {
    sim::TheLineService().Devices()[0].idleDrop = sim::IDLE_DROP_ACCEPT;
}

std::string ManyEntries(int count) {
    std::string text;
    for (int i = 0; i < count; i++)
        text += "555" + std::to_string(1000000 + i) + "\n";
    return text;
}

const FaultCase kCases[] = {
    {"no Block.txt",
     [] {
         Standard();
         remove("Block.txt");
     },
     {{"OID 300", "0", "", "2"}},
     kShutsDown},
    {"registration refused",
     [] {
         Standard();
         sim::FailCall("lineInitializeExA", (LONG)LINEERR_NODRIVER);
     },
     {{"IVM 300", V(LINEERR_NODRIVER)}, {"OID 320", "-1"}},
     kGivesUp},
    {"version negotiation fails",
     [] {
         Standard();
         sim::FailCall("lineNegotiateAPIVersion", (LONG)LINEERR_INCOMPATIBLEAPIVERSION);
     },
     {{"IVM 320", V(LINEERR_INCOMPATIBLEAPIVERSION)}, {"OID 320", "-1"}},
     kGivesUp},
    {"no memory for the capabilities",
     [] {
         Standard();
         sim::FailCall("realloc", 0);
     },
     {{"IVM 340", "0"}, {"OID 320", "-1"}},
     kGivesUp},
    {"capabilities refused",
     [] {
         Standard();
         sim::FailCall("lineGetDevCapsA", (LONG)LINEERR_OPERATIONFAILED);
     },
     {{"IVM 360", V(LINEERR_OPERATIONFAILED)}, {"OID 320", "-1"}},
     kGivesUp},
    {"device-specific block of 256 bytes or more",
     LongKeyOnFirstModem,
     {{"IVM 380", "1"}},
     kPassesOver},
    {"modem key missing",
     [] {
         TwoModems();
         sim::RemoveRegistryKey(run::ModemKey(0));
     },
     {{"SBD 300", V(ERROR_FILE_NOT_FOUND)}, {"IVM 520", "-1"}},
     kPassesOver},
    {"registry query fails",
     [] {
         TwoModems();
         sim::FailCall("RegQueryValueExA", ERROR_MORE_DATA);
     },
     {{"SBD 320", V(ERROR_MORE_DATA)}, {"IVM 520", "-1"}},
     kPassesOver},
    {"registry key does not close",
     [] {
         TwoModems();
         sim::FailCall("RegCloseKey", ERROR_INVALID_HANDLE);
     },
     {{"SBD 340", V(ERROR_INVALID_HANDLE)}, {"IVM 520", "-1"}},
     kPassesOver,
     {},
     {{"regkeys", 1}}},
    {"line held by another program",
     [] {
         TwoModems();
         sim::FailCall("lineOpenA", (LONG)LINEERR_ALLOCATED);
     },
     {{"IVM 560", V(LINEERR_ALLOCATED)}},
     kPassesOver},
    {"no line devices",
     [] {
         run::WriteStandardFiles();
         run::UserExitsAt(30000);
     },
     {{"IVM 580", "0"}},
     kShutsDown},
    {"answer completes with an error",
     [] {
         Standard();
         // Ahead of the service's own reply to request 1, the answer.
         sim::TheLineService().InjectMessage(kAnswerReply - 40, 0, LINE_REPLY, 1,
                                             (DWORD)LINEERR_OPERATIONFAILED, 0);
     },
     {{"MLC 300", V(LINEERR_OPERATIONFAILED)}},
     kShutsDown},
    {"idle drop completes with an error",
     [] {
         run::AddModem();
         run::WriteStandardFiles();
         run::PressStartAt(1000);
         AcceptIdleDrops();
         run::CallAt(2000, nullptr, nullptr, 1, false); // rings once without caller ID
         ArmAt(kBeforeCall, "lineDrop", 77);            // accepted as request 77
         sim::TheLineService().InjectMessage(7010, 0, LINE_REPLY, 77,
                                             (DWORD)LINEERR_OPERATIONFAILED, 0);
         run::UserExitsAt(30000);
     },
     {{"MLC 320", V(LINEERR_OPERATIONFAILED)}},
     kShutsDown},
    {"deallocation after the drop fails",
     [] {
         Standard();
         ArmAt(kBeforeCall, "lineDeallocateCall", (LONG)LINEERR_INVALCALLSTATE);
     },
     {{"MLC 340", V(LINEERR_INVALCALLSTATE)}},
     kShutsDown},
    {"caller ID of a call announced before screening",
     [] {
         run::AddModem();
         run::WriteStandardFiles();
         run::CallAt(500, "8005551234", "PEST");
         run::PressStartAt(1000);
         run::UserExitsAt(30000);
     },
     {{"MLC 520", "0"}},
     kShutsDown},
    {"no memory for the call information",
     [] {
         Standard();
         ArmAt(kBeforeCall, "realloc", 0);
     },
     {{"MLC 540", "0"}},
     kShutsDown},
    {"call information refused",
     [] {
         Standard();
         ArmAt(kBeforeCall, "lineGetCallInfoA", (LONG)LINEERR_OPERATIONFAILED);
     },
     {{"MLC 560", V(LINEERR_OPERATIONFAILED)}},
     kShutsDown},
    {"answer refused",
     [] {
         Standard();
         ArmAt(kBeforeCall, "lineAnswer", (LONG)LINEERR_INVALCALLSTATE);
     },
     {{"MLC 580", V(LINEERR_INVALCALLSTATE)}},
     kShutsDown},
    {"idle drop refused",
     [] {
         run::AddModem();
         run::WriteStandardFiles();
         run::PressStartAt(1000);
         AcceptIdleDrops();
         run::CallAt(2000, "2125550100", "FRIEND", 2); // allowed, rings out
         ArmAt(kBeforeCall, "lineDrop", (LONG)LINEERR_INVALCALLHANDLE);
         run::UserExitsAt(30000);
     },
     {{"MLC 700", V(LINEERR_INVALCALLHANDLE)}},
     kShutsDown},
    {"no memory for the device id",
     [] {
         Standard();
         ArmAt(kAfterCallerId, "realloc", 0);
     },
     {{"MLC 720", "0"}},
     kShutsDown},
    {"device id refused",
     [] {
         Standard();
         ArmAt(kBeforeCall, "lineGetIDA", (LONG)LINEERR_OPERATIONFAILED);
     },
     {{"MLC 740", V(LINEERR_OPERATIONFAILED)}},
     kShutsDown},
    {"message file missing",
     [] {
         Standard();
         remove("ZapMessage.wav");
     },
     {{"PLA 300", V(MMIOERR_FILENOTFOUND), "\nfile path: ZapMessage.wav", "2"},
      {"MLC 760", "0", "", "2"}},
     kShutsDown},
    {"drop after the message refused",
     [] {
         Standard();
         ArmAt(kBeforeCall, "lineDrop", (LONG)LINEERR_INVALCALLHANDLE);
     },
     {{"MLC 780", V(LINEERR_INVALCALLHANDLE)}},
     kShutsDown},
    {"drop at shutdown refused",
     [] {
         RingingWhenUserExits();
         ArmAt(7000, "lineDrop", (LONG)LINEERR_INVALCALLHANDLE);
     },
     // A call that was not dropped still rings; from 2.0 on its handle goes all the same.
     {{"SHU 300", V(LINEERR_INVALCALLHANDLE)}},
     kReleaseGoesOn},
    {"deallocation at shutdown refused",
     [] {
         RingingWhenUserExits();
         ArmAt(7000, "lineDeallocateCall", (LONG)LINEERR_INVALCALLSTATE);
     },
     {{"SHU 320", V(LINEERR_INVALCALLSTATE)}},
     kReleaseGoesOn},
    {"line does not close",
     [] {
         Standard();
         ArmAt(kBeforeUserExit, "lineClose", (LONG)LINEERR_INVALLINEHANDLE);
     },
     {{"SHU 340", V(LINEERR_INVALLINEHANDLE)}},
     kReleaseGoesOn},
    {"telephony usage does not end",
     [] {
         Standard();
         ArmAt(kBeforeUserExit, "lineShutdown", (LONG)LINEERR_INVALAPPHANDLE);
     },
     {{"SHU 360", V(LINEERR_INVALAPPHANDLE)}},
     kReleaseGoesOn,
     {},
     {{"app", 1}}},
    {"message in a format nothing plays",
     [] {
         Standard();
         test::WriteFile("ZapMessage.wav", test::PcmWave(1, 8000, 24, test::Samples(1200)));
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Unsupported wave format."}},
    {"wave device busy",
     [] {
         Standard();
         ArmAt(kBeforeCall, "waveOutOpen", MMSYSERR_ALLOCATED, 2);
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Error opening wave device."}},
    {"header not prepared",
     [] {
         Standard();
         ArmAt(kBeforeCall, "waveOutPrepareHeader", MMSYSERR_NOMEM);
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Error preparing message header."}},
    {"write refused",
     [] {
         Standard();
         ArmAt(kBeforeCall, "waveOutWrite", MMSYSERR_INVALHANDLE);
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Error writing wave message."}},
    {"header not unprepared",
     [] {
         Standard();
         ArmAt(kBeforeCall, "waveOutUnprepareHeader", WAVERR_STILLPLAYING);
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Error unpreparing message header."}},
    {"wave device does not close",
     [] {
         Standard();
         ArmAt(kBeforeCall, "waveOutClose", WAVERR_STILLPLAYING);
     },
     {{"MLC 760", "0"}},
     kShutsDown,
     {"plain Error closing wave device."},
     {{"waveout", 1}}},
    {"disk full for a line message's line",
     [] {
         Standard();
         ArmAt(kBeforeCall, "_write", ERROR_DISK_FULL);
     },
     {{"MLC 800", "-1", "", V(ERROR_DISK_FULL)}},
     kGoesOn},
    {"the call's record not committed",
     [] {
         Standard();
         ArmAt(kBeforeCall, "_commit", ERROR_IO_DEVICE, 1, "Calls Received.txt");
     },
     {{"LGC 300", "-1", "", V(ERROR_IO_DEVICE)}},
     kRecordLost},
    {"disk full for the start line",
     [] {
         Standard();
         ArmAt(500, "_write", ERROR_DISK_FULL);
     },
     {{"OSS 300", "-1", "", V(ERROR_DISK_FULL)}},
     kGoesOn},
    {"200 numbers to accept",
     [] {
         Standard();
         test::WriteFile("Accept Always.txt", ManyEntries(250));
     },
     {},
     kGoesOn,
     {"owned Limit of 200 numbers to accept reached.  Continuing."}},
    {"200 numbers to block",
     [] {
         Standard();
         test::WriteFile("Block.txt", "800555\n" + ManyEntries(199));
     },
     {},
     kGoesOn,
     {"owned Limit of 200 numbers to block reached.  Continuing."}},
    {"event log cannot be opened",
     [] {
         Standard();
         mkdir("EventLog.txt", 0755);
     },
     {},
     kShutsDown,
     {"owned Error opening event log file.  Shutting down."}},
    {"call log cannot be opened",
     [] {
         Standard();
         mkdir("Calls Received.txt", 0755);
     },
     {},
     kShutsDown,
     {"owned Error opening calls received file.  Shutting down."}},
    {"access violation while screening",
     [] {
         Standard();
         At(kBeforeCall, test::WriteToUnmappedAddress);
     },
     {{"UXX 300", "0"}, {"UXX 320", ""}},
     kDiesAfterReport},
};

// ---- Checks -------------------------------------------------------------------------------------

// A box as the checks name it: "report TAG" for a failure or information report, otherwise
// "plain TEXT" for the player's boxes (no owner, no caption, no icon), "owned TEXT" for the
// main dialog's own boxes, and the whole record for anything else.
std::string BoxName(const run::BoxSeen &box) {
    if (!box.owned && box.caption == "Ringward" && box.style == 0x10010) {
        size_t line = box.text.find("\nRingward: ");
        std::string second = line == std::string::npos ? "" : box.text.substr(line + 11);
        size_t comma = second.find(", ");
        if (second.compare(0, 9, "UXX 320: ") == 0)
            return "report UXX 320";
        return "report " + (comma == std::string::npos ? "?" : second.substr(comma + 2, 7));
    }
    if (!box.owned && box.caption.empty() && box.style == 0)
        return "plain " + box.text;
    if (box.owned && box.caption == "Ringward" && box.style == 0x10010)
        return "owned " + box.text;
    return "other " + box.text;
}

std::vector<std::string> ExpectedBoxes(const FaultCase &c) {
    std::vector<std::string> boxes;
    boxes.insert(boxes.end(), c.plainBoxes.begin(), c.plainBoxes.end());
    for (const Expected &e : c.reports)
        boxes.push_back("report " + e.tag);
    return boxes;
}

// The device whose line was opened, from the journal; -1 for none.
int OpenedDevice(const std::string &journal) {
    std::stringstream lines(journal);
    std::string line;
    while (std::getline(lines, line)) {
        size_t at = line.find("] lineOpenA(");
        if (at == std::string::npos || line.compare(line.size() - 4, 4, " = 0") != 0)
            continue;
        size_t comma = line.find(", ", at);
        return std::stoi(line.substr(comma + 2));
    }
    return -1;
}

size_t Find(const std::string &text, const std::string &what, size_t from = 0) {
    return text.find(what, from);
}

void CheckReports(const FaultCase &c, const ProgramRun &run) {
    std::vector<run::Report> reports = run.Reports();
    ASSERT_EQ(reports.size(), c.reports.size());
    for (size_t i = 0; i < reports.size(); i++) {
        const Expected &e = c.reports[i];
        const CheckRow *row = FindRow(e.tag);
        ASSERT_NE(row, nullptr) << e.tag;
        if (row->code == "I") {
            EXPECT_EQ(reports[i].tag, "") << e.tag;
            EXPECT_EQ(reports[i].message, row->message);
            continue;
        }
        EXPECT_EQ(reports[i].tag, e.tag);
        EXPECT_EQ(reports[i].value, e.value) << e.tag;
        if (e.tag == "UXX 300") { // the address of the faulting instruction varies
            EXPECT_EQ(reports[i].message.find(row->message + "\nCode: 0xC0000005\nFlags: 0x0\n"
                                                             "Address: 0x"),
                      0u)
                << reports[i].message;
        } else {
            EXPECT_EQ(reports[i].message, row->message + e.suffix);
        }
        EXPECT_EQ(reports[i].gle, e.gle) << e.tag;
    }
}

void CheckBoxes(const FaultCase &c, const ProgramRun &run) {
    std::vector<std::string> names;
    for (const run::BoxSeen &box : run.boxes) {
        names.push_back(BoxName(box));
        if (names.back().compare(0, 7, "report ") == 0) {
            EXPECT_TRUE(box.reportInLogFirst) << box.text;
        }
    }
    EXPECT_EQ(names, ExpectedBoxes(c));
}

void CheckWhatFollows(const FaultCase &c, const ProgramRun &run) {
    bool exitPressed = run.Left("exitPressed") == 1;
    switch (c.follows) {
    case kShutsDown:
        EXPECT_FALSE(exitPressed) << "the failure should have ended the program";
        break;
    case kGivesUp:
        EXPECT_FALSE(exitPressed);
        EXPECT_EQ(run.ReportTags().back(), "OID 320");
        EXPECT_EQ(OpenedDevice(run.journal), -1);
        break;
    case kPassesOver:
        EXPECT_EQ(OpenedDevice(run.journal), 1);
        EXPECT_TRUE(exitPressed);
        EXPECT_NE(Find(run.callsLog, "Blocked"), std::string::npos);
        break;
    case kGoesOn:
        EXPECT_TRUE(exitPressed);
        EXPECT_NE(Find(run.callsLog, "Blocked"), std::string::npos);
        break;
    case kRecordLost:
        EXPECT_TRUE(exitPressed);
        EXPECT_EQ(run.callsLog, "");
        EXPECT_NE(Find(run.journal, "] waveOutWrite("), std::string::npos);
        break;
    case kReleaseGoesOn: {
        EXPECT_TRUE(exitPressed);
        size_t report = Find(run.journal, "] lineDrop(");
        for (const char *step : {"] lineDeallocateCall(", "] lineClose(", "] lineShutdown("})
            EXPECT_NE(Find(run.journal, step), std::string::npos) << step;
        EXPECT_NE(report, std::string::npos);
        break;
    }
    case kDiesAfterReport:
        break;
    }
}

// Everything is given back at the end, but what an injected release failure leaves behind.
void CheckReleased(const FaultCase &c, const ProgramRun &run) {
    for (const char *what : {"blocks", "mmio", "waveout", "regkeys", "app", "line", "calls",
                             "hCall", "hLine", "hLineApp", "eventLog", "callsLog"}) {
        auto held = c.stillHeld.find(what);
        long long expected = held == c.stillHeld.end() ? 0 : held->second;
        EXPECT_EQ(run.Left(what), expected) << what;
    }
}

class FaultTableTest : public test::Machine {};

TEST_F(FaultTableTest, EveryPlaceOfTheCheckTableHasACase) {
    std::set<std::string> visited;
    for (const FaultCase &c : kCases) {
        for (const Expected &e : c.reports) {
            EXPECT_NE(FindRow(e.tag), nullptr) << c.name << ": " << e.tag << " is not a place";
            visited.insert(e.tag);
        }
        visited.insert(c.plainBoxes.begin(), c.plainBoxes.end());
    }
    std::vector<CheckRow> rows = ParseCheckTable();
    EXPECT_EQ(rows.size(), 35u);
    for (const CheckRow &row : rows)
        EXPECT_EQ(visited.count(row.tag), 1u) << row.tag << " has no case";
    for (const char *place : kPlainPlaces)
        EXPECT_EQ(visited.count(place), 1u) << place << " has no case";
}

TEST_F(FaultTableTest, EachFailureIsReportedFollowedAsDesignedAndEndsInOrder) {
    for (const FaultCase &c : kCases) {
        SCOPED_TRACE(c.name);
        ProgramRun run = run::RunProgram(c.arrange);
        if (c.follows == kDiesAfterReport) {
            EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGSEGV)
                << run.Describe();
            CheckReports(c, run);
            continue;
        }
        ASSERT_TRUE(run.ExitedWithCodeZero()) << run.Describe();
        CheckReports(c, run);
        CheckBoxes(c, run);
        CheckWhatFollows(c, run);
        CheckReleased(c, run);
        if (HasFailure()) {
            ADD_FAILURE() << run.Describe();
            return;
        }
    }
}

// The "Blocked" record is written before the answer is judged, so a refused answer leaves it.
TEST_F(FaultTableTest, RefusedAnswerStillLeavesTheBlockedRecord) {
    ProgramRun run = run::RunProgram([] {
        Standard();
        ArmAt(kBeforeCall, "lineAnswer", (LONG)LINEERR_INVALCALLSTATE);
    });
    EXPECT_NE(run.callsLog.find("800-555-1234,   Blocked\n"), std::string::npos) << run.callsLog;
}

} // namespace
