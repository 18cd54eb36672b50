// The simulated registry behaves as the platform's does where the program relies on it: key
// lookup without regard to case, its status codes, the size protocol of RegQueryValueExA, and
// handles that close once.
#include "platform/sim/registry.h"
#include "support.h"

#include <string>

namespace {

const char kKey[] = "SYSTEM\\Modems\\0001";
const HKEY kCurrentUser = (HKEY)(ULONG_PTR)((LONG)0x80000001);

class RegistryTest : public test::Machine {
  protected:
    HKEY Open(const char *subKey, LONG expected = ERROR_SUCCESS) {
        HKEY key = (HKEY)(uintptr_t)0xBAD;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key), expected)
            << subKey;
        if (expected != ERROR_SUCCESS) {
            EXPECT_EQ(key, nullptr) << subKey;
        }
        return key;
    }
};

TEST_F(RegistryTest, KeysAreFoundWithoutRegardToCaseAndWithTheirParents) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere");
    const char *found[] = {"SYSTEM\\Modems\\0001", "system\\MODEMS\\0001", "SYSTEM\\Modems",
                           "SYSTEM"};
    for (const char *subKey : found)
        EXPECT_EQ(RegCloseKey(Open(subKey)), ERROR_SUCCESS) << subKey;
    const char *missing[] = {"SYSTEM\\Modems\\0002", "SYSTEM\\Modems\\000", "Modems\\0001",
                             "SYSTEM\\Modems\\0001\\Sub"};
    for (const char *subKey : missing)
        Open(subKey, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(sim::OpenRegistryKeys(), 0);
}

TEST_F(RegistryTest, OnlyLocalMachineAndOpenKeysAreRoots) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere");
    HKEY key = (HKEY)(uintptr_t)0xBAD;
    EXPECT_EQ(RegOpenKeyExA(kCurrentUser, kKey, 0, KEY_QUERY_VALUE, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key, nullptr);

    HKEY modems = Open("SYSTEM\\Modems");
    HKEY sub = nullptr;
    EXPECT_EQ(RegOpenKeyExA(modems, "0001", 0, KEY_QUERY_VALUE, &sub), ERROR_SUCCESS);
    char text[16];
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(sub, "Manufacturer", NULL, NULL, (LPBYTE)text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, "Agere");
    EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(modems), ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueryFollowsTheSizeProtocol) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere Systems"); // 14 bytes with the NUL
    HKEY key = Open(kKey);

    DWORD type = REG_NONE;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "manufacturer", NULL, &type, NULL, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, (DWORD)REG_SZ);

    char text[32];
    memset(text, '#', sizeof text);
    size = 13;
    EXPECT_EQ(RegQueryValueExA(key, "Manufacturer", NULL, NULL, (LPBYTE)text, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);

    size = 14;
    EXPECT_EQ(RegQueryValueExA(key, "Manufacturer", NULL, NULL, (LPBYTE)text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(std::string(text, 15), std::string("Agere Systems\0#", 15));

    size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "DriverDesc", NULL, NULL, (LPBYTE)text, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Manufacturer", NULL, NULL, (LPBYTE)text, NULL),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(kCurrentUser, "Manufacturer", NULL, NULL, (LPBYTE)text, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, HandlesCloseOnce) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere");
    HKEY first = Open(kKey);
    HKEY second = Open(kKey);
    EXPECT_NE(first, second);
    EXPECT_EQ(sim::OpenRegistryKeys(), 2);
    EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim::OpenRegistryKeys(), 1);
    char text[8];
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(first, "Manufacturer", NULL, NULL, (LPBYTE)text, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
}

TEST_F(RegistryTest, RemovedKeysTakeTheirSubkeysAlong) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere");
    sim::SetRegistryString("SYSTEM\\Modems2", "Manufacturer", "LSI");
    HKEY open = Open(kKey);
    sim::RemoveRegistryKey("system\\modems");
    Open(kKey, ERROR_FILE_NOT_FOUND);
    Open("SYSTEM\\Modems", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(Open("SYSTEM\\Modems2")), ERROR_SUCCESS);

    char text[8];
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(open, "Manufacturer", NULL, NULL, (LPBYTE)text, &size), 1018);
    EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);
}

TEST_F(RegistryTest, CallsAreJournalledCanFailAndResetEmpties) {
    sim::SetRegistryString(kKey, "Manufacturer", "Agere");
    sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    Open(kKey, ERROR_ACCESS_DENIED);
    sim::FailNthCall(1);
    Open(kKey, ERROR_FILE_NOT_FOUND); // the typical error of RegOpenKeyExA
    sim::ClearFaults();
    EXPECT_EQ(RegCloseKey(Open(kKey)), ERROR_SUCCESS);
    ASSERT_EQ(sim::CallsTo("RegOpenKeyExA").size(), 3u);
    EXPECT_EQ(sim::CallsTo("RegOpenKeyExA")[0].text, kKey);
    EXPECT_EQ(sim::CallsTo("RegOpenKeyExA")[0].result, ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim::CallsTo("RegCloseKey").size(), 1u);

    Open(kKey); // left open on purpose: Reset forgets it
    sim::Reset();
    EXPECT_EQ(sim::OpenRegistryKeys(), 0);
    Open(kKey, ERROR_FILE_NOT_FOUND);
}

} // namespace
