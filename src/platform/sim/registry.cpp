// The simulated registry: keys under HKEY_LOCAL_MACHINE holding typed values, the key handles
// the program opens, and RegOpenKeyExA, RegQueryValueExA and RegCloseKey with the platform's
// status codes.
#include "platform/sim/registry.h"

#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/sim.h"

#include <map>

namespace {

const LONG kErrorKeyDeleted = 1018; // ERROR_KEY_DELETED: the key went while a handle was open
const uintptr_t kFirstHandle = 0x100;
const uintptr_t kHandleStep = 4;

struct Value {
    DWORD type;
    std::string bytes;
};

struct Key {
    std::map<std::string, Value> values; // by lower-case name; "" is the default value
};

struct Registry {
    std::map<std::string, Key> keys;          // by lower-case path; "" is HKEY_LOCAL_MACHINE
    std::map<uintptr_t, std::string> handles; // open handle -> lower-case path
    uintptr_t nextHandle = kFirstHandle;
};

Registry &R() {
    static Registry registry;
    return registry;
}

std::string Lower(const std::string &text) {
    std::string lower = text;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return lower;
}

// The form in which paths are compared: lower case, without trailing separators.
std::string CanonicalPath(const std::string &path) {
    std::string canonical = Lower(path);
    while (!canonical.empty() && canonical.back() == '\\')
        canonical.pop_back();
    return canonical;
}

std::string Join(const std::string &base, const std::string &sub) {
    if (base.empty())
        return sub;
    if (sub.empty())
        return base;
    return base + "\\" + sub;
}

uint64_t HandleValue(HKEY key) {
    return (uint64_t)(uint32_t)(uintptr_t)key;
}

// The path a handle stands for: HKEY_LOCAL_MACHINE itself or a key opened earlier.
bool PathOfHandle(HKEY key, std::string *path) {
    if (key == HKEY_LOCAL_MACHINE) {
        *path = "";
        return true;
    }
    auto it = R().handles.find((uintptr_t)key);
    if (it == R().handles.end())
        return false;
    *path = it->second;
    return true;
}

Key *FindKey(const std::string &canonicalPath) {
    auto it = R().keys.find(canonicalPath);
    return it == R().keys.end() ? nullptr : &it->second;
}

void CreateKeyAndParents(const std::string &canonicalPath) {
    R().keys[""];
    for (size_t at = canonicalPath.find('\\'); at != std::string::npos;
         at = canonicalPath.find('\\', at + 1))
        R().keys[canonicalPath.substr(0, at)];
    R().keys[canonicalPath];
}

} // namespace

namespace sim {

void CreateRegistryKey(const std::string &keyPath) {
    CreateKeyAndParents(CanonicalPath(keyPath));
}

void SetRegistryValue(const std::string &keyPath, const std::string &name, DWORD type,
                      const std::string &bytes) {
    std::string path = CanonicalPath(keyPath);
    CreateKeyAndParents(path);
    R().keys[path].values[Lower(name)] = Value{type, bytes};
}

void SetRegistryString(const std::string &keyPath, const std::string &name,
                       const std::string &text) {
    SetRegistryValue(keyPath, name, REG_SZ, text + std::string(1, '\0'));
}

void RemoveRegistryKey(const std::string &keyPath) {
    std::string path = CanonicalPath(keyPath);
    if (path.empty())
        return; // the root key cannot be removed
    std::string below = path + "\\";
    for (auto it = R().keys.begin(); it != R().keys.end();) {
        if (it->first == path || it->first.compare(0, below.size(), below) == 0)
            it = R().keys.erase(it);
        else
            ++it;
    }
}

void ClearRegistry() {
    R().keys.clear();
    R().handles.clear();
    R().nextHandle = kFirstHandle;
}

int OpenRegistryKeys() {
    return (int)R().handles.size();
}

void ResetRegistry() {
    ClearRegistry();
}

} // namespace sim

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
    int64_t result;
    if (sim::Enter("RegOpenKeyExA", {HandleValue(hKey), ulOptions, samDesired, sim::Ptr(phkResult)},
                   lpSubKey, &result)) {
        if (phkResult)
            *phkResult = NULL;
        return (LONG)sim::Finish(result);
    }
    if (!phkResult)
        return (LONG)sim::Finish(ERROR_INVALID_PARAMETER);
    *phkResult = NULL;
    std::string base;
    if (!PathOfHandle(hKey, &base))
        return (LONG)sim::Finish(ERROR_INVALID_HANDLE);
    std::string path = CanonicalPath(Join(base, lpSubKey ? lpSubKey : ""));
    if (!path.empty() && !FindKey(path))
        return (LONG)sim::Finish(ERROR_FILE_NOT_FOUND);
    uintptr_t handle = R().nextHandle;
    R().nextHandle += kHandleStep;
    R().handles[handle] = path;
    *phkResult = (HKEY)handle;
    return (LONG)sim::Finish(ERROR_SUCCESS);
}

// The journal holds the size word as it stood on entry, in place of its address.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    int64_t result;
    if (sim::Enter("RegQueryValueExA",
                   {HandleValue(hKey), sim::Ptr(lpReserved), sim::Ptr(lpType), sim::Ptr(lpData),
                    lpcbData ? *lpcbData : 0},
                   lpValueName, &result))
        return (LONG)sim::Finish(result);
    std::string path;
    if (!PathOfHandle(hKey, &path))
        return (LONG)sim::Finish(ERROR_INVALID_HANDLE);
    if (lpReserved || (lpData && !lpcbData))
        return (LONG)sim::Finish(ERROR_INVALID_PARAMETER);
    Key *key = FindKey(path);
    if (!key)
        return (LONG)sim::Finish(path.empty() ? ERROR_FILE_NOT_FOUND : kErrorKeyDeleted);
    auto it = key->values.find(Lower(lpValueName ? lpValueName : ""));
    if (it == key->values.end())
        return (LONG)sim::Finish(ERROR_FILE_NOT_FOUND);
    const Value &value = it->second;
    DWORD needed = (DWORD)value.bytes.size();
    if (lpType)
        *lpType = value.type;
    if (!lpData) {
        if (lpcbData)
            *lpcbData = needed;
        return (LONG)sim::Finish(ERROR_SUCCESS);
    }
    if (needed > *lpcbData) {
        *lpcbData = needed;
        return (LONG)sim::Finish(ERROR_MORE_DATA);
    }
    memcpy(lpData, value.bytes.data(), needed);
    *lpcbData = needed;
    return (LONG)sim::Finish(ERROR_SUCCESS);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    int64_t result;
    if (sim::Enter("RegCloseKey", {HandleValue(hKey)}, NULL, &result))
        return (LONG)sim::Finish(result);
    if (hKey == HKEY_LOCAL_MACHINE)
        return (LONG)sim::Finish(ERROR_SUCCESS); // closing a predefined key does nothing
    if (R().handles.erase((uintptr_t)hKey) == 0)
        return (LONG)sim::Finish(ERROR_INVALID_HANDLE);
    return (LONG)sim::Finish(ERROR_SUCCESS);
}
