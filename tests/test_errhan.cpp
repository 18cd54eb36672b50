// ErrHan and the exception filter: every condition code, the report texts byte for byte, where
// a report goes, and what is left in the judged value.
#include "diag/errhan.h"
#include "support.h"

#include <signal.h>
#include <string>

namespace {

class ErrHanTest : public test::Machine {};

struct CodeCase {
    DWORD code;
    LONG value;
    int expectedReturn;
    LONG expectedValue;
};

TEST_F(ErrHanTest, ConditionCodesJudgeAsTheirTableSays) {
    const LONG kTooSmall = (LONG)LINEERR_STRUCTURETOOSMALL;
    const CodeCase cases[] = {
        {cond::Z, 0, 0, 0},       {cond::Z, 1, 1, -1},   {cond::Z, -1, 1, -1},
        {cond::ZU, 0, 0, 0},      {cond::ZU, 5, 1, 5},   {cond::NZ, 0, 1, -1},
        {cond::NZ, 0x1234, 0, 0}, {cond::NZ, -7, 0, 0},  {cond::NN, 0, 0, 0},
        {cond::NN, 17, 0, 0},     {cond::NN, -1, 1, -1}, {cond::NN, kTooSmall, 1, -1},
        {cond::GT, 0, 1, -1},     {cond::GT, 3, 0, 0},   {cond::GT, -3, 1, -1},
        {cond::TF, 1, 0, 0},      {cond::TF, 2, 1, -1},  {cond::TF, 0, 1, -1},
        {cond::ONE, 1, 0, 0},     {cond::ONE, 2, 1, -1}, {cond::ONE, 0, 1, -1},
        {cond::NM1, 0, 0, 0},     {cond::NM1, -2, 0, 0}, {cond::NM1, -1, 1, -1},
        {cond::F, 0, 1, -1},      {cond::F, 42, 1, -1},  {0x1234, 0, 1, -1},
    };
    for (const CodeCase &c : cases) {
        sim::ClearMessageBoxes();
        LONG value = c.value;
        int result = ErrHan(&value, c.code, "TST 300", "F - Something failed.");
        EXPECT_EQ(result, c.expectedReturn) << std::hex << c.code << " " << c.value;
        EXPECT_EQ(value, c.expectedValue) << std::hex << c.code << " " << c.value;
        EXPECT_EQ(sim::MessageBoxes().size(), (size_t)c.expectedReturn)
            << std::hex << c.code << " " << c.value;
    }
}

TEST_F(ErrHanTest, PassingCheckWritesNothing) {
    test::OpenLogs();
    LONG value = 0;
    EXPECT_EQ(ErrHan(&value, cond::Z, "TST 300", "F - x."), 0);
    LONG pointer = 0x5000;
    EXPECT_EQ(ErrHan(&pointer, cond::NZ, "TST 320", "F - x."), 0);
    EXPECT_EQ(pointer, 0);
    EXPECT_EQ(test::ReadFile("EventLog.txt"), "");
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ErrHanTest, FailureReportIsExactInLogAndBox) {
    test::OpenLogs();
    sim::SetLastErrorValue(0);
    LONG value = (LONG)LINEERR_OPERATIONFAILED;
    EXPECT_EQ(ErrHan(&value, cond::Z, "IVM 360", "F - Error during lineGetDevCaps."), 1);
    const std::string report = "Mon Dec 07 14:47:28 2026\n"
                               "Ringward: -2147483576, IVM 360: F - Error during lineGetDevCaps.\n"
                               "GLE = 0";
    EXPECT_EQ(test::ReadFile("EventLog.txt"), report + "\n\n");
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "Ringward");
    EXPECT_EQ(box.style, 0x10010u);
    EXPECT_EQ(box.text, report);
}

TEST_F(ErrHanTest, ReportShowsValueAsGivenAndLastErrorSigned) {
    sim::Advance(3600 * 1000 + 61 * 1000); // one hour and a minute later
    sim::SetLastErrorValue(0xFFFFFFFE);
    LONG value = (LONG)LINEERR_STRUCTURETOOSMALL;
    ErrHan(&value, cond::F, "MLC 560", "F - Error during lineGetCallInfo.");
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text,
              "Mon Dec 07 15:48:29 2026\n"
              "Ringward: -2147483571, MLC 560: F - Error during lineGetCallInfo.\nGLE = -2");
}

TEST_F(ErrHanTest, InformationReportHasNoValueTagOrSystemError) {
    test::OpenLogs();
    EXPECT_EQ(ErrHan(nullptr, cond::I, "", "UXX 320: I - Exiting Dunmere"), 0);
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              "Mon Dec 07 14:47:28 2026\nRingward: UXX 320: I - Exiting Dunmere\n\n");
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].style, 0x10010u);
}

TEST_F(ErrHanTest, UnknownCodeReplacesLongMessagesOnly) {
    LONG value = 0;
    ErrHan(&value, 0x1234, "TST 300", "F - Error during realloc.");
    ErrHan(&value, 0x1234, "TST 320", "F - 8 chars"); // 11 characters: stands
    ASSERT_EQ(sim::MessageBoxes().size(), 2u);
    EXPECT_NE(sim::MessageBoxes()[0].text.find(", TST 300: ERRHAN:1234\n"), std::string::npos);
    EXPECT_NE(sim::MessageBoxes()[1].text.find(", TST 320: F - 8 chars\n"), std::string::npos);
}

TEST_F(ErrHanTest, LongReportIsCutAt1023Characters) {
    test::OpenLogs();
    std::string message(2000, 'x');
    LONG value = 1;
    ErrHan(&value, cond::Z, "TST 300", message.c_str());
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text.size(), 1023u);
    EXPECT_EQ(test::ReadFile("EventLog.txt"), sim::MessageBoxes()[0].text + "\n\n");
}

TEST_F(ErrHanTest, WithoutEventLogOnlyTheBoxIsShown) {
    LONG value = 1;
    EXPECT_EQ(ErrHan(&value, cond::Z, "TST 300", "F - x."), 1);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_FALSE(test::FileExists("EventLog.txt"));
}

TEST_F(ErrHanTest, NullTagAndMessageNeverReachTheFormat) {
    LONG value = 1;
    EXPECT_EQ(ErrHan(&value, cond::Z, nullptr, nullptr), 1);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_NE(sim::MessageBoxes()[0].text.find("Ringward: 1, : \nGLE = 0"), std::string::npos);
}

TEST_F(ErrHanTest, ReportsAreLoggedInTheOrderTheyAreMade) {
    // A report's box runs the message loop; a report made from there comes after it.
    test::OpenLogs();
    sim::PostLineMessage({[](DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
                              LONG v = 2;
                              ErrHan(&v, cond::Z, "TST 320", "F - Nested.");
                          },
                          0, 0, 0, 0, 0, 0});
    LONG value = 1;
    ErrHan(&value, cond::Z, "TST 300", "F - Outer.");
    std::string log = test::ReadFile("EventLog.txt");
    size_t outer = log.find("TST 300: F - Outer.");
    size_t nested = log.find("TST 320: F - Nested.");
    ASSERT_NE(outer, std::string::npos);
    ASSERT_NE(nested, std::string::npos);
    EXPECT_LT(outer, nested);
}

TEST_F(ErrHanTest, ExceptionFilterMakesTwoReportsAndLetsTheSystemGoOn) {
    test::OpenLogs();
    sim::SetLastErrorValue(5);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = (PVOID)0x401A2C;
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    EXPECT_EQ(TopLevelExceptionFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              "Mon Dec 07 14:47:28 2026\n"
              "Ringward: 0, UXX 300: F - Unhandled exception occurred.\n"
              "Code: 0xC0000005\nFlags: 0x0\nAddress: 0x401A2C\nGLE = 5\n\n"
              "Mon Dec 07 14:47:28 2026\nRingward: UXX 320: I - Exiting Dunmere\n\n");
    EXPECT_EQ(sim::MessageBoxes().size(), 2u);
}

void CrashWithFilter() {
    test::OpenLogs();
    SetUnhandledExceptionFilter(TopLevelExceptionFilter);
    test::WriteToUnmappedAddress();
}

TEST_F(ErrHanTest, AccessViolationIsReportedThenTheProcessDies) {
    EXPECT_EXIT(CrashWithFilter(), ::testing::KilledBySignal(SIGSEGV), "");
    std::string log = test::ReadFile("EventLog.txt");
    EXPECT_NE(log.find("Ringward: 0, UXX 300: F - Unhandled exception occurred.\n"
                       "Code: 0xC0000005\nFlags: 0x0\nAddress: 0x"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Ringward: UXX 320: I - Exiting Dunmere\n\n"), std::string::npos);
}

} // namespace
