// The telephony service inside the simulated operating system: its messages wait in the user-
// interface thread's queue, and its own timeline runs on the machine's clock.
#include "platform/sim/internal.h"
#include "platform/sim/telephony.h"
#include "platform/sim/sim.h"

namespace sim {

namespace {
class MachineHost : public LineHost {
  public:
    uint64_t NowMs() override { return sim::NowMs(); }
    void Deliver(LINECALLBACK callback, DWORD hDevice, DWORD msg, DWORD_PTR instance, DWORD_PTR p1,
                 DWORD_PTR p2, DWORD_PTR p3) override {
        PostLineMessage({callback, hDevice, msg, instance, p1, p2, p3});
    }
    void WakeAt(uint64_t ms) override {
        AddTimer(ms, [] { TheLineService().RunDue(); });
    }
    void Note(const std::string &text) override { sim::Note(text); }
};
} // namespace

LineService &TheLineService() {
    static MachineHost host;
    static LineService service(&host);
    return service;
}

void ResetTelephony() {
    TheLineService().Reset();
}

} // namespace sim

namespace sim {

const char kDefaultModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";

LineDeviceConfig VoiceModemDevice(const std::string &keyPath, DWORD waveOutId) {
    LineDeviceConfig device;
    device.name = "Agere Systems HDA Modem";
    device.devSpecific = ModemDevSpecific(keyPath);
    device.waveOutId = waveOutId;
    return device;
}

} // namespace sim

namespace sim {

LONG OpenVoiceModemLine(LINECALLBACK callback, HLINEAPP *app, HLINE *line) {
    TheLineService().Devices().push_back(VoiceModemDevice(kDefaultModemKey, 0));
    DWORD devices = 0, version = 0x00020002, negotiated = 0;
    LINEINITIALIZEEXPARAMS params = {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    LINEEXTENSIONID extension;
    LONG result = lineInitializeExA(app, NULL, callback, "sim", &devices, &version, &params);
    if (result == 0)
        result = lineNegotiateAPIVersion(*app, 0, 0x00020000, version, &negotiated, &extension);
    if (result == 0)
        result = lineOpenA(*app, 0, line, negotiated, 0, 1, LINECALLPRIVILEGE_OWNER,
                           LINEMEDIAMODE_AUTOMATEDVOICE, NULL);
    return result;
}

} // namespace sim
