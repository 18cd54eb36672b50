// Wave-out devices of the simulated machine: the table of devices and their native formats, the
// wave mapper's conversions, and playback that takes the data's own time on the machine's clock.
// Every buffer played is kept, so that checks can hear what the device played, unless a long
// run lets them go.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/records.h"
#include "platform/sim/sim.h"

#include <deque>
#include <fstream>
#include <map>

namespace sim {

namespace {

const uintptr_t kFirstWaveHandle = 0x2001;
const DWORD kCallbackTypeMask = 0x00070000;
const size_t kPcmRecordSize = 16;     // WAVEFORMAT and wBitsPerSample
const size_t kFormatHeaderSize = 18;  // WAVEFORMATEX up to and with cbSize
const DWORD kMapperLowestRate = 8000; // what the wave mapper converts from
const DWORD kMapperHighestRate = 48000;
const WORD kMapperMostChannels = 2;
const DWORD kMsPerSecond = 1000;

struct OpenDevice {
    UINT deviceId;
    std::string format; // the record as the device read it at open
    bool mapped;
    std::string file;
    std::deque<WAVEHDR *> queue; // written and not yet done; the first one is playing
    int timer;                   // the end of the first one
    size_t playing;              // its entry in played
};
struct WaveState {
    std::vector<WaveOutDevice> devices = DefaultWaveOutDevices();
    std::map<uintptr_t, OpenDevice> open;
    uintptr_t nextHandle = kFirstWaveHandle;
    std::vector<PlayedBuffer> played;
    bool keepPlayed = true;
};
WaveState &W() {
    static WaveState state;
    return state;
}

OpenDevice *Find(HWAVEOUT hwo) {
    auto it = W().open.find((uintptr_t)hwo);
    return it == W().open.end() ? nullptr : &it->second;
}

// The bytes a device reads of a format record: 16 for PCM, else 18 and the cbSize extra bytes.
std::string ReadFormatRecord(LPCWAVEFORMATEX pwfx) {
    const char *bytes = (const char *)pwfx;
    if (pwfx->wFormatTag == WAVE_FORMAT_PCM)
        return std::string(bytes, kPcmRecordSize);
    return std::string(bytes, kFormatHeaderSize + pwfx->cbSize);
}

WAVEFORMATEX Fields(const std::string &record) {
    WAVEFORMATEX fields = {};
    memcpy(&fields, record.data(), std::min(record.size(), sizeof fields));
    if (fields.wFormatTag == WAVE_FORMAT_PCM)
        fields.cbSize = 0;
    return fields;
}

// PCM records must agree with themselves; of others only what timing needs is checked.
bool Consistent(const WAVEFORMATEX &f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM)
        return f.nAvgBytesPerSec > 0 && f.nBlockAlign > 0;
    if (f.nChannels == 0 || f.nSamplesPerSec == 0 || f.wBitsPerSample == 0 ||
        f.wBitsPerSample % 8 != 0)
        return false;
    // In 64 bits: a file may give any channel count, sample size and rate.
    uint64_t blockAlign = (uint64_t)f.nChannels * f.wBitsPerSample / 8;
    return f.nBlockAlign == blockAlign &&
           f.nAvgBytesPerSec == (uint64_t)f.nSamplesPerSec * f.nBlockAlign;
}

bool PlaysNatively(const WaveOutDevice &device, const WAVEFORMATEX &f) {
    for (const WaveFormatSpec &native : device.nativeFormats)
        if (native.formatTag == f.wFormatTag && native.channels == f.nChannels &&
            native.samplesPerSec == f.nSamplesPerSec && native.bitsPerSample == f.wBitsPerSample)
            return true;
    return false;
}

bool MapperConverts(const WAVEFORMATEX &f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nChannels >= 1 && f.nChannels <= kMapperMostChannels &&
           f.nSamplesPerSec >= kMapperLowestRate && f.nSamplesPerSec <= kMapperHighestRate;
}

// The device an id stands for; WAVE_MAPPER plays on the preferred one.
MMRESULT ResolveDevice(UINT id, UINT *index) {
    const std::vector<WaveOutDevice> &devices = W().devices;
    if (id == WAVE_MAPPER) {
        if (devices.empty())
            return MMSYSERR_BADDEVICEID;
        *index = 0;
        for (UINT i = 0; i < devices.size(); i++)
            if (devices[i].preferred) {
                *index = i;
                break;
            }
        return MMSYSERR_NOERROR;
    }
    if (id >= devices.size())
        return MMSYSERR_BADDEVICEID;
    *index = id;
    return MMSYSERR_NOERROR;
}

MMRESULT CheckFormat(UINT index, const std::string &record, bool mapperAllowed, bool *mapped) {
    WAVEFORMATEX f = Fields(record);
    if (!Consistent(f))
        return WAVERR_BADFORMAT;
    *mapped = false;
    if (PlaysNatively(W().devices[index], f))
        return MMSYSERR_NOERROR;
    *mapped = true;
    return mapperAllowed && MapperConverts(f) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

bool DeviceInUse(UINT index) {
    for (const auto &entry : W().open)
        if (entry.second.deviceId == index)
            return true;
    return false;
}

// Only polling is offered: no callback of any kind is ever made.
MMRESULT CheckCallback(DWORD_PTR callback, DWORD flags) {
    DWORD type = flags & kCallbackTypeMask;
    if (type != CALLBACK_NULL && type != CALLBACK_FUNCTION)
        return MMSYSERR_NOTSUPPORTED;
    return callback == 0 ? MMSYSERR_NOERROR : MMSYSERR_NOTSUPPORTED;
}

uint64_t DurationMs(const OpenDevice &device, DWORD bytes) {
    uint64_t perSecond = Fields(device.format).nAvgBytesPerSec;
    return ((uint64_t)bytes * kMsPerSecond + perSecond - 1) / perSecond;
}

std::string Seconds(uint64_t ms) {
    char text[32];
    snprintf(text, sizeof text, "%.1f s", (double)ms / kMsPerSecond);
    return text;
}

std::string Label(const OpenDevice &device) {
    return device.file.empty() ? "a buffer" : device.file;
}

void FinishFirst(uintptr_t handle);

void StartFirst(uintptr_t handle) {
    OpenDevice &device = W().open[handle];
    WAVEHDR *header = device.queue.front();
    uint64_t duration = DurationMs(device, header->dwBufferLength);
    device.playing = W().played.size();
    W().played.push_back(PlayedBuffer{device.deviceId, device.format, "", device.mapped,
                                      device.file, NowMs(), 0, false});
    device.timer = AddTimer(NowMs() + duration, [handle] { FinishFirst(handle); });
    Note("playing " + Label(device) + " on device " + std::to_string(device.deviceId) + " (" +
         W().devices[device.deviceId].name + "), " + Seconds(duration));
}

// Hands the first buffer back: what the device took of it is recorded (the samples only when
// they are kept: a long message would cost its size again), and the header is done.
void ReturnFirst(OpenDevice &device, DWORD bytesPlayed, bool complete) {
    WAVEHDR *header = device.queue.front();
    PlayedBuffer &record = W().played[device.playing];
    if (W().keepPlayed)
        record.samples.assign(header->lpData, bytesPlayed);
    record.endMs = NowMs();
    record.complete = complete;
    header->dwFlags = (header->dwFlags | WHDR_DONE) & ~(DWORD)WHDR_INQUEUE;
    device.queue.pop_front();
    device.timer = 0;
}

// Unless they are kept, the records go once no device plays: none of them is filled in any more.
void DropFinishedRecords() {
    if (W().keepPlayed)
        return;
    for (const auto &entry : W().open)
        if (!entry.second.queue.empty())
            return;
    W().played.clear();
}

void FinishFirst(uintptr_t handle) {
    OpenDevice &device = W().open[handle];
    ReturnFirst(device, device.queue.front()->dwBufferLength, true);
    Note(Label(device) + " played");
    if (!device.queue.empty())
        StartFirst(handle);
    DropFinishedRecords();
}

// Stops the device at once: the buffer playing keeps the whole blocks played until now.
void StopPlaying(OpenDevice &device) {
    if (device.queue.empty())
        return;
    CancelTimer(device.timer);
    WAVEFORMATEX f = Fields(device.format);
    uint64_t elapsed = NowMs() - W().played[device.playing].startMs;
    uint64_t bytes = elapsed * f.nAvgBytesPerSec / kMsPerSecond;
    bytes -= bytes % f.nBlockAlign;
    DWORD length = device.queue.front()->dwBufferLength;
    ReturnFirst(device, (DWORD)std::min<uint64_t>(bytes, length), false);
    Note("playback of " + Label(device) + " stopped after " + Seconds(elapsed));
    for (WAVEHDR *header : device.queue)
        header->dwFlags = (header->dwFlags | WHDR_DONE) & ~(DWORD)WHDR_INQUEUE;
    device.queue.clear();
    DropFinishedRecords();
}

MMRESULT OpenDeviceFor(LPHWAVEOUT phwo, UINT index, std::string record, bool mapped) {
    if (!phwo)
        return MMSYSERR_INVALPARAM;
    if (DeviceInUse(index))
        return MMSYSERR_ALLOCATED;
    uintptr_t handle = W().nextHandle++;
    W().open[handle] =
        OpenDevice{index, std::move(record), mapped, LastMultimediaFileOpened(), {}, 0, 0};
    *phwo = (HWAVEOUT)handle;
    return MMSYSERR_NOERROR;
}

MMRESULT CheckHeader(LPWAVEHDR pwh, UINT cbwh) {
    return pwh && cbwh >= sizeof(WAVEHDR) ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
}

} // namespace

std::vector<WaveOutDevice> DefaultWaveOutDevices() {
    WaveOutDevice modem{
        "Modem voice", {{WAVE_FORMAT_PCM, 1, 8000, 16}, {WAVE_FORMAT_PCM, 1, 8000, 8}}, false};
    WaveOutDevice speakers{"Speakers", {}, true};
    for (DWORD rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000})
        for (WORD channels : {1, 2})
            for (WORD bits : {8, 16})
                speakers.nativeFormats.push_back({WAVE_FORMAT_PCM, channels, rate, bits});
    return {modem, speakers};
}

void SetWaveOutDevices(const std::vector<WaveOutDevice> &devices) {
    W().devices = devices;
}

const std::vector<WaveOutDevice> &WaveOutDevices() {
    return W().devices;
}

const std::vector<PlayedBuffer> &PlayedBuffers() {
    return W().played;
}

void ClearPlayedBuffers() {
    W().played.clear();
}

void KeepPlayedBuffers(bool keep) {
    W().keepPlayed = keep;
    DropFinishedRecords();
}

bool PlayedBuffersKept() {
    return W().keepPlayed;
}

size_t OpenWaveOutHandles() {
    return W().open.size();
}

static void AppendLittleEndian(std::string *out, DWORD value) {
    for (int i = 0; i < 4; i++)
        out->push_back((char)(value >> (8 * i) & 0xFF));
}

static void AppendChunk(std::string *out, const char *id, const std::string &body) {
    out->append(id, 4);
    AppendLittleEndian(out, (DWORD)body.size());
    out->append(body);
    if (body.size() % 2)
        out->push_back('\0');
}

std::string PlayedBufferAsWave(const PlayedBuffer &buffer) {
    std::string chunks = "WAVE";
    AppendChunk(&chunks, "fmt ", buffer.format);
    AppendChunk(&chunks, "data", buffer.samples);
    std::string file;
    AppendChunk(&file, "RIFF", chunks);
    return file;
}

int WritePlayedMessages(const std::string &folder) {
    int written = 0;
    for (const PlayedBuffer &buffer : W().played) {
        std::string name = buffer.file.empty() ? "buffer.wav" : buffer.file;
        name = name.substr(name.rfind('/') + 1);
        std::string path = folder + "/" + std::to_string(written + 1) + "-" + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << PlayedBufferAsWave(buffer);
        out.close();
        if (!out)
            return -1;
        written++;
    }
    return written;
}

void ResetWaveOut() {
    for (auto &entry : W().open)
        if (entry.second.timer)
            CancelTimer(entry.second.timer);
    W().open.clear();
    W().played.clear();
    W().devices = DefaultWaveOutDevices();
    W().nextHandle = kFirstWaveHandle;
    W().keepPlayed = true;
}

} // namespace sim

// ---- The platform functions -----------------------------------------------------------------

UINT WINAPI waveOutGetNumDevs(void) {
    int64_t result;
    if (sim::Enter("waveOutGetNumDevs", {}, NULL, &result))
        return (UINT)sim::Finish(result);
    return (UINT)sim::Finish((int64_t)sim::W().devices.size());
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx,
                            DWORD_PTR dwCallback, DWORD_PTR dwInstance, DWORD fdwOpen) {
    int64_t result;
    if (sim::Enter("waveOutOpen",
                   {sim::Ptr(phwo), uDeviceID, sim::Ptr(pwfx), dwCallback, dwInstance, fdwOpen},
                   NULL, &result))
        return (MMRESULT)sim::Finish(result);
    bool query = fdwOpen & WAVE_FORMAT_QUERY;
    UINT index = 0;
    MMRESULT status = pwfx ? MMSYSERR_NOERROR : (MMRESULT)MMSYSERR_INVALPARAM;
    if (status == MMSYSERR_NOERROR && !query)
        status = sim::CheckCallback(dwCallback, fdwOpen);
    if (status == MMSYSERR_NOERROR)
        status = sim::ResolveDevice(uDeviceID, &index);
    if (status != MMSYSERR_NOERROR)
        return (MMRESULT)sim::Finish(status);
    std::string record = sim::ReadFormatRecord(pwfx);
    bool mapped = false;
    bool mapperAllowed = uDeviceID == WAVE_MAPPER || (fdwOpen & WAVE_MAPPED);
    status = sim::CheckFormat(index, record, mapperAllowed, &mapped);
    if (status == MMSYSERR_NOERROR && !query)
        status = sim::OpenDeviceFor(phwo, index, std::move(record), mapped);
    return (MMRESULT)sim::Finish(status);
}

MMRESULT WINAPI waveOutClose(HWAVEOUT hwo) {
    int64_t result;
    if (sim::Enter("waveOutClose", {(uintptr_t)hwo}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    sim::OpenDevice *device = sim::Find(hwo);
    if (!device)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    if (!device->queue.empty())
        return (MMRESULT)sim::Finish(WAVERR_STILLPLAYING);
    sim::W().open.erase((uintptr_t)hwo);
    return (MMRESULT)sim::Finish(MMSYSERR_NOERROR);
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    int64_t result;
    if (sim::Enter("waveOutPrepareHeader", {(uintptr_t)hwo, sim::Ptr(pwh), cbwh}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    if (!sim::Find(hwo))
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    MMRESULT status = sim::CheckHeader(pwh, cbwh);
    if (status == MMSYSERR_NOERROR && !pwh->lpData && pwh->dwBufferLength > 0)
        status = MMSYSERR_INVALPARAM;
    if (status == MMSYSERR_NOERROR)
        pwh->dwFlags |= WHDR_PREPARED;
    return (MMRESULT)sim::Finish(status);
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    int64_t result;
    if (sim::Enter("waveOutUnprepareHeader", {(uintptr_t)hwo, sim::Ptr(pwh), cbwh}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    if (!sim::Find(hwo))
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    MMRESULT status = sim::CheckHeader(pwh, cbwh);
    if (status == MMSYSERR_NOERROR && (pwh->dwFlags & WHDR_INQUEUE))
        status = WAVERR_STILLPLAYING;
    if (status == MMSYSERR_NOERROR)
        pwh->dwFlags &= ~(DWORD)WHDR_PREPARED;
    return (MMRESULT)sim::Finish(status);
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    int64_t result;
    if (sim::Enter("waveOutWrite", {(uintptr_t)hwo, sim::Ptr(pwh), cbwh}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    sim::OpenDevice *device = sim::Find(hwo);
    if (!device)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    MMRESULT status = sim::CheckHeader(pwh, cbwh);
    if (status == MMSYSERR_NOERROR && !(pwh->dwFlags & WHDR_PREPARED))
        status = WAVERR_UNPREPARED;
    if (status == MMSYSERR_NOERROR && (pwh->dwFlags & WHDR_INQUEUE))
        status = WAVERR_STILLPLAYING;
    if (status != MMSYSERR_NOERROR)
        return (MMRESULT)sim::Finish(status);
    pwh->dwFlags = (pwh->dwFlags & ~(DWORD)WHDR_DONE) | WHDR_INQUEUE;
    device->queue.push_back(pwh);
    if (device->queue.size() == 1)
        sim::StartFirst((uintptr_t)hwo);
    return (MMRESULT)sim::Finish(MMSYSERR_NOERROR);
}

MMRESULT WINAPI waveOutReset(HWAVEOUT hwo) {
    int64_t result;
    if (sim::Enter("waveOutReset", {(uintptr_t)hwo}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    sim::OpenDevice *device = sim::Find(hwo);
    if (!device)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    sim::StopPlaying(*device);
    return (MMRESULT)sim::Finish(MMSYSERR_NOERROR);
}
