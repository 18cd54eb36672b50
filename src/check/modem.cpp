// ringward-check modem [--try-open]: every line device in the order modem discovery examines
// them, with what the telephony system says of each (its name, the version negotiated, the
// first capability request and what it left, the modes, the key text as delivered, the
// modem's maker) and the verdict discovery reaches, judged by discovery's own examination.
// It opens no line unless asked to, and then each candidate only as discovery would, closing it
// at once; the registry is only read.
#include "check/check.h"

#include <string.h>

static const FlagName kBearerModes[] = {
    {LINEBEARERMODE_VOICE, "VOICE"}, {0x2, "SPEECH"},          {0x4, "MULTIUSE"},
    {LINEBEARERMODE_DATA, "DATA"},   {0x10, "ALTSPEECHDATA"},  {0x20, "NONCALLSIGNALING"},
    {0x40, "PASSTHROUGH"},           {0x80, "RESTRICTEDDATA"},
};
static const FlagName kMediaModes[] = {
    {0x2, "UNKNOWN"},
    {LINEMEDIAMODE_INTERACTIVEVOICE, "INTERACTIVEVOICE"},
    {LINEMEDIAMODE_AUTOMATEDVOICE, "AUTOMATEDVOICE"},
    {LINEMEDIAMODE_DATAMODEM, "DATAMODEM"},
    {0x20, "G3FAX"},
    {0x40, "TDD"},
    {0x80, "G4FAX"},
    {0x100, "DIGITALDATA"},
};
static const FlagName kLineFeatures[] = {
    {0x1, "DEVSPECIFIC"},      {0x2, "DEVSPECIFICFEAT"},
    {0x4, "FORWARD"},          {LINEFEATURE_MAKECALL, "MAKECALL"},
    {0x10, "SETMEDIACONTROL"}, {0x20, "SETTERMINAL"},
    {0x40, "SETDEVSTATUS"},    {0x80, "FORWARDFWD"},
    {0x100, "FORWARDDND"},
};

// Where discovery stands after the devices so far.
struct Discovery {
    int ended;     // it stops before the next device: it failed, or opened one
    DWORD endedAt; // the device it stopped at
    DWORD chosen;  // the device it would open, kNoLine while none
    int tryOpen;
};

// Nothing comes while no line is open, and a line opened on trial is closed at once.
static void CALLBACK IgnoreLineMessage(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

static void SayName(FILE *out, const LineDeviceFacts *facts) {
    char shown[kShownSize];
    fprintf(out, "device %lu: %s\n", (unsigned long)facts->id, LineNameText(facts, shown));
}

static void SayCapabilities(FILE *out, const LineDeviceFacts *facts) {
    char text[kResultTextSize], requests[kFindingSize];
    if (facts->negotiateResult != 0) {
        fprintf(out, "  version:      none agreed: %s\n", ResultText(facts->negotiateResult, text));
        return;
    }
    fprintf(out, "  version:      %s negotiated\n", VersionText(facts->version, text));
    RecordRequests asked = {kLineDevCapsFixedSize, facts->firstCapsResult, facts->firstNeededSize,
                            facts->capsRequests,   facts->capsSize,        facts->capsResult};
    if (!facts->caps)
        fprintf(out, "  capabilities: no memory for the record\n");
    else
        fprintf(out, "  capabilities: %s\n", RequestsText(&asked, requests));
    if (!facts->caps || facts->capsResult != 0)
        return;
    char bearer[kFlagsTextSize], media[kFlagsTextSize], features[kFlagsTextSize];
    fprintf(
        out, "  modes:        bearer %s, media %s, line features %s\n",
        FlagsText(facts->caps->dwBearerModes, kBearerModes, COUNT_OF(kBearerModes), bearer),
        FlagsText(facts->caps->dwMediaModes, kMediaModes, COUNT_OF(kMediaModes), media),
        FlagsText(facts->caps->dwLineFeatures, kLineFeatures, COUNT_OF(kLineFeatures), features));
}

// The device-specific block as delivered: its two words, then the key text up to its NUL, with
// the "SYSTEM" part in whatever letters it has. Returns that text's "system" in the case the
// key has it (its letters in spelling), from there on terminated in keyText; or null.
static const char *SayKeyBlock(FILE *out, const LineDeviceFacts *facts, char *spelling,
                               char keyText[kKeyBufferSize]) {
    const LINEDEVCAPS *caps = facts->caps;
    if (!caps || facts->capsResult != 0)
        return NULL;
    DWORD size = caps->dwDevSpecificSize, offset = caps->dwDevSpecificOffset;
    const char *block = CapsBytes(facts, size, offset);
    if (!block) {
        fprintf(out, "  key block:    %lu bytes at %lu: outside the record of %lu bytes\n",
                (unsigned long)size, (unsigned long)offset, (unsigned long)facts->capsSize);
        return NULL;
    }
    if (size <= (DWORD)kKeyTextStart) {
        fprintf(out, "  key block:    %lu bytes at %lu: no key text\n", (unsigned long)size,
                (unsigned long)offset);
        return NULL;
    }
    DWORD words[2];
    memcpy(words, block, sizeof words);
    const char *text = block + kKeyTextStart;
    const char *end = (const char *)memchr(text, '\0', size - kKeyTextStart);
    size_t length = end ? (size_t)(end - text) : size - kKeyTextStart;
    char shown[kShownSize];
    fprintf(out, "  key block:    %lu bytes at %lu: words 0x%08lX 0x%08lX, text %s%s\n",
            (unsigned long)size, (unsigned long)offset, (unsigned long)words[0],
            (unsigned long)words[1], QuotedBytes(text, length, shown),
            length == size - kKeyTextStart ? " (no NUL)" : "");
    static const char kSystem[] = "SYSTEM";
    size_t kept = length < kKeyBufferSize - 1 ? length : kKeyBufferSize - 1;
    memcpy(keyText, text, kept);
    keyText[kept] = '\0';
    const char *found = StrStrNoCase(keyText, kSystem);
    if (!found)
        return NULL;
    memcpy(spelling, found, sizeof kSystem - 1);
    spelling[sizeof kSystem - 1] = '\0';
    return found;
}

static const char *const kRegistryCalls[] = {"", "RegOpenKeyExA", "RegQueryValueExA",
                                             "RegCloseKey"};
static const char *const kRegistryTags[] = {"", "SBD 300", "SBD 320", "SBD 340"};

static void SayMaker(FILE *out, const DeviceJudgement *judged) {
    char shown[kShownSize];
    if (judged->registryStep != REGISTRY_READ)
        fprintf(out, "  manufacturer: not read: %s returned %ld\n",
                kRegistryCalls[judged->registryStep], (long)judged->registryStatus);
    else if (judged->facts.keyPath)
        fprintf(out, "  manufacturer: %s\n", Quoted(judged->manufacturer, shown));
}

// A key whose "SYSTEM" is written in other letters: the registry ignores the case, so the maker
// can be read all the same; the program never gets that far.
static void SayMakerBeyondDiscovery(FILE *out, const char *keyPath) {
    char maker[kManufacturerSize], shown[kShownSize];
    LONG status;
    RegistryStep step = ReadModemManufacturer(keyPath, maker, &status);
    if (step == REGISTRY_READ)
        fprintf(out, "  manufacturer: %s (read by this check; the program never reads it)\n",
                Quoted(maker, shown));
    else
        fprintf(out, "  manufacturer: not read: %s returned %ld\n", kRegistryCalls[step],
                (long)status);
}

enum : int { kMissingBitsSize = 64 };

static void MissingVoiceBits(const LINEDEVCAPS *caps, char *out) {
    snprintf(out, kMissingBitsSize, "%s%s%s",
             caps->dwBearerModes & LINEBEARERMODE_VOICE ? "" : " bearer VOICE",
             caps->dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE ? "" : " media AUTOMATEDVOICE",
             caps->dwLineFeatures & LINEFEATURE_MAKECALL ? "" : " feature MAKECALL");
}

// The report with which discovery ends at a device with this verdict; null when it goes on.
static const char *EndingReport(DeviceVerdict verdict) {
    switch (verdict) {
    case DEVICE_NEGOTIATION_FAILED:
        return "IVM 320";
    case DEVICE_NO_MEMORY:
        return "IVM 340";
    case DEVICE_CAPS_FAILED:
        return "IVM 360";
    default:
        return NULL;
    }
}

// The verdict in words: what discovery does with the device, and the report it makes.
static void VerdictText(const DeviceJudgement *judged, const char *spelling, int openFailed,
                        char *out) {
    const LineDeviceFacts *facts = &judged->facts;
    char shown[kShownSize], bits[kMissingBitsSize];
    if (const char *report = EndingReport(judged->verdict)) {
        snprintf(out, kFindingSize, "discovery ends here with \"%s\"; the program ends", report);
        return;
    }
    switch (judged->verdict) {
    case DEVICE_CAPS_UNAVAILABLE:
        snprintf(out, kFindingSize,
                 "passed over without a report: its capabilities are "
                 "unavailable (in use or unusable)");
        break;
    case DEVICE_KEY_TOO_LONG:
        snprintf(out, kFindingSize,
                 "passed over with \"IVM 380\": its device-specific block has %lu bytes",
                 (unsigned long)facts->caps->dwDevSpecificSize);
        break;
    case DEVICE_NO_SYSTEM:
        if (spelling)
            snprintf(out, kFindingSize,
                     "passed over without a report: its key has \"%s\", and the program looks "
                     "for \"SYSTEM\" in capitals only",
                     spelling);
        else
            snprintf(out, kFindingSize,
                     "passed over without a report: no modem key (no \"SYSTEM\" in its text)");
        break;
    case DEVICE_MAKER_UNREADABLE:
        snprintf(out, kFindingSize,
                 "passed over with \"%s\" and \"IVM 520\": the maker cannot be read",
                 kRegistryTags[judged->registryStep]);
        break;
    case DEVICE_NOT_CHIPSET_MAKER:
        snprintf(out, kFindingSize,
                 "passed over without a report: the maker %s is not LSI, Agere or Lucent",
                 Quoted(judged->manufacturer, shown));
        break;
    case DEVICE_NO_VOICE:
        MissingVoiceBits(facts->caps, bits);
        snprintf(out, kFindingSize, "passed over without a report: no voice (missing:%s)", bits);
        break;
    default:
        snprintf(out, kFindingSize, "%s",
                 openFailed ? "passed over with \"IVM 560\": its line does not open"
                            : "a candidate: discovery opens its line");
        break;
    }
}

int EndsDiscovery(DeviceVerdict verdict) {
    return EndingReport(verdict) != NULL;
}

// Opens a candidate as discovery does and closes it at once. 1 when it opened.
static int TryOpen(FILE *out, HLINEAPP app, const LineDeviceFacts *facts) {
    HLINE line = 0;
    char text[kResultTextSize];
    LONG result = OpenModemLine(app, facts, &line);
    if (result == 0) {
        LONG closed = lineClose(line);
        fprintf(out, "  open:         opened as discovery opens it, and closed: %s\n",
                ResultText(closed, text));
        return 1;
    }
    fprintf(out, "  open:         %s: %s (the program reports \"IVM 560\" and tries the next)\n",
            ResultText(result, text),
            result == (LONG)LINEERR_ALLOCATED ? "busy: another program holds it" : "open failed");
    return 0;
}

static void CheckDevice(FILE *out, HLINEAPP app, DWORD id, DWORD highestVersion,
                        Discovery *discovery) {
    DeviceJudgement judged;
    JudgeLineDevice(app, id, highestVersion, &judged);
    SayName(out, &judged.facts);
    SayCapabilities(out, &judged.facts);
    char spelling[8];
    char keyText[kKeyBufferSize];
    const char *otherKey = SayKeyBlock(out, &judged.facts, spelling, keyText);
    SayMaker(out, &judged);
    if (judged.verdict == DEVICE_NO_SYSTEM && otherKey)
        SayMakerBeyondDiscovery(out, otherKey);
    int tried = judged.verdict == DEVICE_CANDIDATE && discovery->tryOpen;
    int opened = tried && TryOpen(out, app, &judged.facts);

    char verdict[kFindingSize];
    VerdictText(&judged, otherKey ? spelling : NULL, tried && !opened, verdict);
    if (discovery->ended)
        fprintf(out,
                "  verdict:      never examined by the program, which stops at device %lu; "
                "on its own: %s\n",
                (unsigned long)discovery->endedAt, verdict);
    else
        fprintf(out, "  verdict:      %s\n", verdict);
    if (!discovery->ended &&
        (EndsDiscovery(judged.verdict) ||
         (judged.verdict == DEVICE_CANDIDATE && (!discovery->tryOpen || opened)))) {
        discovery->ended = 1;
        discovery->endedAt = id;
        if (judged.verdict == DEVICE_CANDIDATE)
            discovery->chosen = id;
    }
    ReleaseLineDeviceFacts(&judged.facts);
}

static void SaySummary(FILE *out, const Discovery *discovery) {
    if (discovery->chosen != kNoLine && discovery->tryOpen)
        fprintf(out, "the program opens device %lu\n", (unsigned long)discovery->chosen);
    else if (discovery->chosen != kNoLine)
        fprintf(out, "the program tries device %lu first (--try-open tells whether it opens)\n",
                (unsigned long)discovery->chosen);
    else if (discovery->ended)
        fprintf(out, "no usable modem: discovery ends at device %lu, and the program ends\n",
                (unsigned long)discovery->endedAt);
    else
        fprintf(out, "no usable modem: the program reports \"IVM 580\" and ends\n");
}

int CheckModem(int tryOpen, FILE *out) {
    PrintReportHeading(out, tryOpen ? "modem --try-open" : "modem");
    HLINEAPP app = 0;
    DWORD devices = 0, highest = 0;
    char text[kResultTextSize], version[kResultTextSize];
    LONG result = InitializeTelephony(IgnoreLineMessage, kCheckAppName, &app, &devices, &highest);
    if (result != 0)
        return SayTelephonyUnusable(out, result);
    fprintf(out, "telephony: %lu line device%s, versions up to %s\n", (unsigned long)devices,
            devices == 1 ? "" : "s", VersionText(highest, version));
    Discovery discovery = {0, 0, kNoLine, tryOpen};
    for (DWORD id = 0; id < devices; id++)
        CheckDevice(out, app, id, highest, &discovery);
    SaySummary(out, &discovery);
    result = lineShutdown(app);
    if (result != 0)
        fprintf(out, "telephony: lineShutdown: %s\n", ResultText(result, text));
    return discovery.chosen != kNoLine ? kExitClean : kExitNoModem;
}
