// Reading scripts of the simulated machine. Portable standard C++.
#include "platform/sim/script.h"

#include "platform/sim/journal.h"

#include <algorithm>
#include <errno.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

namespace sim {

namespace {

const uint64_t kMaxScriptBytes = 8u << 20; // far more than any script: /dev/zero is no script
const size_t kReadChunk = 16384;
const double kMaxSeconds = 1e9;      // a time or a length: some 30 years
const int64_t kMaxCount = INT32_MAX; // rings, call numbers, nth
const int64_t kMaxDword = UINT32_MAX;

struct Word {
    std::string key;   // before "=", or empty
    std::string value; // the word itself, or what follows "="
};

struct Parser {
    Script *script = nullptr;
    std::string baseDir;
    std::string error;
    int line = 0;
    int loopLine = 0;
    uint64_t lastAtMs = 0;

    bool Fail(const std::string &what) {
        error = std::to_string(line) + ": " + what;
        return false;
    }
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at text[i] (the quote). "" when it is well formed, else what is
// wrong with it.
std::string ReadQuoted(const std::string &text, size_t &i, std::string &out) {
    char quote = text[i++];
    while (i < text.size() && text[i] != quote) {
        char c = text[i++];
        if (quote == '\'' || c != '\\') {
            out += c;
            continue;
        }
        char e = i < text.size() ? text[i++] : '\0';
        if (e == 'n')
            out += '\n';
        else if (e == 'r')
            out += '\r';
        else if (e == 't')
            out += '\t';
        else if (e == '"' || e == '\\')
            out += e;
        else if (e == 'x' && i + 1 < text.size() && HexDigit(text[i]) >= 0 &&
                 HexDigit(text[i + 1]) >= 0) {
            out += (char)(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
            i += 2;
        } else if (e == 'x')
            return "\\x needs two hexadecimal digits";
        else
            return std::string("unknown escape \\") + (e ? std::string(1, e) : "");
    }
    if (i >= text.size())
        return "a quoted text does not end";
    i++; // the closing quote
    return "";
}

// Splits a line into words; a word may be key=value, and either part may be quoted. "" or what
// is wrong with the line.
std::string SplitWords(const std::string &text, std::vector<Word> &words) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            i++;
            continue;
        }
        if (text[i] == '#')
            break;
        Word word;
        std::string *part = &word.value;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
            if (text[i] == '"' || text[i] == '\'') {
                std::string wrong = ReadQuoted(text, i, *part);
                if (!wrong.empty())
                    return wrong;
            } else if (text[i] == '=' && part == &word.value && word.key.empty()) {
                word.key = word.value;
                word.value.clear();
                i++;
            } else {
                *part += text[i++];
            }
        }
        words.push_back(word);
    }
    return "";
}

// A whole number, decimal, negative or 0x hexadecimal, that fits 64 bits.
bool ParseNumber(const std::string &word, int64_t *value) {
    if (word.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long long parsed = strtoll(word.c_str(), &end, 0);
    if (*end != '\0' || errno == ERANGE)
        return false;
    *value = parsed;
    return true;
}

bool ParseInRange(const std::string &word, int64_t lowest, int64_t highest, int64_t *value) {
    return ParseNumber(word, value) && *value >= lowest && *value <= highest;
}

std::string SecondsText(uint64_t ms) {
    char text[32];
    snprintf(text, sizeof text, "%llu.%03llu s", (unsigned long long)(ms / 1000),
             (unsigned long long)(ms % 1000));
    return text;
}

// Seconds as a plain decimal, such as 2 or 0.25: no sign, no exponent, no "nan" or "inf".
bool ParseSeconds(const std::string &word, uint64_t *ms) {
    size_t digits = 0, points = 0;
    for (char c : word) {
        if (c >= '0' && c <= '9')
            digits++;
        else if (c == '.')
            points++;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    double seconds = strtod(word.c_str(), nullptr);
    if (seconds > kMaxSeconds)
        return false;
    *ms = (uint64_t)(seconds * 1000.0 + 0.5);
    return true;
}

const std::map<std::string, int64_t> &ResultNames() {
    static const std::map<std::string, int64_t> names = {
        {"LINEERR_ALLOCATED", (LONG)LINEERR_ALLOCATED},
        {"LINEERR_BADDEVICEID", (LONG)LINEERR_BADDEVICEID},
        {"LINEERR_INCOMPATIBLEAPIVERSION", (LONG)LINEERR_INCOMPATIBLEAPIVERSION},
        {"LINEERR_INUSE", (LONG)LINEERR_INUSE},
        {"LINEERR_INVALAPPHANDLE", (LONG)LINEERR_INVALAPPHANDLE},
        {"LINEERR_INVALCALLHANDLE", (LONG)LINEERR_INVALCALLHANDLE},
        {"LINEERR_INVALCALLSTATE", (LONG)LINEERR_INVALCALLSTATE},
        {"LINEERR_INVALDEVICECLASS", (LONG)LINEERR_INVALDEVICECLASS},
        {"LINEERR_INVALLINEHANDLE", (LONG)LINEERR_INVALLINEHANDLE},
        {"LINEERR_INVALPOINTER", (LONG)LINEERR_INVALPOINTER},
        {"LINEERR_NODEVICE", (LONG)LINEERR_NODEVICE},
        {"LINEERR_NODRIVER", (LONG)LINEERR_NODRIVER},
        {"LINEERR_NOMEM", (LONG)LINEERR_NOMEM},
        {"LINEERR_OPERATIONFAILED", (LONG)LINEERR_OPERATIONFAILED},
        {"LINEERR_OPERATIONUNAVAIL", (LONG)LINEERR_OPERATIONUNAVAIL},
        {"LINEERR_RESOURCEUNAVAIL", (LONG)LINEERR_RESOURCEUNAVAIL},
        {"LINEERR_STRUCTURETOOSMALL", (LONG)LINEERR_STRUCTURETOOSMALL},
        {"LINEERR_UNINITIALIZED", (LONG)LINEERR_UNINITIALIZED},
        {"MMSYSERR_ERROR", MMSYSERR_ERROR},
        {"MMSYSERR_BADDEVICEID", MMSYSERR_BADDEVICEID},
        {"MMSYSERR_ALLOCATED", MMSYSERR_ALLOCATED},
        {"MMSYSERR_INVALHANDLE", MMSYSERR_INVALHANDLE},
        {"MMSYSERR_NODRIVER", MMSYSERR_NODRIVER},
        {"MMSYSERR_NOMEM", MMSYSERR_NOMEM},
        {"WAVERR_BADFORMAT", WAVERR_BADFORMAT},
        {"WAVERR_STILLPLAYING", WAVERR_STILLPLAYING},
        {"WAVERR_UNPREPARED", WAVERR_UNPREPARED},
        {"MMIOERR_FILENOTFOUND", MMIOERR_FILENOTFOUND},
        {"MMIOERR_ACCESSDENIED", MMIOERR_ACCESSDENIED},
        {"MMIOERR_CHUNKNOTFOUND", MMIOERR_CHUNKNOTFOUND},
        {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND},
        {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
        {"ERROR_INVALID_HANDLE", ERROR_INVALID_HANDLE},
        {"ERROR_MORE_DATA", ERROR_MORE_DATA},
        {"ERROR_READ_FAULT", ERROR_READ_FAULT},
        {"ERROR_DISK_FULL", ERROR_DISK_FULL},
        {"ERROR_IO_DEVICE", ERROR_IO_DEVICE},
    };
    return names;
}

const std::map<std::string, DWORD> &MessageNames() {
    static const std::map<std::string, DWORD> names = {
        {"LINE_CALLINFO", LINE_CALLINFO}, {"LINE_CALLSTATE", LINE_CALLSTATE},
        {"LINE_CLOSE", LINE_CLOSE},       {"LINE_LINEDEVSTATE", LINE_LINEDEVSTATE},
        {"LINE_REPLY", LINE_REPLY},       {"LINE_APPNEWCALL", LINE_APPNEWCALL},
        {"LINE_CREATE", LINE_CREATE},     {"LINE_REMOVE", LINE_REMOVE},
    };
    return names;
}

bool ParseMessage(const std::string &word, DWORD *msg) {
    auto it = MessageNames().find(word);
    if (it != MessageNames().end()) {
        *msg = it->second;
        return true;
    }
    int64_t value;
    if (!ParseNumber(word, &value))
        return false;
    *msg = (DWORD)value;
    return true;
}

template <typename T>
bool PickName(const std::string &value, std::initializer_list<std::pair<const char *, T>> names,
              T *out) {
    for (const auto &name : names)
        if (value == name.first) {
            *out = name.second;
            return true;
        }
    return false;
}

enum BehaviourWord { NOT_A_BEHAVIOUR, BEHAVIOUR_SET, BEHAVIOUR_BAD };

// How the device's provider behaves where the reference pages leave it open.
BehaviourWord ParseBehaviour(const Word &w, LineDeviceConfig &d) {
    bool ok = true;
    if (w.key.empty() && w.value == "ring-messages")
        d.ringMessages = true;
    else if (w.key == "call-modes")
        ok = PickName(w.value, {{"active", false}, {"zero", true}}, &d.zeroCallModes);
    else if (w.key == "disconnect")
        ok = PickName(
            w.value,
            {{"idle-on-drop", DISCONNECT_IDLE_ON_DROP}, {"auto-idle", DISCONNECT_AUTO_IDLE}},
            &d.disconnect);
    else if (w.key == "give-up")
        ok = PickName(w.value, {{"idle", GIVE_UP_IDLE}, {"disconnected", GIVE_UP_DISCONNECTED}},
                      &d.giveUp);
    else if (w.key == "answer-order" || w.key == "drop-order")
        ok = PickName(w.value, {{"reply-first", REPLY_FIRST}, {"state-first", STATE_FIRST}},
                      w.key == "answer-order" ? &d.answerOrder : &d.dropOrder);
    else if (w.key == "toosmall")
        ok = PickName(w.value, {{"needed", TOO_SMALL_NEEDED}, {"untouched", TOO_SMALL_UNTOUCHED}},
                      &d.tooSmall);
    else if (w.key == "idle-drop")
        ok = PickName(w.value,
                      {{"refuse", IDLE_DROP_REFUSE},
                       {"accept", IDLE_DROP_ACCEPT},
                       {"refuse-in-reply", IDLE_DROP_REFUSE_IN_REPLY}},
                      &d.idleDrop);
    else
        return NOT_A_BEHAVIOUR;
    return ok ? BEHAVIOUR_SET : BEHAVIOUR_BAD;
}

bool ParseDevice(Parser &p, const std::vector<Word> &words, MachineDescription &machine) {
    LineDeviceConfig device;
    std::string key, manufacturer;
    bool keyGiven = false;
    int64_t blockSize = -1;
    for (size_t i = 1; i < words.size(); i++) {
        const Word &w = words[i];
        BehaviourWord behaviour = ParseBehaviour(w, device);
        if (behaviour == BEHAVIOUR_BAD)
            return p.Fail("device: " + w.key + " cannot be " + w.value);
        if (behaviour == BEHAVIOUR_SET)
            continue;
        int64_t number = 0;
        bool numeric = ParseResult(w.value, &number);
        if (w.key == "name")
            device.name = w.value;
        else if (w.key == "key") {
            key = w.value;
            keyGiven = true;
        } else if (w.key == "manufacturer")
            manufacturer = w.value;
        else if (w.key == "devspecific")
            device.devSpecific = w.value;
        else if (!numeric)
            return p.Fail("device: " + w.key + " needs a number: " + w.value);
        else if (w.key == "wave")
            device.waveOutId = (DWORD)number;
        else if (w.key == "version")
            device.maxVersion = (DWORD)number;
        else if (w.key == "negotiate")
            device.negotiateResult = (LONG)number;
        else if (w.key == "caps")
            device.capsResult = (LONG)number;
        else if (w.key == "open")
            device.openResult = (LONG)number;
        else if (w.key == "bearer")
            device.bearerModes = (DWORD)number;
        else if (w.key == "media")
            device.mediaModes = (DWORD)number;
        else if (w.key == "features")
            device.lineFeatures = (DWORD)number;
        else if (w.key == "devspecific-size" && number >= 0 && number < 65536)
            blockSize = number;
        else
            return p.Fail("device: unknown setting " + w.key);
    }
    if (keyGiven && device.devSpecific.empty())
        device.devSpecific = ModemDevSpecific(key);
    if (blockSize >= 0) // the key block, padded with zeros or cut to that size
        device.devSpecific.resize((size_t)blockSize, '\0');
    if (keyGiven && !manufacturer.empty())
        machine.registry.push_back({key, "Manufacturer", manufacturer});
    machine.devices.push_back(device);
    machine.given = true;
    machine.standard = false;
    return true;
}

bool ParseRegistry(Parser &p, const std::vector<Word> &words, MachineDescription &machine) {
    RegistryText value;
    for (size_t i = 1; i < words.size(); i++) {
        if (words[i].key == "key")
            value.key = words[i].value;
        else if (words[i].key == "name")
            value.name = words[i].value;
        else if (words[i].key == "text")
            value.text = words[i].value;
        else
            return p.Fail("registry: unknown setting " + words[i].key);
    }
    if (value.key.empty() || value.name.empty())
        return p.Fail("registry: needs key= and name=");
    machine.registry.push_back(value);
    machine.given = true;
    return true;
}

bool ParseFormats(const std::string &list, WaveDeviceDescription &described) {
    std::stringstream formats(list);
    std::string one;
    while (std::getline(formats, one, ',')) {
        std::vector<uint32_t> fields;
        std::stringstream parts(one);
        std::string part;
        while (std::getline(parts, part, '/')) {
            int64_t number;
            if (part == "pcm")
                number = WAVE_FORMAT_PCM;
            else if (!ParseInRange(part, 0, kMaxDword, &number))
                return false;
            fields.push_back((uint32_t)number);
        }
        if (fields.size() != 4)
            return false;
        described.formats.push_back(fields);
    }
    return !described.formats.empty();
}

bool ParseWaveDevice(Parser &p, const std::vector<Word> &words, MachineDescription &machine) {
    WaveDeviceDescription described;
    for (size_t i = 1; i < words.size(); i++) {
        if (words[i].key == "name")
            described.name = words[i].value;
        else if (words[i].key == "formats") {
            if (!ParseFormats(words[i].value, described))
                return p.Fail("wave-device: formats are tag/channels/rate/bits, comma-separated");
        } else if (words[i].key.empty() && words[i].value == "preferred")
            described.preferred = true;
        else
            return p.Fail("wave-device: unknown setting " + words[i].value);
    }
    machine.waveDevices.push_back(described);
    machine.given = true;
    return true;
}

bool ParseLines(Parser &p, const std::string &text, bool machineOnly);

bool ParseMachine(Parser &p, const std::vector<Word> &words) {
    if (words.size() != 2)
        return p.Fail("machine: default, none or a file name");
    MachineDescription &machine = p.script->machine;
    machine.given = true;
    if (words[1].value == "default") {
        machine.standard = true;
        return true;
    }
    machine.standard = false;
    if (words[1].value == "none")
        return true;
    std::string path = words[1].value;
    if (!path.empty() && path[0] != '/' && !p.baseDir.empty())
        path = p.baseDir + "/" + path;
    std::string error;
    if (!ParseMachineFile(path, p.baseDir, &machine, &error))
        return p.Fail("machine: " + error);
    return true;
}

bool ParseCall(Parser &p, const std::vector<Word> &words, size_t first, ScriptEvent &event) {
    event.action = SCRIPT_CALL;
    CallConfig &call = event.call;
    for (size_t i = first; i < words.size(); i++) {
        const Word &w = words[i];
        int64_t number = 0;
        if (w.key.empty() && w.value == "no-callerid")
            call.callerIdDelivered = false;
        else if (w.key == "number") {
            call.numberDelivered = w.value != "none";
            call.number = call.numberDelivered ? w.value : "";
        } else if (w.key == "name") {
            call.nameDelivered = w.value != "none";
            call.name = call.nameDelivered ? w.value : "";
        } else if (w.key == "rings" && ParseInRange(w.value, 1, kMaxCount, &number))
            call.rings = (int)number;
        else if (w.key == "device" && ParseInRange(w.value, 0, kMaxDword, &number))
            call.device = (DWORD)number;
        else if (w.key == "hangup-after") {
            uint64_t ms;
            if (!ParseSeconds(w.value, &ms))
                return p.Fail("call: hangup-after needs seconds");
            call.hangUpAfterMs = (int64_t)ms;
        } else
            return p.Fail("call: unknown or bad setting " + (w.key.empty() ? w.value : w.key));
    }
    return true;
}

bool ParseRawMessage(Parser &p, const std::vector<Word> &words, size_t first, ScriptEvent &event) {
    event.action = SCRIPT_MESSAGE;
    size_t params = 0;
    bool haveMsg = false;
    for (size_t i = first; i < words.size(); i++) {
        const Word &w = words[i];
        int64_t value;
        if (w.key == "to") {
            if (w.value == "line")
                event.target = TARGET_LINE;
            else if (w.value.compare(0, 5, "call:") == 0 &&
                     ParseInRange(w.value.substr(5), 1, kMaxCount, &value)) {
                event.target = TARGET_CALL;
                event.callNumber = (int)value;
            } else if (ParseInRange(w.value, 0, kMaxDword, &value)) {
                event.target = TARGET_VALUE;
                event.targetValue = (DWORD)value;
            } else
                return p.Fail("message: to= is line, call:N or a number");
        } else if (!haveMsg) {
            if (!ParseMessage(w.value, &event.msg))
                return p.Fail("message: unknown message " + w.value);
            haveMsg = true;
        } else if (params < 3 && ParseResult(w.value, &value)) {
            event.params[params++] = (DWORD_PTR)(DWORD)value;
        } else
            return p.Fail("message: bad parameter " + w.value);
    }
    if (!haveMsg || params < 2)
        return p.Fail("message: needs MSG P1 P2 [P3]");
    return true;
}

bool ParseFault(Parser &p, const std::vector<Word> &words, size_t first, ScriptEvent &event) {
    event.action = SCRIPT_FAIL;
    if (words.size() < first + 2)
        return p.Fail("fail: needs FUNCTION RESULT");
    event.function = words[first].value;
    if (!IsJournalled(event.function))
        return p.Fail("fail: " + event.function + " is not a platform function that can fail");
    if (!ParseResult(words[first + 1].value, &event.result))
        return p.Fail("fail: unknown result " + words[first + 1].value);
    for (size_t i = first + 2; i < words.size(); i++) {
        int64_t nth;
        if (words[i].key == "nth" && ParseInRange(words[i].value, 1, kMaxCount, &nth))
            event.nth = (int)nth;
        else if (words[i].key == "text")
            event.text = words[i].value;
        else
            return p.Fail("fail: only nth=N and text=TEXT may follow");
    }
    return true;
}

// The user actions a script may take, with the argument each needs.
enum ActionArgument { NO_ARGUMENT, BUTTON, COMMAND_ID, SIGNAL_NAME };

bool IsId(const std::string &word) {
    int64_t id;
    return ParseInRange(word, 0, kMaxDword, &id);
}

bool ParseUserAction(Parser &p, const std::vector<Word> &words, size_t first, ScriptEvent &event) {
    static const std::map<std::string, ActionArgument> actions = {
        {"press", BUTTON},         {"command", COMMAND_ID},  {"syscommand", COMMAND_ID},
        {"signal", SIGNAL_NAME},   {"ok", NO_ARGUMENT},      {"escape", NO_ARGUMENT},
        {"enter", NO_ARGUMENT},    {"tab", NO_ARGUMENT},     {"shift-tab", NO_ARGUMENT},
        {"space", NO_ARGUMENT},    {"close", NO_ARGUMENT},   {"about", NO_ARGUMENT},
        {"minimize", NO_ARGUMENT}, {"restore", NO_ARGUMENT},
    };
    const std::string &what = words[first].value;
    event.action = SCRIPT_USER;
    event.user = what;
    auto action = actions.find(what);
    if (action == actions.end())
        return p.Fail("unknown action \"" + what + "\"");
    if (words.size() > first + 2)
        return p.Fail(what + ": at most one argument");
    if (words.size() == first + 2)
        event.argument = words[first + 1].value;
    const std::string &arg = event.argument;
    switch (action->second) {
    case NO_ARGUMENT:
        return arg.empty() || p.Fail(what + ": takes no argument");
    case BUTTON:
        return arg == "start" || arg == "stop" || arg == "exit" || IsId(arg) ||
               p.Fail("press: start, stop, exit or a control id");
    case COMMAND_ID:
        return IsId(arg) || p.Fail(what + ": needs a command id");
    case SIGNAL_NAME:
        return arg == "TERM" || arg == "HUP" || p.Fail("signal: TERM or HUP");
    }
    return false;
}

bool ParseTimed(Parser &p, const std::vector<Word> &words) {
    size_t first;
    uint64_t ms;
    if (words[0].value == "at" && words.size() >= 2 && ParseSeconds(words[1].value, &ms))
        first = 2;
    else if (words[0].value[0] == '+' && ParseSeconds(words[0].value.substr(1), &ms)) {
        ms += p.lastAtMs;
        first = 1;
    } else
        return p.Fail("a time is needed: \"at SECONDS\" or \"+SECONDS\"");
    if (ms > (uint64_t)(kMaxSeconds * 1000))
        return p.Fail("that time is too far away");
    if (ms < p.lastAtMs)
        return p.Fail("events must come in time order");
    if (words.size() <= first)
        return p.Fail("nothing to do at that time");
    p.lastAtMs = ms;

    ScriptEvent event;
    event.atMs = ms;
    event.line = p.line;
    const std::string &what = words[first].value;
    bool ok;
    if (what == "call")
        ok = ParseCall(p, words, first + 1, event);
    else if (what == "hangup") {
        int64_t n = 0;
        event.action = SCRIPT_HANGUP;
        ok = words.size() == first + 2 && ParseInRange(words[first + 1].value, 1, kMaxCount, &n);
        event.callNumber = (int)n;
        if (!ok)
            return p.Fail("hangup: needs the call's number");
    } else if (what == "message")
        ok = ParseRawMessage(p, words, first + 1, event);
    else if (what == "fail")
        ok = ParseFault(p, words, first + 1, event);
    else
        ok = ParseUserAction(p, words, first, event);
    if (ok)
        p.script->events.push_back(event);
    return ok;
}

bool ParseLine(Parser &p, const std::vector<Word> &words, bool machineOnly) {
    const std::string &what = words[0].value;
    MachineDescription &machine = p.script->machine;
    if (what == "device")
        return ParseDevice(p, words, machine);
    if (what == "registry")
        return ParseRegistry(p, words, machine);
    if (what == "wave-device")
        return ParseWaveDevice(p, words, machine);
    if (machineOnly)
        return p.Fail("a machine file holds only device, registry and wave-device lines");
    if (what == "machine")
        return ParseMachine(p, words);
    if (what == "boxes" && words.size() == 2 &&
        (words[1].value == "auto" || words[1].value == "wait")) {
        p.script->autoBoxes = words[1].value == "auto";
        return true;
    }
    if (what == "loop" && words.size() == 2) {
        p.loopLine = p.line;
        return ParseSeconds(words[1].value, &p.script->loopMs) && p.script->loopMs > 0
                   ? true
                   : p.Fail("loop: needs seconds");
    }
    return ParseTimed(p, words);
}

bool ParseLines(Parser &p, const std::string &text, bool machineOnly) {
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        p.line++;
        std::vector<Word> words;
        std::string wrong = SplitWords(line, words);
        if (!wrong.empty())
            return p.Fail(wrong);
        if (words.empty())
            continue;
        if (!ParseLine(p, words, machineOnly))
            return false;
    }
    return true;
}

} // namespace

bool ReadScriptFile(const std::string &path, std::string *text, std::string *error) {
    namespace fs = std::filesystem;
    std::error_code failed;
    fs::file_status status = fs::status(path, failed);
    if (failed || !fs::exists(status)) {
        *error = "cannot read " + path;
        return false;
    }
    // Read nothing that is not a file: a FIFO would block, /dev/zero never ends.
    if (fs::is_directory(status)) {
        *error = path + " is a folder, not a file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *error = path + " is not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    text->clear();
    char chunk[kReadChunk];
    while (text->size() <= kMaxScriptBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        text->append(chunk, (size_t)in.gcount());
    if (text->size() > kMaxScriptBytes) {
        *error = path + " is longer than " + std::to_string(kMaxScriptBytes >> 20) + " MB";
        return false;
    }
    return true;
}

bool ParseMachineFile(const std::string &path, const std::string &baseDir,
                      MachineDescription *machine, std::string *error) {
    std::string text;
    if (!ReadScriptFile(path, &text, error))
        return false;
    Script script;
    script.machine = *machine;
    Parser p;
    p.script = &script;
    p.baseDir = baseDir;
    if (!ParseLines(p, text, true)) {
        *error = path + ":" + p.error;
        return false;
    }
    *machine = script.machine;
    return true;
}

// Windows paths (the test DLL's) may use either slash.
static std::string DirectoryOf(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool LoadScriptFile(const std::string &path, Script *script, std::string *error) {
    std::string text;
    if (!ReadScriptFile(path, &text, error))
        return false;
    if (ParseScript(text, DirectoryOf(path), script, error))
        return true;
    *error = path + ":" + *error;
    return false;
}

bool LoadMachineFile(const std::string &path, MachineDescription *machine, std::string *error) {
    *machine = MachineDescription();
    machine->given = true;
    machine->standard = false;
    return ParseMachineFile(path, "", machine, error);
}

bool ParseResult(const std::string &word, int64_t *value) {
    auto it = ResultNames().find(word);
    if (it != ResultNames().end()) {
        *value = it->second;
        return true;
    }
    if (!ParseInRange(word, -0x80000000LL, 0xFFFFFFFFLL, value))
        return false;
    if (*value > 0x7FFFFFFF)
        *value = (int64_t)(LONG)(DWORD)*value; // 0x8000004D is the LONG the platform returns
    return true;
}

bool ParseScript(const std::string &text, const std::string &baseDir, Script *script,
                 std::string *error) {
    *script = Script();
    Parser p;
    p.script = script;
    p.baseDir = baseDir;
    bool ok = ParseLines(p, text, false);
    // A round must end before the next begins: rounds that overlap would pile up for ever.
    if (ok && script->loopMs > 0 && !script->events.empty() &&
        script->loopMs < script->events.back().atMs) {
        p.line = p.loopLine;
        ok = p.Fail("loop: shorter than the round of timed lines it repeats (the last at " +
                    SecondsText(script->events.back().atMs) + ")");
    }
    if (!ok)
        *error = p.error;
    return ok;
}

} // namespace sim
