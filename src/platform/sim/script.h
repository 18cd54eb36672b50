// Scripts of the simulated machine: a text file of timed events that drives the line (incoming
// calls, hang-ups, raw line messages), the user (buttons, keys, boxes) and injected failures,
// and that describes the machine itself (line devices, registry values, wave-out devices).
// Portable standard C++: the telephony DLL used under Wine reads the same files.
//
// One directive per line; "#" starts a comment. A value is a bare word, a "quoted text" with
// the escapes \" \\ \n \r \t \xHH, or a 'raw text' taken as it stands (handy for registry
// paths). Timed lines begin with "at SECONDS" (from the start) or "+SECONDS" (after the
// previous timed line).
//
//   machine default | none | FILE       the machine to run on (a FILE holds device, registry
//                                       and wave-device lines)
//   device name=.. key=.. manufacturer=.. wave=N version=0x30000 negotiate=ERR caps=ERR
//          open=ERR bearer=N media=N features=N devspecific-size=N
//          ring-messages call-modes=active|zero disconnect=idle-on-drop|auto-idle
//          give-up=idle|disconnected answer-order=reply-first|state-first
//          drop-order=state-first|reply-first toosmall=needed|untouched
//          idle-drop=refuse|accept|refuse-in-reply   (the provider's choices; first = default)
//   registry key=.. name=.. text=..
//   wave-device name=.. formats=pcm/1/8000/16,pcm/1/8000/8 [preferred]
//   boxes auto | wait                   answer message boxes at once, or wait for "ok"
//   loop SECONDS                        start the timed lines again this long after start
//   at T call number=.. name=.. rings=N hangup-after=SECONDS device=N no-callerid
//                                       (number=none or name=none: that text is not delivered)
//   at T hangup N                       the far end of call N hangs up
//   at T message MSG P1 P2 [P3] [to=line|call:N|NUMBER]
//   at T fail FUNCTION RESULT [nth=N] [text=TEXT]
//                                       the Nth next call of FUNCTION (with that text
//                                       argument, such as a file name) returns RESULT
//   at T press start|stop|exit|ID       a user action; the others: ok escape enter tab close
//   at T about|minimize|restore|ok|...  about minimize restore command ID syscommand ID
#ifndef RINGWARD_SIM_SCRIPT_H
#define RINGWARD_SIM_SCRIPT_H

#include "platform/sim/line_service.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace sim {

struct RegistryText {
    std::string key;
    std::string name;
    std::string text;
};

struct WaveDeviceDescription {
    std::string name;
    // Each format as tag, channels, samples per second, bits per sample.
    std::vector<std::vector<uint32_t>> formats;
    bool preferred = false;
};

struct MachineDescription {
    bool given = false;   // a machine line or device lines were seen
    bool standard = true; // start from the default machine
    std::vector<LineDeviceConfig> devices;
    std::vector<RegistryText> registry;
    std::vector<WaveDeviceDescription> waveDevices;
};

enum ScriptAction {
    SCRIPT_CALL,
    SCRIPT_HANGUP,
    SCRIPT_MESSAGE,
    SCRIPT_FAIL,
    SCRIPT_USER,
};

enum MessageTarget { TARGET_LINE, TARGET_CALL, TARGET_VALUE };

struct ScriptEvent {
    uint64_t atMs = 0;
    ScriptAction action = SCRIPT_USER;
    int line = 0; // where it stands in the file, for messages
    CallConfig call;
    int callNumber = 0;                 // hangup; message to call:N
    DWORD msg = 0;                      // message
    DWORD_PTR params[3] = {0, 0, 0};    // message
    MessageTarget target = TARGET_LINE; // message
    DWORD targetValue = 0;              // message to NUMBER
    std::string function;               // fail
    int64_t result = 0;                 // fail
    int nth = 1;                        // fail
    std::string text;                   // fail: only calls with this text argument
    std::string user;                   // user action ("press", "ok", ...)
    std::string argument;               // its argument ("start", an id)
};

struct Script {
    MachineDescription machine;
    std::vector<ScriptEvent> events; // in time order
    bool autoBoxes = false;
    uint64_t loopMs = 0; // 0: no repetition
};

// Parses script text. File names in it are taken relative to baseDir. On a fault, returns
// false with *error as "LINE: what is wrong". Everything is checked here, before a run starts:
// times, numbers, escapes, the functions a "fail" names, the user actions.
bool ParseScript(const std::string &text, const std::string &baseDir, Script *script,
                 std::string *error);

// The script in the file at path, read and parsed; the file names in it count from its folder.
// False with *error as "PATH:LINE: what is wrong", or why the file cannot be read.
bool LoadScriptFile(const std::string &path, Script *script, std::string *error);
// The machine that a --machine FILE option names, in place of a script's: the file's device,
// registry and wave-device lines alone. False with *error as ParseMachineFile says it.
bool LoadMachineFile(const std::string &path, MachineDescription *machine, std::string *error);

// Reads a script or machine file whole: a regular file of at most a few megabytes, never a
// folder, a device or a FIFO. False with *error saying why.
bool ReadScriptFile(const std::string &path, std::string *text, std::string *error);

// Adds the device, registry and wave-device lines of the file path to *machine. False with
// *error as "PATH:LINE: what is wrong", or why the file cannot be read.
bool ParseMachineFile(const std::string &path, const std::string &baseDir,
                      MachineDescription *machine, std::string *error);

// Error codes and results by name (LINEERR_ALLOCATED, MMSYSERR_NOMEM, ERROR_MORE_DATA ...) or
// as numbers (decimal, negative, or 0x hexadecimal). False when it is neither.
bool ParseResult(const std::string &word, int64_t *value);

} // namespace sim

#endif
