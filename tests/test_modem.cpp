// Voice modem discovery against simulated machines: which device is opened, which are passed
// over with or without a report, and when discovery gives up.
#include "diag/errhan.h"
#include "platform/sim/registry.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"
#include "support.h"

#include <string>
#include <vector>

namespace {

std::string KeyOf(int n) {
    return "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}"
           "\\000" +
           std::to_string(n);
}

class ModemTest : public test::Machine {
  protected:
    // Adds a line device whose registry key names maker; returns it for further changes.
    sim::LineDeviceConfig &AddModem(const std::string &maker) {
        int n = (int)sim::TheLineService().Devices().size();
        sim::TheLineService().Devices().push_back(sim::VoiceModemDevice(KeyOf(n), (DWORD)n));
        sim::SetRegistryString(KeyOf(n), "Manufacturer", maker);
        return sim::TheLineService().Devices().back();
    }

    // The device ids whose negotiation was asked for, and the device opened (-1: none).
    std::vector<uint64_t> Negotiated() {
        std::vector<uint64_t> ids;
        for (const sim::ApiCall &call : sim::CallsTo("lineNegotiateAPIVersion"))
            ids.push_back(call.args[1]);
        return ids;
    }
    int64_t Opened() {
        for (const sim::ApiCall &call : sim::CallsTo("lineOpenA"))
            if (call.result == 0)
                return (int64_t)call.args[1];
        return -1;
    }
    std::vector<std::string> Tags() {
        std::vector<std::string> tags;
        for (const sim::MessageBoxRecord &box : sim::MessageBoxes()) {
            size_t at = box.text.find(", ");
            tags.push_back(box.text.substr(at + 2, 7));
        }
        return tags;
    }
};

TEST_F(ModemTest, OpensTheFirstSuitableModemAsOwnerForAutomatedVoice) {
    AddModem("Agere Systems");
    AddModem("Agere Systems");
    ASSERT_EQ(InitVoiceModem(), 0);
    EXPECT_EQ(Negotiated(), std::vector<uint64_t>({0}));
    std::vector<sim::ApiCall> opens = sim::CallsTo("lineOpenA");
    ASSERT_EQ(opens.size(), 1u);
    // app, device, version, ext version, instance, privileges, media modes, call params
    EXPECT_EQ(opens[0].args,
              std::vector<uint64_t>({0x30001, 0, 0x00030000, 0, 1, LINECALLPRIVILEGE_OWNER,
                                     LINEMEDIAMODE_AUTOMATEDVOICE, 0}));
    EXPECT_EQ(g_state.hLine, sim::TheLineService().OpenLine());
    EXPECT_EQ(g_state.hLineApp, sim::TheLineService().AppHandle());
    EXPECT_EQ(g_state.numDevs, 2u);
    EXPECT_STREQ(g_state.manufacturer, "Agere Systems");
    EXPECT_TRUE(sim::MessageBoxes().empty());
    std::vector<sim::ApiCall> init = sim::CallsTo("lineInitializeExA");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].text, "Ringward");
    EXPECT_EQ(init[0].args[4], 0x00020002u); // the version asked for
    EXPECT_EQ(init[0].args[5], (uint64_t)LINEINITIALIZEEXOPTION_USEHIDDENWINDOW);
}

struct CapsSizeCase {
    DWORD version; // the highest the modem negotiates
    sim::TooSmallBehaviour tooSmall;
    std::vector<LONG> results; // of each lineGetDevCapsA, whose blocks are 268, 292, then all
};

TEST_F(ModemTest, CapabilityRecordGrowsToWhatTheServiceAsksForOrToTheVersionsSize) {
    // At 3.0 the fixed part is 292 bytes: the service says so, or only that 268 is too small,
    // and the block grows to the version's size either way. At 2.2, 268 bytes are enough.
    const LONG kTooSmall = (LONG)LINEERR_STRUCTURETOOSMALL;
    const CapsSizeCase cases[] = {
        {0x00030000, sim::TOO_SMALL_NEEDED, {kTooSmall, 0, 0}},
        {0x00030000, sim::TOO_SMALL_UNTOUCHED, {kTooSmall, 0, 0}},
        {0x00020002, sim::TOO_SMALL_UNTOUCHED, {0, 0}},
    };
    for (const CapsSizeCase &c : cases) {
        test::BackToBoot();
        sim::LineDeviceConfig &device = AddModem("Agere Systems");
        device.maxVersion = c.version;
        device.tooSmall = c.tooSmall;
        ASSERT_EQ(InitVoiceModem(), 0) << c.version << " " << c.tooSmall;
        EXPECT_TRUE(sim::MessageBoxes().empty());
        EXPECT_EQ(g_state.lineVersion, c.version);
        std::vector<sim::ApiCall> caps = sim::CallsTo("lineGetDevCapsA");
        ASSERT_EQ(caps.size(), c.results.size());
        for (size_t i = 0; i < caps.size(); i++) {
            EXPECT_EQ(caps[i].result, c.results[i]) << i;
            if (i + 1 < caps.size()) {
                EXPECT_EQ(caps[i].args[4], i == 0 ? 268u : 292u) << i;
            }
        }
        EXPECT_GT(caps.back().args[4], c.version >= 0x00030000 ? 292u : 268u);
    }
}

struct MakerCase {
    const char *manufacturer;
    bool opened;
};

TEST_F(ModemTest, ChipsetMakerIsFoundInAnyLetterCase) {
    const MakerCase cases[] = {
        {"Agere Systems", true}, {"LUCENT", true}, {"lsi logic", true},
        {"Conexant", false},     {"AgerX", false}, {"", false},
    };
    for (const MakerCase &c : cases) {
        test::BackToBoot();
        AddModem(c.manufacturer);
        AddModem("Conexant"); // never opened: another maker
        if (c.opened) {
            EXPECT_EQ(InitVoiceModem(), 0) << c.manufacturer;
            EXPECT_EQ(Opened(), 0) << c.manufacturer;
        } else {
            EXPECT_EXIT(InitVoiceModem(), ::testing::ExitedWithCode(0), "") << c.manufacturer;
        }
    }
}

// Each case leaves device 0 unusable in one way; device 1 is a good modem.
struct PassOverCase {
    const char *name;
    void (*spoil)(sim::LineDeviceConfig &device);
    std::vector<std::string> reports;
};

TEST_F(ModemTest, UnsuitableDevicesArePassedOverWithOrWithoutReport) {
    const PassOverCase cases[] = {
        {"busy line",
         [](sim::LineDeviceConfig &d) { d.openResult = (LONG)LINEERR_ALLOCATED; },
         {"IVM 560"}},
        {"capabilities unavailable",
         [](sim::LineDeviceConfig &d) { d.capsResult = (LONG)LINEERR_RESOURCEUNAVAIL; },
         {}},
        {"block of 256 bytes",
         [](sim::LineDeviceConfig &d) { d.devSpecific.resize(256, '\0'); },
         {"IVM 380"}},
        {"block of 8 bytes", [](sim::LineDeviceConfig &d) { d.devSpecific.resize(8); }, {}},
        {"empty block", [](sim::LineDeviceConfig &d) { d.devSpecific.clear(); }, {}},
        {"system in lower case",
         [](sim::LineDeviceConfig &d) { d.devSpecific = sim::ModemDevSpecific("system\\x"); },
         {}},
        {"missing key",
         [](sim::LineDeviceConfig &d) { d.devSpecific = sim::ModemDevSpecific("SYSTEM\\none"); },
         {"SBD 300", "IVM 520"}},
        {"no voice bearer",
         [](sim::LineDeviceConfig &d) { d.bearerModes = LINEBEARERMODE_DATA; },
         {}},
        {"no automated voice",
         [](sim::LineDeviceConfig &d) { d.mediaModes = LINEMEDIAMODE_DATAMODEM; },
         {}},
        {"cannot make calls", [](sim::LineDeviceConfig &d) { d.lineFeatures = 0; }, {}},
    };
    for (const PassOverCase &c : cases) {
        test::BackToBoot();
        c.spoil(AddModem("Agere Systems"));
        AddModem("Lucent Technologies");
        EXPECT_EQ(InitVoiceModem(), 0) << c.name;
        EXPECT_EQ(Opened(), 1) << c.name;
        EXPECT_EQ(Tags(), c.reports) << c.name;
    }
}

TEST_F(ModemTest, BlockOf255BytesIsExamined) {
    sim::LineDeviceConfig &device = AddModem("Agere Systems");
    device.devSpecific.resize(255, '\0');
    EXPECT_EQ(InitVoiceModem(), 0);
    EXPECT_EQ(Opened(), 0);
}

struct RegistryFailureCase {
    const char *function;
    int64_t status;
    const char *report;
};

TEST_F(ModemTest, RegistryFailuresAreReportedTwiceAndTheDeviceIsPassedOver) {
    const RegistryFailureCase cases[] = {
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED,
         "Ringward: 5, SBD 300: F - Error opening modem key."},
        {"RegQueryValueExA", ERROR_MORE_DATA,
         "Ringward: 234, SBD 320: F - Error querying registry."},
        {"RegCloseKey", ERROR_INVALID_HANDLE,
         "Ringward: 6, SBD 340: F - Error closing the registry key."},
    };
    for (const RegistryFailureCase &c : cases) {
        test::BackToBoot();
        AddModem("Agere Systems");
        AddModem("Agere Systems");
        sim::FailCall(c.function, c.status);
        EXPECT_EQ(InitVoiceModem(), 0) << c.function;
        EXPECT_EQ(Opened(), 1) << c.function;
        ASSERT_EQ(sim::MessageBoxes().size(), 2u) << c.function;
        EXPECT_NE(sim::MessageBoxes()[0].text.find(c.report), std::string::npos)
            << sim::MessageBoxes()[0].text;
        EXPECT_NE(sim::MessageBoxes()[1].text.find(
                      "Ringward: -1, IVM 520: F - Could not get modem chipset type."),
                  std::string::npos)
            << sim::MessageBoxes()[1].text;
    }
}

struct AbortCase {
    const char *function;
    int64_t result;
    const char *tag;
};

TEST_F(ModemTest, FailuresThatEndDiscoveryReturnMinusOne) {
    const AbortCase cases[] = {
        {"lineInitializeExA", (LONG)LINEERR_NODRIVER, "IVM 300"},
        {"lineNegotiateAPIVersion", (LONG)LINEERR_INCOMPATIBLEAPIVERSION, "IVM 320"},
        {"realloc", 0, "IVM 340"},
        {"lineGetDevCapsA", (LONG)LINEERR_OPERATIONFAILED, "IVM 360"},
    };
    for (const AbortCase &c : cases) {
        test::BackToBoot();
        AddModem("Agere Systems");
        AddModem("Agere Systems"); // suitable, but never examined
        sim::FailCall(c.function, c.result);
        EXPECT_EQ(InitVoiceModem(), -1) << c.function;
        EXPECT_EQ(Opened(), -1) << c.function;
        EXPECT_EQ(Tags(), std::vector<std::string>({c.tag})) << c.function;
        for (uint64_t id : Negotiated())
            EXPECT_EQ(id, 0u) << c.function;
    }
}

TEST_F(ModemTest, NoUsableDeviceEndsTheProgramAfterOneReport) {
    for (int devices = 0; devices < 2; devices++) {
        test::OpenLogs();
        if (devices)
            AddModem("Conexant");
        EXPECT_EXIT(
            {
                test::DumpOnExit();
                InitVoiceModem();
                _exit(3);
            },
            ::testing::ExitedWithCode(0), "");
        std::string boxes = test::ReadFile("boxes.txt");
        EXPECT_NE(boxes.find(devices ? "Ringward: 0, IVM 580: "
                                     : "Ringward: 0, IVM 580: F - No "
                                       "Agere voice modem found or "
                                       "voice modem busy.\nGLE = 0"),
                  std::string::npos)
            << boxes;
        EXPECT_EQ(boxes.find("IVM 580"), boxes.rfind("IVM 580"));
        // The telephony usage is released on the way out.
        EXPECT_NE(test::ReadFile("journal.txt").find("lineShutdown(196609) = 0"),
                  std::string::npos);
    }
}

TEST_F(ModemTest, InstallsTheExceptionReportFirst) {
    AddModem("Agere Systems");
    EXPECT_EQ(InitVoiceModem(), 0);
    EXPECT_EQ(SetUnhandledExceptionFilter(NULL), TopLevelExceptionFilter);
}

TEST(StrStrNoCaseUse, FindsMakersAsDiscoveryNeeds) {
    const char *text = "Agere Systems";
    EXPECT_EQ(StrStrNoCase(text, "agere"), text);
    EXPECT_EQ(StrStrNoCase(text, "SYSTEMS"), text + 6);
    EXPECT_EQ(StrStrNoCase(text, ""), nullptr);
    EXPECT_EQ(StrStrNoCase(text, "Agere Systems Inc"), nullptr);
}

} // namespace
