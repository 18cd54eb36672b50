// The simulated telephony service: line devices of voice modems, registration, line opening,
// incoming calls and the asynchronous requests on them, as a modem's service provider behaves
// as far as the program relies on it.
//
// Portable standard C++ on purpose: the same core runs inside the simulated operating system on
// Linux and inside a telephony DLL that stands in for the real one under Wine. What differs
// between the two, time and the delivery of line messages, is the LineHost's business.
#ifndef RINGWARD_SIM_LINE_SERVICE_H
#define RINGWARD_SIM_LINE_SERVICE_H

#include "platform/platform.h"

#include <functional>
#include <map>
#include <stdint.h>
#include <string>
#include <vector>

namespace sim {

// What the service needs from the system it runs in.
class LineHost {
  public:
    virtual ~LineHost() = default;
    virtual uint64_t NowMs() = 0;
    // Queues a line message for the application's thread; it is handed to the callback later,
    // from the application's message loop.
    virtual void Deliver(LINECALLBACK callback, DWORD hDevice, DWORD msg, DWORD_PTR instance,
                         DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3) = 0;
    // Asks to have LineService::RunDue called once the clock reaches ms.
    virtual void WakeAt(uint64_t ms) = 0;
    virtual void Note(const std::string &text) = 0;
};

enum : DWORD {
    kTelephonyVersion = 0x00030001, // what lineInitializeExA reports as the highest version
    kModemVersion = 0x00030000,     // highest version a modem line negotiates by default
};

// Where the reference pages leave a provider a choice, a device makes it; docs/telephony.md
// says which page each follows and which default was chosen and why.
enum ReplyOrder {
    REPLY_FIRST, // the request's LINE_REPLY, then the call state it leads to
    STATE_FIRST, // the new call state, then the LINE_REPLY
};
enum DisconnectBehaviour {
    DISCONNECT_IDLE_ON_DROP, // a disconnected call stays so until the application drops it
    DISCONNECT_AUTO_IDLE,    // it goes idle by itself right after
};
enum GiveUpBehaviour {
    GIVE_UP_IDLE,         // a caller who gives up while ringing leaves the call idle at once
    GIVE_UP_DISCONNECTED, // the call is disconnected first, then as DisconnectBehaviour says
};
enum TooSmallBehaviour {
    TOO_SMALL_NEEDED,    // LINEERR_STRUCTURETOOSMALL with dwNeededSize written into the block
    TOO_SMALL_UNTOUCHED, // the error alone, the block left as it was
};
enum IdleDropBehaviour {
    IDLE_DROP_REFUSE,          // lineDrop of an idle call returns LINEERR_INVALCALLSTATE
    IDLE_DROP_ACCEPT,          // it is accepted and its reply reports success
    IDLE_DROP_REFUSE_IN_REPLY, // it is accepted and its reply reports LINEERR_INVALCALLSTATE
};

// One line device, as discovery sees it, and how its provider behaves.
struct LineDeviceConfig {
    std::string name = "Voice Modem";
    DWORD maxVersion = kModemVersion; // 0: negotiation fails
    LONG negotiateResult = 0;         // non-zero: the negotiation's error
    LONG capsResult = 0;              // non-zero: lineGetDevCapsA's error (e.g. RESOURCEUNAVAIL)
    DWORD bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    DWORD mediaModes =
        LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
    DWORD lineFeatures = LINEFEATURE_MAKECALL;
    std::string devSpecific; // the device-specific block, byte for byte
    LONG openResult = 0;     // non-zero: lineOpenA's error (e.g. ALLOCATED when busy)
    DWORD waveOutId = 0;     // answer to lineGetIDA "wave/out"

    bool ringMessages = false;  // LINEDEVSTATE_RINGING per ring, as if the line had asked for them
    bool zeroCallModes = false; // offering and connected modes sent as 0 rather than ACTIVE
    DisconnectBehaviour disconnect = DISCONNECT_IDLE_ON_DROP;
    GiveUpBehaviour giveUp = GIVE_UP_IDLE;
    ReplyOrder answerOrder = REPLY_FIRST;
    ReplyOrder dropOrder = STATE_FIRST;
    TooSmallBehaviour tooSmall = TOO_SMALL_NEEDED;
    IdleDropBehaviour idleDrop = IDLE_DROP_REFUSE;
};

// The device-specific block of a modem line: two words, then the modem's registry key path.
std::string ModemDevSpecific(const std::string &keyPath);

// An incoming call and how its caller behaves.
struct CallConfig {
    bool callerIdDelivered = true; // false: no caller-ID message at all
    bool numberDelivered = true;
    std::string number;
    bool nameDelivered = true;
    std::string name;
    int rings = 4;              // rings before the caller gives up, if nobody answers
    int64_t hangUpAfterMs = -1; // far end hangs up this long after being connected; -1 never
    DWORD device = 0;           // line device the call comes in on
};

// A call whose number and name texts are delivered, or not when null, with caller ID or none.
CallConfig MakeCall(const char *number, const char *name, int rings = 4, bool callerId = true);

enum : uint64_t {
    kRingPeriodMs = 6000,    // a ring cycle on a North American line
    kCallerIdDelayMs = 2500, // caller ID arrives in the pause after the first ring
    kAnswerDelayMs = 300,    // lineAnswer: the modem is off hook and connected
    kReplyDelayMs = 50,      // the first of a request's two messages
    kDropDelayMs = 100,      // lineDrop: the second of its two messages
};

class LineService {
  public:
    explicit LineService(LineHost *host);

    // Machine set-up.
    void Reset();
    std::vector<LineDeviceConfig> &Devices() { return devices; }
    int ScheduleCall(const CallConfig &call, uint64_t atMs); // returns the call's number, 1..
    // Posts a message exactly as given, to the callback of the open line, at atMs.
    void InjectMessage(uint64_t atMs, DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2,
                       DWORD_PTR p3);
    // Makes the far end of a call (by its number) hang up now.
    void HangUpFarEnd(int callNumber);
    void RunDue();

    // What tests may look at.
    HLINEAPP AppHandle() const { return app.handle; }
    HLINE OpenLine() const { return line.handle; }
    DWORD OpenLineVersion() const { return line.version; }
    HCALL CallHandle(int callNumber) const; // 0 once the service has forgotten the call
    bool CallAllocated(HCALL call) const;
    DWORD CallState(HCALL call) const;
    size_t KeptCalls() const { return calls.size(); } // scheduled, ringing or in progress

    // The telephony API.
    LONG InitializeEx(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPDWORD lpdwNumDevs,
                      LPDWORD lpdwAPIVersion, LPLINEINITIALIZEEXPARAMS params);
    LONG NegotiateAPIVersion(HLINEAPP hLineApp, DWORD deviceId, DWORD low, DWORD high,
                             LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID extensionId);
    LONG GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD version, LPLINEDEVCAPS caps);
    LONG Open(HLINEAPP hLineApp, DWORD deviceId, LPHLINE lphLine, DWORD version, DWORD_PTR instance,
              DWORD privileges, DWORD mediaModes);
    LONG GetCallInfo(HCALL hCall, LPLINECALLINFO info);
    LONG Answer(HCALL hCall);
    LONG GetID(HLINE hLine, DWORD select, LPVARSTRING id, LPCSTR deviceClass);
    LONG Drop(HCALL hCall);
    LONG DeallocateCall(HCALL hCall);
    LONG Close(HLINE hLine);
    LONG Shutdown(HLINEAPP hLineApp);

  private:
    struct Call {
        int number;
        CallConfig config;
        HCALL handle = 0; // the application's handle once the call has come; 0 before
        DWORD state = 0;
        DWORD privilege = 0;    // the application's, while it holds a handle; 0 = none
        bool stateSent = false; // a LINE_CALLSTATE has carried the privilege
        int ringsDone = 0;
        bool idArrived = false; // the caller ID has come in the pause after the first ring
        int giveUpEvent = 0;    // pending "caller gives up" event, 0 = none
    };
    struct App {
        HLINEAPP handle = 0;
        LINECALLBACK callback = nullptr;
        DWORD version = 0;
    };
    struct Line {
        HLINE handle = 0;
        DWORD device = 0;
        DWORD version = 0;
        DWORD_PTR instance = 0;
        DWORD privileges = 0;
    };

    int At(uint64_t ms, std::function<void()> action);
    void Cancel(int event);
    void Post(DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void PostLater(uint64_t delayMs, std::function<void()> action);
    Call *ByNumber(int number);
    // An action for later on the call of that number, done only if the service still has it.
    std::function<void()> OnCall(int number, void (LineService::*step)(Call &));
    void Reply(LONG requestId, LONG outcome, uint64_t delayMs);
    void SetState(Call &call, DWORD state, DWORD detail);
    void PostState(Call &call, DWORD state, DWORD detail);
    void Forget(int number);
    void Arrive(Call &call);
    void Ring(Call &call);
    void PostRing(const Call &call);
    void DeliverCallerId(Call &call);
    void GiveUp(Call &call);
    void Disconnect(Call &call);
    void Connect(Call &call);
    void StopRinging(Call &call);
    LONG DropIdle(const Call &call);
    void PostInOrder(ReplyOrder order, LONG request, std::function<void()> state);
    const LineDeviceConfig &DeviceOf(const Call &call) const;
    static bool TooSmall(const LineDeviceConfig &device, void *record, DWORD fixed, DWORD needed);
    Call *Find(HCALL hCall);
    const Call *Find(HCALL hCall) const;
    DWORD NegotiatedFor(DWORD deviceId) const;

    LineHost *host;
    std::vector<LineDeviceConfig> devices;
    // Calls by number, kept only while they can still matter: from their scheduling until the
    // application lets go of their handle or the line closes, so that a long run does not pile
    // them up.
    std::map<int, Call> calls;
    int nextNumber = 1;
    std::map<DWORD, DWORD> negotiated; // device id -> version agreed for it
    App app;
    Line line;
    std::multimap<uint64_t, std::pair<int, std::function<void()>>> events;
    int nextEvent = 1;
    LONG nextRequest = 1;
    HCALL nextCall = 0x10001;
    HLINE nextLine = 0x20001;
    HLINEAPP nextApp = 0x30001;
};

// The service instance of the system this is built into.
LineService &TheLineService();

} // namespace sim

#endif
