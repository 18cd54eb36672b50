// The modem's chipset maker: StrStrNoCase's case folding of A to Z only, and
// GetModemManufacturer against the simulated registry, with each of its three reports.
#include "platform/sim/registry.h"
#include "screening/screening.h"
#include "support.h"

#include <string>

namespace {

struct FindCase {
    const char *text;
    const char *pattern;
    int offset; // where the match starts; -1: none
};

TEST(StrStrNoCase, FindsPatternsRegardlessOfLetterCase) {
    const FindCase cases[] = {
        {"Agere Systems", "agere", 0},
        {"LUCENT", "Lucent", 0},
        {"lsi logic", "LSI", 0},
        {"Modems by AGERE", "Agere", 10},
        {"aaab", "aab", 1}, // a partial match must not skip a start position
        {"Generic Modem Co", "Agere", -1},
        {"abc", "", -1},
        {"", "a", -1},
        {"", "", -1},
        {"ab", "abc", -1},
        {"xxab", "abc", -1}, // longer than the rest of the text
        {"abc", "abc", 0},
        {"xabc", "C", 3},
        // Only A to Z fold: bytes 0x20 apart that are not letters stay different.
        {"[LSI]", "{lsi}", -1},
        {"A@B", "a`b", -1},
        {"\xC4gere", "\xE4gere", -1},
        {"\xC4gere", "\xC4GERE", 0},
        {"1-2", "1-2", 0},
    };
    for (const FindCase &c : cases) {
        const char *found = StrStrNoCase(c.text, c.pattern);
        const char *expected = c.offset < 0 ? nullptr : c.text + c.offset;
        EXPECT_EQ(found, expected) << c.text << " / " << c.pattern;
    }
}

TEST(StrStrNoCase, NullArgumentsFindNothing) {
    EXPECT_EQ(StrStrNoCase(nullptr, "lsi"), nullptr);
    EXPECT_EQ(StrStrNoCase("lsi", nullptr), nullptr);
    EXPECT_EQ(StrStrNoCase(nullptr, nullptr), nullptr);
}

const char kModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";

class ManufacturerTest : public test::Machine {
  protected:
    void SetUp() override {
        test::Machine::SetUp();
        test::OpenLogs();
        sim::SetLastErrorValue(0);
        snprintf(g_state.manufacturer, sizeof g_state.manufacturer, "Stale Maker Inc");
    }

    // Runs GetModemManufacturer and checks that a failure leaves out untouched.
    LONG Read(const char *subKey = kModemKey) {
        out = &sentinel;
        LONG result = GetModemManufacturer(subKey, &out);
        if (result != 0) {
            EXPECT_EQ(out, &sentinel);
        }
        return result;
    }

    void ExpectOneReport(const std::string &line) {
        const std::string report = "Mon Dec 07 14:47:28 2026\n" + line + "\nGLE = 0";
        fflush(g_state.eventLog);
        EXPECT_EQ(test::ReadFile("EventLog.txt"), report + "\n\n");
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        EXPECT_EQ(sim::MessageBoxes()[0].text, report);
        EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr);
        EXPECT_EQ(sim::MessageBoxes()[0].caption, "Ringward");
        EXPECT_EQ(sim::MessageBoxes()[0].style, 0x10010u);
    }

    char sentinel = 0;
    char *out = nullptr;
};

TEST_F(ManufacturerTest, ReadsTheValueAndClosesTheKey) {
    sim::SetRegistryString(kModemKey, "Manufacturer", "Agere Systems");
    EXPECT_EQ(Read(), 0);
    EXPECT_EQ(out, g_state.manufacturer);
    EXPECT_STREQ(g_state.manufacturer, "Agere Systems");
    EXPECT_EQ(sim::OpenRegistryKeys(), 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());

    std::string journal = sim::JournalText();
    EXPECT_EQ(journal, "[0] RegOpenKeyExA(2147483650, 0, 1, 1, \"" + std::string(kModemKey) +
                           "\") = 0\n"
                           "[0] RegQueryValueExA(256, 0, 1, 1, 64, \"Manufacturer\") = 0\n"
                           "[0] RegCloseKey(256) = 0\n");
}

TEST_F(ManufacturerTest, MissingKeyIsReportedAtSbd300) {
    sim::SetRegistryString("SYSTEM\\Other", "Manufacturer", "Agere Systems");
    EXPECT_EQ(Read(), -1);
    EXPECT_STREQ(g_state.manufacturer, "");
    ExpectOneReport("Ringward: 2, SBD 300: F - Error opening modem key.");
    EXPECT_TRUE(sim::CallsTo("RegQueryValueExA").empty());
}

TEST_F(ManufacturerTest, RefusedOpenReportsTheStatus) {
    sim::SetRegistryString(kModemKey, "Manufacturer", "Agere Systems");
    sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(), -1);
    ExpectOneReport("Ringward: 5, SBD 300: F - Error opening modem key.");
}

TEST_F(ManufacturerTest, ValueTooLargeIsReportedAtSbd320AfterTheKeyIsClosed) {
    sim::SetRegistryString(kModemKey, "Manufacturer", std::string(64, 'A')); // 65 bytes
    int keysOpenDuringReport = -1;
    sim::SetMessageBoxHandler([&](const sim::MessageBoxRecord &) {
        keysOpenDuringReport = sim::OpenRegistryKeys();
        return IDOK;
    });
    EXPECT_EQ(Read(), -1);
    EXPECT_EQ(keysOpenDuringReport, 0);
    EXPECT_EQ(sim::CallsTo("RegCloseKey").size(), 1u);
    EXPECT_STREQ(g_state.manufacturer, "");
    ExpectOneReport("Ringward: 234, SBD 320: F - Error querying registry.");
}

TEST_F(ManufacturerTest, MissingValueIsReportedAtSbd320) {
    sim::SetRegistryString(kModemKey, "DriverDesc", "Some Modem");
    EXPECT_EQ(Read(), -1);
    EXPECT_EQ(sim::OpenRegistryKeys(), 0);
    ExpectOneReport("Ringward: 2, SBD 320: F - Error querying registry.");
}

TEST_F(ManufacturerTest, CloseFailureIsReportedAtSbd340) {
    sim::SetRegistryString(kModemKey, "Manufacturer", "LSI Logic");
    sim::FailCall("RegCloseKey", ERROR_INVALID_HANDLE);
    EXPECT_EQ(Read(), -1);
    ExpectOneReport("Ringward: 6, SBD 340: F - Error closing the registry key.");
}

struct StoredValue {
    DWORD type;
    std::string bytes;
    const char *text; // what manufacturer must hold
};

TEST_F(ManufacturerTest, TextIsTerminatedWithinTheBufferWhateverIsStored) {
    const StoredValue cases[] = {
        {REG_SZ, std::string(63, 'L') + '\0', nullptr}, // the largest that fits: 63 characters
        {REG_SZ, std::string(64, 'L'), nullptr},        // 64 bytes, no NUL
        {REG_SZ, "Agere", "Agere"},                     // short, no NUL
        {REG_BINARY, std::string("LSI\0x", 5), "LSI"},  // the type is not examined
        {REG_SZ, std::string(1, '\0'), ""},
        {REG_SZ, "", ""},
    };
    for (const StoredValue &c : cases) {
        memset(g_state.manufacturer, 'X', sizeof g_state.manufacturer);
        sim::SetRegistryValue(kModemKey, "Manufacturer", c.type, c.bytes);
        EXPECT_EQ(Read(), 0);
        std::string expected = c.text ? c.text : std::string(63, 'L');
        EXPECT_EQ(std::string(g_state.manufacturer), expected);
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ManufacturerTest, KeyNamesAreMatchedWithoutRegardToCase) {
    sim::SetRegistryString("system\\currentcontrolset\\control\\class\\"
                           "{4d36e96d-e325-11ce-bfc1-08002be10318}\\0000",
                           "MANUFACTURER", "Lucent");
    EXPECT_EQ(Read(), 0);
    EXPECT_STREQ(g_state.manufacturer, "Lucent");
}

} // namespace
