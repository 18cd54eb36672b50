// The simulated telephony service. Portable standard C++: no operating-system calls here.
#include "platform/sim/line_service.h"

#include <algorithm>
#include <string.h>

namespace sim {

namespace {

enum : DWORD {
    kCallInfoFixed1 = 296, // LINECALLINFO before 2.0
    kCallInfoFixed2 = 324, // 2.x
    kCallInfoFixed3 = 344, // 3.0
    kDevCapsFixed14 = 240, // LINEDEVCAPS at 1.4
    kDevCapsFixed20 = 252, // 2.0 and 2.1
    kDevCapsFixed22 = 268, // 2.2
    kDevCapsFixed30 = 292, // 3.0
    kWaveIdSize = 4,
    kLowestVersion = 0x00010003,
    kVersion20 = 0x00020000,
    kRingMode = 1,
    kInitializeParamsSize = 24,
};

DWORD CallInfoFixed(DWORD version) {
    if (version >= 0x00030000)
        return kCallInfoFixed3;
    return version >= 0x00020000 ? kCallInfoFixed2 : kCallInfoFixed1;
}

DWORD DevCapsFixed(DWORD version) {
    if (version >= 0x00030000)
        return kDevCapsFixed30;
    if (version >= 0x00020002)
        return kDevCapsFixed22;
    return version >= 0x00020000 ? kDevCapsFixed20 : kDevCapsFixed14;
}

bool SameTextNoCase(const char *a, const char *b) {
    for (; *a && *b; a++, b++) {
        char x = (*a >= 'A' && *a <= 'Z') ? (char)(*a + 32) : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? (char)(*b + 32) : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

std::string Describe(const CallConfig &c) {
    if (!c.callerIdDelivered)
        return "without caller ID";
    std::string who = c.numberDelivered ? c.number : "no number";
    if (c.nameDelivered)
        who += " (" + c.name + ")";
    return "from " + who;
}

} // namespace

std::string ModemDevSpecific(const std::string &keyPath) {
    std::string block(8, '\0');
    DWORD flag = 1, offset = 8;
    memcpy(&block[0], &flag, 4);
    memcpy(&block[4], &offset, 4);
    return block + keyPath + '\0';
}

CallConfig MakeCall(const char *number, const char *name, int rings, bool callerId) {
    CallConfig call;
    call.callerIdDelivered = callerId;
    call.numberDelivered = number != nullptr;
    call.number = number ? number : "";
    call.nameDelivered = name != nullptr;
    call.name = name ? name : "";
    call.rings = rings;
    return call;
}

LineService::LineService(LineHost *h) : host(h) {}

void LineService::Reset() {
    devices.clear();
    calls.clear();
    nextNumber = 1;
    negotiated.clear();
    app = App();
    line = Line();
    events.clear();
    nextEvent = 1;
    nextRequest = 1;
    nextCall = 0x10001;
    nextLine = 0x20001;
    nextApp = 0x30001;
}

// ---- The service's own timeline -----------------------------------------------------------

int LineService::At(uint64_t ms, std::function<void()> action) {
    int id = nextEvent++;
    events.insert({ms, {id, std::move(action)}});
    host->WakeAt(ms);
    return id;
}

void LineService::Cancel(int event) {
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (it->second.first == event) {
            events.erase(it);
            return;
        }
    }
}

void LineService::RunDue() {
    while (!events.empty() && events.begin()->first <= host->NowMs()) {
        std::function<void()> action = std::move(events.begin()->second.second);
        events.erase(events.begin());
        action();
    }
}

void LineService::PostLater(uint64_t delayMs, std::function<void()> action) {
    At(host->NowMs() + delayMs, std::move(action));
}

void LineService::Post(DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    if (app.handle == 0 || line.handle == 0 || !app.callback)
        return; // nobody is listening
    host->Deliver(app.callback, hDevice, msg, line.instance, p1, p2, p3);
}

// Every request is completed exactly once, also after its call's handle has gone (LINE_REPLY,
// lineDeallocateCall from 2.0 on).
void LineService::Reply(LONG requestId, LONG outcome, uint64_t delayMs) {
    PostLater(delayMs, [this, requestId, outcome] {
        Post(0, LINE_REPLY, (DWORD_PTR)(DWORD)requestId, (DWORD_PTR)(DWORD)outcome, 0);
    });
}

// A request's reply and the call state it leads to, in the device's order.
void LineService::PostInOrder(ReplyOrder order, LONG request, std::function<void()> state) {
    if (order == REPLY_FIRST) {
        Reply(request, 0, kReplyDelayMs);
        PostLater(kDropDelayMs, std::move(state));
    } else {
        PostLater(kReplyDelayMs, std::move(state));
        Reply(request, 0, kDropDelayMs);
    }
}

// The application hears of a state only while it holds the call's handle; the first message
// carries its privilege (LINE_CALLSTATE, dwParam3).
void LineService::PostState(Call &call, DWORD state, DWORD detail) {
    DWORD privilege = call.stateSent ? 0 : call.privilege;
    call.stateSent = true;
    Post(call.handle, LINE_CALLSTATE, state, detail, privilege);
}

void LineService::SetState(Call &call, DWORD state, DWORD detail) {
    call.state = state;
    PostState(call, state, detail);
}

void LineService::Forget(int number) {
    auto it = calls.find(number);
    if (it == calls.end())
        return;
    StopRinging(it->second);
    calls.erase(it);
}

LineService::Call *LineService::ByNumber(int number) {
    auto it = calls.find(number);
    return it == calls.end() ? nullptr : &it->second;
}

std::function<void()> LineService::OnCall(int number, void (LineService::*step)(Call &)) {
    return [this, number, step] {
        if (Call *c = ByNumber(number))
            (this->*step)(*c);
    };
}

LineService::Call *LineService::Find(HCALL hCall) {
    if (hCall == 0)
        return nullptr;
    for (auto &entry : calls)
        if (entry.second.handle == hCall)
            return &entry.second;
    return nullptr;
}

const LineService::Call *LineService::Find(HCALL hCall) const {
    return const_cast<LineService *>(this)->Find(hCall);
}

const LineDeviceConfig &LineService::DeviceOf(const Call &call) const {
    static const LineDeviceConfig none;
    return call.config.device < devices.size() ? devices[call.config.device] : none;
}

HCALL LineService::CallHandle(int callNumber) const {
    auto it = calls.find(callNumber);
    return it == calls.end() ? 0 : it->second.handle;
}

bool LineService::CallAllocated(HCALL hCall) const {
    return Find(hCall) != nullptr;
}

DWORD LineService::CallState(HCALL hCall) const {
    const Call *call = Find(hCall);
    return call ? call->state : 0;
}

// ---- Incoming calls -------------------------------------------------------------------------

int LineService::ScheduleCall(const CallConfig &config, uint64_t atMs) {
    int number = nextNumber++;
    Call &call = calls[number];
    call.number = number;
    call.config = config;
    At(atMs, OnCall(number, &LineService::Arrive));
    return number;
}

void LineService::Arrive(Call &call) {
    std::string who = "Call " + std::to_string(call.number) + " " + Describe(call.config);
    if (line.handle == 0 || line.device != call.config.device) {
        host->Note(who + " rings, but no program has the line open");
        Forget(call.number);
        return;
    }
    // The owner is offered the call; a line opened to monitor sees it; one opened for outgoing
    // calls only gets no handle at all.
    if (line.privileges & LINECALLPRIVILEGE_OWNER)
        call.privilege = LINECALLPRIVILEGE_OWNER;
    else if (line.privileges & LINECALLPRIVILEGE_MONITOR)
        call.privilege = LINECALLPRIVILEGE_MONITOR;
    else {
        host->Note(who + " rings, but the line takes no calls");
        Forget(call.number);
        return;
    }
    call.handle = nextCall++;
    call.ringsDone = 1;
    host->Note(who + " rings");
    Post(line.handle, LINE_APPNEWCALL, 0, call.handle, call.privilege);
    // An alerting call on a line of its own (LINEOFFERINGMODE_, LINE_CALLSTATE).
    SetState(call, LINECALLSTATE_OFFERING,
             DeviceOf(call).zeroCallModes ? 0 : LINEOFFERINGMODE_ACTIVE);
    PostRing(call);

    int number = call.number;
    if (call.config.callerIdDelivered)
        PostLater(kCallerIdDelayMs, OnCall(number, &LineService::DeliverCallerId));
    if (call.config.rings > 1)
        PostLater(kRingPeriodMs, OnCall(number, &LineService::Ring));
    // The caller gives up in the pause after the last ring.
    uint64_t giveUp = (uint64_t)std::max(call.config.rings, 1) * kRingPeriodMs - 1000;
    call.giveUpEvent = At(host->NowMs() + giveUp, OnCall(number, &LineService::GiveUp));
}

void LineService::DeliverCallerId(Call &call) {
    if (call.state != LINECALLSTATE_OFFERING)
        return;
    host->Note("Caller ID of call " + std::to_string(call.number) + ": " +
               (call.config.numberDelivered ? call.config.number : "(no number)") + ", " +
               (call.config.nameDelivered ? call.config.name : "(no name)"));
    call.idArrived = true;
    Post(call.handle, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0, 0);
}

// Ring messages come only when asked for (lineSetStatusMessages: status reporting is off by
// default); then one per ring cycle, with the ring mode and a count from zero.
void LineService::PostRing(const Call &call) {
    if (DeviceOf(call).ringMessages)
        Post(line.handle, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, kRingMode,
             (DWORD)(call.ringsDone - 1));
}

void LineService::Ring(Call &call) {
    if (call.state != LINECALLSTATE_OFFERING)
        return;
    call.ringsDone++;
    host->Note("Call " + std::to_string(call.number) + " rings (" + std::to_string(call.ringsDone) +
               ")");
    PostRing(call);
    int number = call.number;
    if (call.ringsDone < call.config.rings)
        PostLater(kRingPeriodMs, OnCall(number, &LineService::Ring));
}

void LineService::StopRinging(Call &call) {
    if (call.giveUpEvent)
        Cancel(call.giveUpEvent);
    call.giveUpEvent = 0;
}

void LineService::GiveUp(Call &call) {
    call.giveUpEvent = 0;
    if (call.state != LINECALLSTATE_OFFERING)
        return;
    host->Note("Caller " + std::to_string(call.number) + " gave up after " +
               std::to_string(call.ringsDone) + " ring(s)");
    if (DeviceOf(call).giveUp == GIVE_UP_DISCONNECTED)
        Disconnect(call);
    else
        SetState(call, LINECALLSTATE_IDLE, 0);
}

// The far end is gone. Whether the call then goes idle by itself or waits for the application's
// drop is the provider's choice.
void LineService::Disconnect(Call &call) {
    SetState(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    if (DeviceOf(call).disconnect != DISCONNECT_AUTO_IDLE)
        return;
    int number = call.number;
    PostLater(kReplyDelayMs, [this, number] {
        Call *c = ByNumber(number);
        if (c && c->state == LINECALLSTATE_DISCONNECTED)
            SetState(*c, LINECALLSTATE_IDLE, 0);
    });
}

void LineService::HangUpFarEnd(int callNumber) {
    Call *call = ByNumber(callNumber);
    if (!call)
        return;
    if (call->state == LINECALLSTATE_OFFERING) {
        GiveUp(*call);
        return;
    }
    if (call->state != LINECALLSTATE_CONNECTED)
        return;
    host->Note("The far end of call " + std::to_string(call->number) + " hung up");
    Disconnect(*call);
}

void LineService::InjectMessage(uint64_t atMs, DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2,
                                DWORD_PTR p3) {
    At(atMs, [this, hDevice, msg, p1, p2, p3] { Post(hDevice, msg, p1, p2, p3); });
}

// ---- Registration and discovery -------------------------------------------------------------

LONG LineService::InitializeEx(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPDWORD lpdwNumDevs,
                               LPDWORD lpdwAPIVersion, LPLINEINITIALIZEEXPARAMS params) {
    if (!lphLineApp || !lpdwNumDevs || !lpdwAPIVersion)
        return (LONG)LINEERR_INVALPOINTER;
    if (params && params->dwTotalSize < kInitializeParamsSize)
        return (LONG)LINEERR_STRUCTURETOOSMALL;
    DWORD options = params ? params->dwOptions : LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    if (options != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW)
        return (LONG)LINEERR_INVALPARAM; // only the hidden-window delivery is offered here
    if (!callback)
        return (LONG)LINEERR_INVALPOINTER;
    if (*lpdwAPIVersion < 0x00020000)
        return (LONG)LINEERR_INCOMPATIBLEAPIVERSION;
    app.handle = nextApp++;
    app.callback = callback;
    app.version = *lpdwAPIVersion;
    negotiated.clear();
    *lphLineApp = app.handle;
    *lpdwNumDevs = (DWORD)devices.size();
    *lpdwAPIVersion = kTelephonyVersion;
    return 0;
}

LONG LineService::NegotiateAPIVersion(HLINEAPP hLineApp, DWORD deviceId, DWORD low, DWORD high,
                                      LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID extensionId) {
    if (hLineApp == 0 || hLineApp != app.handle)
        return (LONG)LINEERR_INVALAPPHANDLE;
    if (deviceId >= devices.size())
        return (LONG)LINEERR_BADDEVICEID;
    if (!lpdwAPIVersion || !extensionId)
        return (LONG)LINEERR_INVALPOINTER;
    const LineDeviceConfig &device = devices[deviceId];
    if (device.negotiateResult != 0)
        return device.negotiateResult;
    DWORD top = std::min(std::min(high, device.maxVersion), (DWORD)kTelephonyVersion);
    if (low > high || top < std::max(low, (DWORD)kLowestVersion))
        return (LONG)LINEERR_INCOMPATIBLEAPIVERSION;
    negotiated[deviceId] = top;
    *lpdwAPIVersion = top;
    memset(extensionId, 0, sizeof *extensionId);
    return 0;
}

DWORD LineService::NegotiatedFor(DWORD deviceId) const {
    auto it = negotiated.find(deviceId);
    return it == negotiated.end() ? 0 : it->second;
}

// A block below the fixed part of the negotiated version: the error, and dwNeededSize if the
// device writes it and the block can hold it (the pages promise only the error). Never past
// dwTotalSize.
bool LineService::TooSmall(const LineDeviceConfig &device, void *record, DWORD fixed,
                           DWORD needed) {
    DWORD total;
    memcpy(&total, record, 4);
    if (total >= fixed)
        return false;
    if (device.tooSmall == TOO_SMALL_NEEDED && total >= 8)
        memcpy((BYTE *)record + 4, &needed, 4);
    return true;
}

LONG LineService::GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD version, LPLINEDEVCAPS caps) {
    if (hLineApp == 0 || hLineApp != app.handle)
        return (LONG)LINEERR_INVALAPPHANDLE;
    if (deviceId >= devices.size())
        return (LONG)LINEERR_BADDEVICEID;
    const LineDeviceConfig &device = devices[deviceId];
    if (device.capsResult != 0)
        return device.capsResult;
    if (version == 0 || version != NegotiatedFor(deviceId))
        return (LONG)LINEERR_INCOMPATIBLEAPIVERSION;
    if (!caps)
        return (LONG)LINEERR_INVALPOINTER;

    DWORD fixed = DevCapsFixed(version);
    DWORD nameSize = (DWORD)device.name.size() + 1;
    DWORD needed = fixed + (DWORD)device.devSpecific.size() + nameSize;
    DWORD total = caps->dwTotalSize;
    if (TooSmall(device, caps, fixed, fixed))
        return (LONG)LINEERR_STRUCTURETOOSMALL;

    LINEDEVCAPS record;
    memset(&record, 0, sizeof record);
    record.dwTotalSize = total;
    record.dwNeededSize = needed;
    record.dwUsedSize = fixed;
    record.dwPermanentLineID = deviceId + 1;
    record.dwStringFormat = STRINGFORMAT_ASCII;
    record.dwNumAddresses = 1;
    record.dwBearerModes = device.bearerModes;
    record.dwMediaModes = device.mediaModes;
    record.dwMaxNumActiveCalls = 1;
    record.dwRingModes = kRingMode;
    record.dwLineStates = LINEDEVSTATE_RINGING;
    record.dwLineFeatures = device.lineFeatures;
    std::vector<BYTE> block(needed, 0);
    if (total >= needed) {
        record.dwUsedSize = needed;
        record.dwDevSpecificSize = (DWORD)device.devSpecific.size();
        record.dwDevSpecificOffset = fixed;
        record.dwLineNameSize = nameSize;
        record.dwLineNameOffset = fixed + record.dwDevSpecificSize;
        memcpy(&block[fixed], device.devSpecific.data(), device.devSpecific.size());
        memcpy(&block[record.dwLineNameOffset], device.name.c_str(), nameSize);
    }
    memcpy(block.data(), &record, fixed);
    memcpy(caps, block.data(), std::min(total, needed));
    return 0;
}

LONG LineService::Open(HLINEAPP hLineApp, DWORD deviceId, LPHLINE lphLine, DWORD version,
                       DWORD_PTR instance, DWORD privileges, DWORD mediaModes) {
    if (hLineApp == 0 || hLineApp != app.handle)
        return (LONG)LINEERR_INVALAPPHANDLE;
    if (deviceId >= devices.size())
        return (LONG)LINEERR_BADDEVICEID;
    if (!lphLine)
        return (LONG)LINEERR_INVALPOINTER;
    if (version == 0 || version != NegotiatedFor(deviceId))
        return (LONG)LINEERR_INCOMPATIBLEAPIVERSION;
    const LineDeviceConfig &device = devices[deviceId];
    if (device.openResult != 0)
        return device.openResult;
    // NONE (outgoing calls only) stands alone; MONITOR and OWNER may be combined.
    const DWORD known =
        LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
    if (privileges == 0 || (privileges & ~known) ||
        ((privileges & LINECALLPRIVILEGE_NONE) && privileges != LINECALLPRIVILEGE_NONE))
        return (LONG)LINEERR_INVALPRIVSELECT;
    if ((privileges & LINECALLPRIVILEGE_OWNER) &&
        (mediaModes == 0 || (mediaModes & ~device.mediaModes)))
        return (LONG)LINEERR_INVALMEDIAMODE;
    if (line.handle != 0)
        return (LONG)LINEERR_RESOURCEUNAVAIL; // one open line is all this service carries
    line.handle = nextLine++;
    line.device = deviceId;
    line.version = version;
    line.instance = instance;
    line.privileges = privileges;
    *lphLine = line.handle;
    host->Note("Line " + std::to_string(deviceId) + " (" + device.name + ") opened");
    return 0;
}

// ---- Calls ------------------------------------------------------------------------------------

LONG LineService::GetCallInfo(HCALL hCall, LPLINECALLINFO info) {
    Call *call = Find(hCall);
    if (!call)
        return (LONG)LINEERR_INVALCALLHANDLE;
    if (!info)
        return (LONG)LINEERR_INVALPOINTER;
    DWORD fixed = CallInfoFixed(line.version);
    DWORD total = info->dwTotalSize;
    if (TooSmall(devices[line.device], info, fixed, fixed))
        return (LONG)LINEERR_STRUCTURETOOSMALL;

    const CallConfig &c = call->config;
    bool idKnown = call->idArrived;
    std::string number = idKnown && c.numberDelivered ? c.number + '\0' : "";
    std::string name = idKnown && c.nameDelivered ? c.name + '\0' : "";
    DWORD needed = fixed + (DWORD)(number.size() + name.size());

    LINECALLINFO record;
    memset(&record, 0, sizeof record);
    record.dwTotalSize = total;
    record.dwNeededSize = needed;
    record.dwUsedSize = fixed;
    record.hLine = line.handle;
    record.dwLineDeviceID = line.device;
    record.dwBearerMode = LINEBEARERMODE_VOICE;
    record.dwMediaMode = LINEMEDIAMODE_AUTOMATEDVOICE;
    record.dwCallID = (DWORD)call->number;
    record.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_CONNECTED |
                          LINECALLSTATE_DISCONNECTED;
    record.dwNumOwners = call->privilege == LINECALLPRIVILEGE_OWNER ? 1 : 0;
    record.dwNumMonitors = call->privilege == LINECALLPRIVILEGE_MONITOR ? 1 : 0;
    DWORD flags = 0;
    if (!number.empty())
        flags |= LINECALLPARTYID_ADDRESS;
    if (!name.empty())
        flags |= LINECALLPARTYID_NAME;
    if (idKnown && c.numberDelivered && (c.number == "P" || c.number == "p"))
        flags = LINECALLPARTYID_BLOCKED;
    else if (idKnown && c.numberDelivered && (c.number == "O" || c.number == "o"))
        flags = LINECALLPARTYID_OUTOFAREA;
    record.dwCallerIDFlags = flags ? flags : LINECALLPARTYID_UNKNOWN;

    std::vector<BYTE> block(needed, 0);
    if (total >= needed) {
        record.dwUsedSize = needed;
        record.dwCallerIDSize = (DWORD)number.size();
        record.dwCallerIDOffset = number.empty() ? 0 : fixed;
        record.dwCallerIDNameSize = (DWORD)name.size();
        record.dwCallerIDNameOffset = name.empty() ? 0 : fixed + (DWORD)number.size();
        memcpy(&block[fixed], number.data(), number.size());
        memcpy(&block[fixed + number.size()], name.data(), name.size());
    }
    memcpy(block.data(), &record, fixed);
    memcpy(info, block.data(), std::min(total, needed));
    return 0;
}

// Only an owner may answer, and only an offered call (lineAnswer).
LONG LineService::Answer(HCALL hCall) {
    Call *call = Find(hCall);
    if (!call)
        return (LONG)LINEERR_INVALCALLHANDLE;
    if (call->privilege != LINECALLPRIVILEGE_OWNER)
        return (LONG)LINEERR_NOTOWNER;
    if (call->state != LINECALLSTATE_OFFERING)
        return (LONG)LINEERR_INVALCALLSTATE;
    StopRinging(*call);
    call->state = LINECALLSTATE_ACCEPTED; // no more rings
    LONG request = nextRequest++;
    host->Note("Call " + std::to_string(call->number) + " answered");
    ReplyOrder order = DeviceOf(*call).answerOrder;
    if (order == REPLY_FIRST)
        Reply(request, 0, kReplyDelayMs);
    int number = call->number;
    PostLater(kAnswerDelayMs, [this, number, request, order] {
        Call *c = ByNumber(number);
        if (c && c->state == LINECALLSTATE_ACCEPTED)
            Connect(*c);
        if (order == STATE_FIRST)
            Reply(request, 0, kReplyDelayMs);
    });
    return request;
}

void LineService::Connect(Call &call) {
    SetState(call, LINECALLSTATE_CONNECTED,
             DeviceOf(call).zeroCallModes ? 0 : LINECONNECTEDMODE_ACTIVE);
    int number = call.number;
    if (call.config.hangUpAfterMs >= 0)
        PostLater((uint64_t)call.config.hangUpAfterMs, [this, number] { HangUpFarEnd(number); });
}

LONG LineService::GetID(HLINE hLine, DWORD select, LPVARSTRING id, LPCSTR deviceClass) {
    if (hLine == 0 || hLine != line.handle)
        return (LONG)LINEERR_INVALLINEHANDLE;
    if (select != LINECALLSELECT_LINE)
        return (LONG)LINEERR_INVALCALLSELECT;
    if (!id || !deviceClass)
        return (LONG)LINEERR_INVALPOINTER;
    if (!SameTextNoCase(deviceClass, "wave/out"))
        return (LONG)LINEERR_INVALDEVICECLASS;
    DWORD needed = kVarStringFixedSize + kWaveIdSize;
    if (TooSmall(devices[line.device], id, kVarStringFixedSize, needed))
        return (LONG)LINEERR_STRUCTURETOOSMALL;
    id->dwNeededSize = needed;
    id->dwUsedSize = kVarStringFixedSize;
    id->dwStringFormat = STRINGFORMAT_BINARY;
    id->dwStringSize = 0;
    id->dwStringOffset = 0;
    if (id->dwTotalSize >= needed) {
        DWORD wave = devices[line.device].waveOutId;
        memcpy((BYTE *)id + kVarStringFixedSize, &wave, kWaveIdSize);
        id->dwUsedSize = needed;
        id->dwStringSize = kWaveIdSize;
        id->dwStringOffset = kVarStringFixedSize;
    }
    return 0;
}

// An idle call cannot be dropped (lineDrop, TSPI_lineDrop); a device may still accept it.
LONG LineService::DropIdle(const Call &call) {
    IdleDropBehaviour behaviour = DeviceOf(call).idleDrop;
    if (behaviour == IDLE_DROP_REFUSE)
        return (LONG)LINEERR_INVALCALLSTATE;
    LONG request = nextRequest++;
    Reply(request, behaviour == IDLE_DROP_ACCEPT ? 0 : (LONG)LINEERR_INVALCALLSTATE, kReplyDelayMs);
    return request;
}

// Only an owner may drop. Any other state goes idle: an offered call is rejected, a connected
// or disconnected one hung up.
LONG LineService::Drop(HCALL hCall) {
    Call *call = Find(hCall);
    if (!call)
        return (LONG)LINEERR_INVALCALLHANDLE;
    if (call->privilege != LINECALLPRIVILEGE_OWNER)
        return (LONG)LINEERR_NOTOWNER;
    if (call->state == LINECALLSTATE_IDLE)
        return DropIdle(*call);
    StopRinging(*call);
    host->Note("Call " + std::to_string(call->number) + " hung up");
    call->state = LINECALLSTATE_IDLE; // the modem goes on hook now; the message follows
    LONG request = nextRequest++;
    int number = call->number;
    PostInOrder(DeviceOf(*call).dropOrder, request, [this, number] {
        if (Call *c = ByNumber(number))
            PostState(*c, LINECALLSTATE_IDLE, 0);
    });
    return request;
}

// From 2.0 on a handle may go in any state (lineDeallocateCall). With the last handle gone the
// provider closes the call and reports nothing more of it (TSPI_lineCloseCall): the service
// forgets it.
LONG LineService::DeallocateCall(HCALL hCall) {
    Call *call = Find(hCall);
    if (!call)
        return (LONG)LINEERR_INVALCALLHANDLE;
    if (call->state != LINECALLSTATE_IDLE && call->privilege == LINECALLPRIVILEGE_OWNER &&
        line.version < kVersion20)
        return (LONG)LINEERR_INVALCALLSTATE;
    host->Note("Call " + std::to_string(call->number) + " released");
    Forget(call->number);
    return 0;
}

LONG LineService::Close(HLINE hLine) {
    if (hLine == 0 || hLine != line.handle)
        return (LONG)LINEERR_INVALLINEHANDLE;
    // Closing the line releases its calls; calls still to come stay scheduled.
    std::vector<int> arrived;
    for (const auto &entry : calls)
        if (entry.second.handle != 0)
            arrived.push_back(entry.first);
    for (int number : arrived)
        Forget(number);
    host->Note("Line " + std::to_string(line.device) + " closed");
    line = Line();
    return 0;
}

LONG LineService::Shutdown(HLINEAPP hLineApp) {
    if (hLineApp == 0 || hLineApp != app.handle)
        return (LONG)LINEERR_INVALAPPHANDLE;
    if (line.handle != 0)
        Close(line.handle);
    app = App();
    negotiated.clear();
    return 0;
}

} // namespace sim
