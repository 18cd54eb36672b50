// Caller identification and the screening decision: normalisation, the caller-ID fields of a
// record built byte by byte, prefix matching, and the call record's two layouts.
#include "screening/screening.h"
#include "support.h"

#include <string.h>
#include <vector>

namespace {

struct NormalizeCase {
    const char *input;
    const char *expected;
};

TEST(NormalizeNumber, GivesTheComparedForm) {
    const NormalizeCase cases[] = {
        {"(800) 555-1234", "8005551234"},
        {"1-800-555-1234", "8005551234"},
        {"18005551234", "8005551234"},
        {"28005551234", "28005551234"},
        {"1 800 555 1234 x12", "1800555123412"},
        {"555-1234", "5551234"},
        {" p ", "P"},
        {"o", "O"},
        {"N", "N"},
        {"O", "O"},
        {"P", "P"},
        {"n", ""},
        {"7", ""},
        {"x", ""},
        {"", ""},
        {"  \t ", ""},
        {"PRIVATE", ""},
        {"1555", "1555"},
        {"+1 (212) 555-0100", "2125550100"},
        {"1234567890123456789012345678901234567890", "123456789012345678901234567890"},
        {"\r\n5550104477\r\n", "5550104477"},
        {"1800", "1800"},
        {"11", "11"},
    };
    for (const NormalizeCase &c : cases) {
        char buffer[128];
        strcpy(buffer, c.input);
        NormalizeNumber(buffer);
        EXPECT_STREQ(buffer, c.expected) << '"' << c.input << '"';
    }
}

// A call-information record as the telephony API fills it: the fixed part, then the texts.
class Record {
  public:
    Record() : bytes(kLineCallInfoFixedSize, 0) { SetDword(0, kLineCallInfoFixedSize); }
    void SetNumber(const std::string &text, DWORD declaredSize) { Add(text, 112, declaredSize); }
    void SetName(const std::string &text, DWORD declaredSize) { Add(text, 120, declaredSize); }
    void SetDword(size_t offset, DWORD value) { memcpy(&bytes[offset], &value, 4); }
    const LINECALLINFO *Get() const { return (const LINECALLINFO *)bytes.data(); }
    std::vector<unsigned char> bytes;

  private:
    void Add(const std::string &text, size_t sizeField, DWORD declaredSize) {
        DWORD offset = (DWORD)bytes.size();
        bytes.insert(bytes.end(), text.begin(), text.end());
        SetDword(0, (DWORD)bytes.size());
        SetDword(sizeField, declaredSize);
        SetDword(sizeField + 4, offset);
    }
};

class CallerIdTest : public test::Machine {};

struct CallerIdCase {
    const char *number; // null: not delivered
    const char *name;
    const char *expectedNumber;
    const char *expectedName;
};

TEST_F(CallerIdTest, ReadsNumberAndNameFromTheRecord) {
    const CallerIdCase cases[] = {
        {nullptr, nullptr, "N", "No CID Name"},
        {nullptr, "P", "P", "P"},
        {nullptr, "O", "O", "O"},
        {"8005551234", "JOHN SMITH", "8005551234", "JOHN SMITH"},
        {"1-800-555-1234", "SHOP, MAIN ST", "8005551234", "SHOP; MAIN ST"},
        {"p", nullptr, "P", "No CID Name"},
        {"o", nullptr, "O", "No CID Name"},
        {"n", nullptr, "", "No CID Name"},
        {"7", "P", "", "P"}, // an emptied number is not "N": the name marks nothing
        {"O", "ACME", "O", "ACME"},
        {nullptr, "p", "N", "p"},
        {"555 0100", " spaced name ", "5550100", " spaced name "},
    };
    for (const CallerIdCase &c : cases) {
        Record record;
        if (c.number)
            record.SetNumber(std::string(c.number) + '\0', (DWORD)strlen(c.number) + 1);
        if (c.name)
            record.SetName(std::string(c.name) + '\0', (DWORD)strlen(c.name) + 1);
        ReadCallerId(record.Get());
        EXPECT_STREQ(g_state.callerNumber, c.expectedNumber) << (c.number ? c.number : "-");
        EXPECT_STREQ(g_state.callerName, c.expectedName) << (c.name ? c.name : "-");
    }
}

TEST_F(CallerIdTest, TextStopsAtItsSizeOrAnEarlierNul) {
    Record record;
    record.SetNumber("5551234999", 7);           // only the first 7 bytes count
    record.SetName(std::string("AB\0CD", 5), 5); // the NUL ends the name
    ReadCallerId(record.Get());
    EXPECT_STREQ(g_state.callerNumber, "5551234");
    EXPECT_STREQ(g_state.callerName, "AB");
}

TEST_F(CallerIdTest, SizesOutsideOneTo255AreNotDelivered) {
    const DWORD sizes[] = {0, 256, 1000, 0xFFFFFFFF};
    for (DWORD size : sizes) {
        Record record;
        record.SetNumber(std::string(300, '5'), size);
        record.SetName(std::string(300, 'A'), size);
        ReadCallerId(record.Get());
        EXPECT_STREQ(g_state.callerNumber, "N") << size;
        EXPECT_STREQ(g_state.callerName, "No CID Name") << size;
    }
    Record longest;
    longest.SetName(std::string(255, 'A'), 255);
    ReadCallerId(longest.Get());
    EXPECT_EQ(strlen(g_state.callerName), 255u);
}

TEST_F(CallerIdTest, TextReachingPastTheRecordIsNotDelivered) {
    Record record;
    record.SetNumber("8005551234", 10);
    record.SetName("EVE", 3);
    record.SetDword(116, (DWORD)record.bytes.size() - 4); // number runs 6 bytes past the end
    record.SetDword(124, 0xFFFFFFF0);                     // name offset wraps around
    ReadCallerId(record.Get());
    EXPECT_STREQ(g_state.callerNumber, "N");
    EXPECT_STREQ(g_state.callerName, "No CID Name");
}

TEST_F(CallerIdTest, ControlBytesInTheNameCannotBreakTheCallRecord) {
    Record record;
    record.SetNumber("8005551234", 10);
    std::string name = "EVE\n01/01/2000 00:00:00,   X\r\x7f\x01";
    record.SetName(name, (DWORD)name.size());
    ReadCallerId(record.Get());
    EXPECT_STREQ(g_state.callerName, "EVE 01/01/2000 00:00:00;   X   ");
}

void SetLists(std::vector<const char *> accept,
              std::vector<std::pair<const char *, const char *>> block) {
    g_state.acceptCount = (int)accept.size();
    for (size_t i = 0; i < accept.size(); i++)
        strcpy(g_state.acceptList[i], accept[i]);
    g_state.blockCount = (int)block.size();
    for (size_t i = 0; i < block.size(); i++) {
        strcpy(g_state.blockList[i], block[i].first);
        strcpy(g_state.blockMessages[i], block[i].second);
    }
}

struct ScreenCase {
    const char *number;
    Verdict verdict;
    const char *messageFile;
};

TEST_F(CallerIdTest, AcceptListIsConsultedFirstAndTheFirstBlockEntryDecides) {
    SetLists({"800", "P"}, {{"8005551234", "never.wav"},
                            {"555", "a.wav"},
                            {"555123", "b.wav"},
                            {"O", ""},
                            {"N", "none.wav"},
                            {"2125550100", "long.wav"}});
    const ScreenCase cases[] = {
        {"8005551234", VERDICT_ALLOWED, "start.wav"}, // in both lists: allowed
        {"5551234", VERDICT_BLOCKED, "a.wav"},        // first entry, not the longest
        {"P", VERDICT_ALLOWED, "start.wav"},
        {"O", VERDICT_BLOCKED, ""},
        {"N", VERDICT_BLOCKED, "none.wav"},
        {"55", VERDICT_ALLOWED, "start.wav"}, // an entry longer than the number never matches
        {"", VERDICT_ALLOWED, "start.wav"},
        {"21255501009", VERDICT_BLOCKED, "long.wav"},
        {"9995551234", VERDICT_ALLOWED, "start.wav"},
    };
    for (const ScreenCase &c : cases) {
        strcpy(g_state.messageFile, "start.wav");
        strcpy(g_state.callerNumber, c.number);
        EXPECT_EQ(ScreenCaller(), c.verdict) << c.number;
        EXPECT_STREQ(g_state.messageFile, c.messageFile) << c.number;
    }
}

TEST_F(CallerIdTest, EmptyListsAllowEveryone) {
    strcpy(g_state.callerNumber, "8005551234");
    EXPECT_EQ(ScreenCaller(), VERDICT_ALLOWED);
}

struct LogCase {
    const char *name;
    const char *number;
    const char *decision;
    const char *line;
};

TEST_F(CallerIdTest, CallRecordLayouts) {
    const LogCase cases[] = {
        {"No CID Name", "8005551234", "Blocked",
         "12/07/2026 14:47:28,   No CID Name     ,   800-555-1234,   Blocked\n"},
        {"A VERY LONG CALLER NAME", "P", "Allowed",
         "12/07/2026 14:47:28,   A VERY LONG CALL,   Private   ,   Allowed\n"},
        {"X", "O", "Blocked", "12/07/2026 14:47:28,   X               ,   Out of are,   Blocked\n"},
        {"No CID Name", "N", "Allowed",
         "12/07/2026 14:47:28,   No CID Name     ,   No CID num,   Allowed\n"},
        {"SHOP; MAIN ST", "5551234", "Allowed",
         "12/07/2026 14:47:28,   SHOP; MAIN ST   ,   555-123-   4,   Allowed\n"},
        {"Z", "28005551234", "Blocked",
         "12/07/2026 14:47:28,   Z               ,   280-055-5123,   Blocked\n"},
        {"Z", "55512", "Allowed",
         "12/07/2026 14:47:28,   Z               ,   555- 12-    ,   Allowed\n"},
        {"Z", "", "Allowed",
         "12/07/2026 14:47:28,   Z               ,      -   -    ,   Allowed\n"},
    };
    test::OpenLogs();
    std::string expected;
    for (const LogCase &c : cases) {
        LogCall(c.name, c.number, c.decision);
        expected += c.line;
        EXPECT_EQ(test::ReadFile("Calls Received.txt"), expected) << c.number;
    }
}

TEST_F(CallerIdTest, CallRecordTimeIsLocalTime) {
    sim::UseSimulatedClock(1237017909); // 14 March 2009 08:05:09 UTC
    test::OpenLogs();
    LogCall("No CID Name", "8005551234", "Blocked");
    EXPECT_EQ(test::ReadFile("Calls Received.txt"),
              "03/14/2009 08:05:09,   No CID Name     ,   800-555-1234,   Blocked\n");
}

} // namespace
