// The simulated multimedia services and heap: what the platform documents of mmio chunk
// navigation, wave-out results and timing, the record of played buffers, and journalled blocks.
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "support.h"
#include "wave_files.h"

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using test::Chunk;
using test::ChunkHeader;
using test::PcmFormat;
using test::Riff;
using test::Samples;

const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

class MmioTest : public test::Machine {
  protected:
    HMMIO Open(const std::string &content) {
        test::WriteFile("f.wav", content);
        MMIOINFO info = {};
        HMMIO file = mmioOpenA((LPSTR) "f.wav", &info, MMIO_ALLOCBUF | MMIO_READ);
        EXPECT_NE(file, nullptr);
        return file;
    }
    static MMRESULT Find(HMMIO file, MMCKINFO *ck, const MMCKINFO *parent, FOURCC id) {
        *ck = MMCKINFO();
        ck->ckid = id;
        return mmioDescend(file, ck, parent, MMIO_FINDCHUNK);
    }
};

struct OpenCase {
    const char *name;
    UINT error;
    DWORD systemError;
};

TEST_F(MmioTest, OpenFailuresGiveThePlatformsCodes) {
    ASSERT_EQ(system("mkdir sub && touch sub/there.wav && mkfifo fifo.wav"), 0);
    const OpenCase cases[] = {
        {"missing.wav", MMIOERR_FILENOTFOUND, ERROR_FILE_NOT_FOUND},
        {"", MMIOERR_FILENOTFOUND, ERROR_FILE_NOT_FOUND},
        {"nowhere/x.wav", MMIOERR_PATHNOTFOUND, ERROR_PATH_NOT_FOUND},
        {"sub/there.wav/x.wav", MMIOERR_PATHNOTFOUND, ERROR_PATH_NOT_FOUND},
        {"sub", MMIOERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
        // Only files are messages: these would never end, or wait for a writer.
        {"/dev/zero", MMIOERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
        {"/dev/urandom", MMIOERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
        {"fifo.wav", MMIOERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
    };
    for (const OpenCase &c : cases) {
        MMIOINFO info = {};
        EXPECT_EQ(mmioOpenA((LPSTR)c.name, &info, MMIO_ALLOCBUF | MMIO_READ), nullptr) << c.name;
        EXPECT_EQ(info.wErrorRet, c.error) << c.name;
        EXPECT_EQ(GetLastError(), c.systemError) << c.name;
    }
    EXPECT_EQ(sim::OpenMultimediaFiles(), 0u);
}

TEST_F(MmioTest, AnUnreadableFileIsAccessDenied) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    test::WriteFile("locked.wav", "RIFF");
    ASSERT_EQ(system("chmod 000 locked.wav"), 0);
    MMIOINFO info = {};
    EXPECT_EQ(mmioOpenA((LPSTR) "locked.wav", &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, (UINT)MMIOERR_ACCESSDENIED);
}

TEST_F(MmioTest, BackslashesSeparateFolders) {
    ASSERT_EQ(system("mkdir msgs"), 0);
    test::WriteFile("msgs/a.wav", "abc");
    MMIOINFO info = {};
    HMMIO file = mmioOpenA((LPSTR) "msgs\\a.wav", &info, MMIO_READ);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.wErrorRet, 0u);
    EXPECT_EQ(sim::LastMultimediaFileOpened(), "msgs/a.wav");
    EXPECT_EQ(mmioClose(file, 0), 0u);
}

TEST_F(MmioTest, DescentsFillTheChunkRecordAsWindowsDoes) {
    const std::string format = PcmFormat(1, 8000, 16);
    HMMIO file = Open(
        Riff("WAVE", Chunk("LIST", "INFOabc") + Chunk("fmt ", format) + Chunk("data", "0123")));
    MMCKINFO riff = {};
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, NULL, MMIO_FINDRIFF), 0u);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.cksize, 4u + 16 + 24 + 12);
    EXPECT_EQ(riff.fccType, kWave);
    EXPECT_EQ(riff.dwDataOffset, 8u); // the form type's place

    MMCKINFO fmt;
    ASSERT_EQ(Find(file, &fmt, &riff, kFmt), 0u);
    EXPECT_EQ(fmt.cksize, 16u);
    EXPECT_EQ(fmt.dwDataOffset, 12u + 16 + 8); // past the LIST chunk and its pad byte
    EXPECT_EQ(fmt.fccType, 0u);
    char body[32] = {};
    EXPECT_EQ(mmioRead(file, body, 16), 16);
    EXPECT_EQ(std::string(body, 16), format);
    EXPECT_EQ(mmioAscend(file, &fmt, 0), 0u);

    MMCKINFO data;
    ASSERT_EQ(Find(file, &data, &riff, kData), 0u);
    EXPECT_EQ(data.cksize, 4u);
    EXPECT_EQ(mmioRead(file, body, 32), 4); // fewer at the end of the file
    EXPECT_EQ(std::string(body, 4), "0123");
    EXPECT_EQ(mmioRead(file, body, 32), 0);
    EXPECT_EQ(mmioClose(file, 0), 0u);
}

TEST_F(MmioTest, TheSearchGoesOnFromWhereTheFileStandsAndStopsAtTheParentsEnd) {
    // A "data" chunk before "fmt " and another one after the RIFF chunk, outside it.
    HMMIO file = Open(Riff("WAVE", Chunk("data", "ab") + Chunk("fmt ", PcmFormat(1, 8000, 8))) +
                      Chunk("data", "xyz"));
    MMCKINFO riff = {}, fmt, data;
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, NULL, MMIO_FINDRIFF), 0u);
    ASSERT_EQ(Find(file, &fmt, &riff, kFmt), 0u);
    ASSERT_EQ(mmioAscend(file, &fmt, 0), 0u);
    EXPECT_EQ(Find(file, &data, &riff, kData), (MMRESULT)MMIOERR_CHUNKNOTFOUND);
    // Without the parent the search runs on to the end of the file.
    ASSERT_EQ(Find(file, &data, NULL, kData), 0u);
    EXPECT_EQ(data.cksize, 3u);
    EXPECT_EQ(mmioClose(file, 0), 0u);
}

TEST_F(MmioTest, AFailedSearchLeavesTheFileWhereItWas) {
    HMMIO file = Open(Riff("WAVE", Chunk("junk", "abc") + Chunk("data", "0123")));
    MMCKINFO riff = {}, chunk;
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, NULL, MMIO_FINDRIFF), 0u);
    EXPECT_EQ(Find(file, &chunk, &riff, kFmt), (MMRESULT)MMIOERR_CHUNKNOTFOUND);
    ASSERT_EQ(Find(file, &chunk, &riff, kData), 0u);
    EXPECT_EQ(chunk.dwDataOffset, 12u + 12 + 8);
    EXPECT_EQ(mmioClose(file, 0), 0u);
}

TEST_F(MmioTest, AscendingSkipsThePadByteOfAnOddChunk) {
    HMMIO file = Open(Chunk("odd ", "abc") + Chunk("next", "n"));
    MMCKINFO odd, next;
    ASSERT_EQ(Find(file, &odd, NULL, mmioFOURCC('o', 'd', 'd', ' ')), 0u);
    char byte;
    EXPECT_EQ(mmioRead(file, &byte, 1), 1);
    ASSERT_EQ(mmioAscend(file, &odd, 0), 0u);
    // With no search flag the chunk where the file stands is taken, whatever it is.
    ASSERT_EQ(mmioDescend(file, &next, NULL, 0), 0u);
    EXPECT_EQ(next.ckid, mmioFOURCC('n', 'e', 'x', 't'));
    EXPECT_EQ(next.dwDataOffset, 12u + 8);
    EXPECT_EQ(mmioClose(file, 0), 0u);
}

TEST_F(MmioTest, UnknownHandlesAreRefused) {
    HMMIO bogus = (HMMIO)(uintptr_t)0x77;
    MMCKINFO ck = {};
    char byte;
    EXPECT_EQ(mmioRead(bogus, &byte, 1), -1);
    EXPECT_EQ(mmioDescend(bogus, &ck, NULL, 0), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(mmioAscend(bogus, &ck, 0), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(mmioClose(bogus, 0), (MMRESULT)MMSYSERR_INVALHANDLE);
    HMMIO file = Open("abc");
    EXPECT_EQ(mmioRead(file, &byte, -1), -1);
    EXPECT_EQ(mmioClose(file, 0), 0u);
    EXPECT_EQ(mmioClose(file, 0), (MMRESULT)MMSYSERR_INVALHANDLE);
}

// ---- Wave-out ---------------------------------------------------------------------------------

class WaveOutTest : public test::Machine {
  protected:
    void SetFormat(const std::string &record) {
        format = record;
        format.resize(std::max<size_t>(record.size(), sizeof(WAVEFORMATEX)), '\0');
    }
    LPCWAVEFORMATEX Format() const { return (LPCWAVEFORMATEX)format.data(); }
    MMRESULT Query(UINT device, DWORD flags = WAVE_MAPPED) {
        return waveOutOpen(NULL, device, Format(), 0, 0, WAVE_FORMAT_QUERY | flags);
    }
    HWAVEOUT OpenDevice(UINT device) {
        HWAVEOUT handle = NULL;
        EXPECT_EQ(waveOutOpen(&handle, device, Format(), 0, 0, CALLBACK_FUNCTION | WAVE_MAPPED),
                  0u);
        return handle;
    }
    WAVEHDR Header(std::string &samples) {
        WAVEHDR header = {};
        header.lpData = &samples[0];
        header.dwBufferLength = (DWORD)samples.size();
        return header;
    }
    std::string format;
};

struct QueryCase {
    const char *what;
    std::string format;
    UINT device;
    DWORD flags;
    MMRESULT expected;
};

TEST_F(WaveOutTest, DevicesPlayTheirOwnFormatsAndTheMapperConvertsPcm) {
    const std::string adpcm =
        test::FormatRecord(0x11, 1, 8000, 4055, 256, 4, test::LittleEndian16(505));
    const QueryCase cases[] = {
        {"voice 8k16 native", PcmFormat(1, 8000, 16), 0, 0, 0},
        {"voice 8k8 native", PcmFormat(1, 8000, 8), 0, 0, 0},
        {"voice 16k unmapped", PcmFormat(1, 16000, 16), 0, 0, WAVERR_BADFORMAT},
        {"voice 16k mapped", PcmFormat(1, 16000, 16), 0, WAVE_MAPPED, 0},
        {"voice stereo mapped", PcmFormat(2, 44100, 16), 0, WAVE_MAPPED, 0},
        {"mapper lowest rate", PcmFormat(1, 8000, 8), 0, WAVE_MAPPED, 0},
        {"mapper highest rate", PcmFormat(1, 48000, 16), 0, WAVE_MAPPED, 0},
        {"below the mapper", PcmFormat(1, 7999, 16), 0, WAVE_MAPPED, WAVERR_BADFORMAT},
        {"above the mapper", PcmFormat(1, 48001, 16), 0, WAVE_MAPPED, WAVERR_BADFORMAT},
        {"24 bits", PcmFormat(1, 8000, 24), 1, WAVE_MAPPED, WAVERR_BADFORMAT},
        {"three channels", PcmFormat(3, 8000, 16), 1, WAVE_MAPPED, WAVERR_BADFORMAT},
        {"ADPCM", adpcm, 0, WAVE_MAPPED, WAVERR_BADFORMAT},
        {"unknown tag", test::FormatRecord(0x7777, 1, 8000, 8000, 1, 8, ""), 1, WAVE_MAPPED,
         WAVERR_BADFORMAT},
        {"PCM with a wrong block size",
         test::FormatRecord(1, 2, 8000, 32000, 2, 16, "").substr(0, 16), 1, WAVE_MAPPED,
         WAVERR_BADFORMAT},
        {"speakers 44k stereo", PcmFormat(2, 44100, 16), 1, 0, 0},
        {"the mapper device", PcmFormat(2, 22050, 8), WAVE_MAPPER, 0, 0},
        {"no such device", PcmFormat(1, 8000, 16), 2, WAVE_MAPPED, MMSYSERR_BADDEVICEID},
        {"0xFFFF is no device", PcmFormat(1, 8000, 16), 0xFFFF, WAVE_MAPPED, MMSYSERR_BADDEVICEID},
    };
    for (const QueryCase &c : cases) {
        SetFormat(c.format);
        EXPECT_EQ(Query(c.device, c.flags), c.expected) << c.what;
    }
    EXPECT_EQ(waveOutGetNumDevs(), 2u);
    EXPECT_EQ(sim::OpenWaveOutHandles(), 0u);
}

TEST_F(WaveOutTest, TestsCanGiveTheMachineOtherDevices) {
    SetFormat(PcmFormat(1, 8000, 16));
    sim::SetWaveOutDevices({});
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    EXPECT_EQ(Query(0), (MMRESULT)MMSYSERR_BADDEVICEID);
    EXPECT_EQ(Query(WAVE_MAPPER), (MMRESULT)MMSYSERR_BADDEVICEID);
    // A device with a compressed format of its own plays it without the mapper.
    const std::string gsm = test::FormatRecord(0x31, 1, 8000, 1625, 65, 0, "\x40\x01");
    sim::SetWaveOutDevices({{"GSM line", {{0x31, 1, 8000, 0}}, false}});
    SetFormat(gsm);
    EXPECT_EQ(Query(0, 0), 0u);
    EXPECT_EQ(Query(WAVE_MAPPER, 0), 0u);
}

TEST_F(WaveOutTest, HeaderRulesAndResultsFollowThePlatform) {
    SetFormat(PcmFormat(1, 8000, 16));
    HWAVEOUT device = OpenDevice(0);
    ASSERT_NE(device, nullptr);
    HWAVEOUT second = NULL;
    EXPECT_EQ(waveOutOpen(&second, 0, Format(), 0, 0, CALLBACK_FUNCTION),
              (MMRESULT)MMSYSERR_ALLOCATED);
    std::string samples = Samples(16000);
    WAVEHDR header = Header(samples);
    const UINT size = sizeof(WAVEHDR);

    EXPECT_EQ(waveOutWrite(device, &header, size), (MMRESULT)WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutPrepareHeader(device, &header, size - 1), (MMRESULT)MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutPrepareHeader(device, &header, size), 0u);
    EXPECT_EQ(header.dwFlags, (DWORD)WHDR_PREPARED);
    EXPECT_EQ(waveOutWrite(device, &header, size), 0u);
    EXPECT_EQ(header.dwFlags, (DWORD)(WHDR_PREPARED | WHDR_INQUEUE));
    EXPECT_EQ(waveOutWrite(device, &header, size), (MMRESULT)WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(device, &header, size), (MMRESULT)WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device), (MMRESULT)WAVERR_STILLPLAYING);

    sim::Advance(999);
    EXPECT_EQ(header.dwFlags & WHDR_DONE, 0u);
    sim::Advance(1);
    EXPECT_EQ(header.dwFlags, (DWORD)(WHDR_PREPARED | WHDR_DONE));
    EXPECT_EQ(waveOutUnprepareHeader(device, &header, size), 0u);
    EXPECT_EQ(header.dwFlags, (DWORD)WHDR_DONE);
    EXPECT_EQ(waveOutUnprepareHeader(device, &header, size), 0u); // no longer prepared: no effect
    EXPECT_EQ(waveOutClose(device), 0u);

    EXPECT_EQ(waveOutClose(device), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutPrepareHeader(device, &header, size), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(device, &header, size), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(device), (MMRESULT)MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutOpen(NULL, 0, Format(), 0, 0, CALLBACK_FUNCTION),
              (MMRESULT)MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&second, 0, Format(), 0x1234, 0, CALLBACK_FUNCTION),
              (MMRESULT)MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(sim::OpenWaveOutHandles(), 0u);
}

TEST_F(WaveOutTest, ResetStopsPlaybackAndKeepsWhatWasHeard) {
    SetFormat(PcmFormat(1, 8000, 16));
    HWAVEOUT device = OpenDevice(0);
    std::string first = Samples(16000), second = Samples(800, 2);
    WAVEHDR a = Header(first), b = Header(second);
    ASSERT_EQ(waveOutPrepareHeader(device, &a, sizeof a), 0u);
    ASSERT_EQ(waveOutPrepareHeader(device, &b, sizeof b), 0u);
    ASSERT_EQ(waveOutWrite(device, &a, sizeof a), 0u);
    ASSERT_EQ(waveOutWrite(device, &b, sizeof b), 0u);
    sim::Advance(250);
    EXPECT_EQ(waveOutReset(device), 0u);
    EXPECT_EQ(a.dwFlags, (DWORD)(WHDR_PREPARED | WHDR_DONE));
    EXPECT_EQ(b.dwFlags, (DWORD)(WHDR_PREPARED | WHDR_DONE));
    ASSERT_EQ(sim::PlayedBuffers().size(), 1u); // the second never began
    EXPECT_FALSE(sim::PlayedBuffers()[0].complete);
    EXPECT_TRUE(sim::PlayedBuffers()[0].samples == first.substr(0, 4000));
    EXPECT_EQ(sim::PlayedBuffers()[0].endMs, 250u);
    EXPECT_EQ(sim::NextTimerDue(), UINT64_MAX);
    EXPECT_EQ(waveOutUnprepareHeader(device, &a, sizeof a), 0u);
    EXPECT_EQ(waveOutUnprepareHeader(device, &b, sizeof b), 0u);
    EXPECT_EQ(waveOutClose(device), 0u);
}

TEST_F(WaveOutTest, BuffersWrittenTogetherPlayOneAfterTheOther) {
    SetFormat(PcmFormat(1, 8000, 8));
    HWAVEOUT device = OpenDevice(0);
    std::string first = Samples(800), second = Samples(400, 3);
    WAVEHDR a = Header(first), b = Header(second);
    ASSERT_EQ(waveOutPrepareHeader(device, &a, sizeof a), 0u);
    ASSERT_EQ(waveOutPrepareHeader(device, &b, sizeof b), 0u);
    ASSERT_EQ(waveOutWrite(device, &a, sizeof a), 0u);
    ASSERT_EQ(waveOutWrite(device, &b, sizeof b), 0u);
    sim::Advance(100);
    EXPECT_TRUE(a.dwFlags & WHDR_DONE);
    EXPECT_FALSE(b.dwFlags & WHDR_DONE);
    sim::Advance(50);
    EXPECT_TRUE(b.dwFlags & WHDR_DONE);
    ASSERT_EQ(sim::PlayedBuffers().size(), 2u);
    EXPECT_EQ(sim::PlayedBuffers()[1].startMs, 100u);
    EXPECT_EQ(sim::PlayedBuffers()[1].endMs, 150u);
    EXPECT_TRUE(sim::PlayedBuffers()[1].samples == second);
    waveOutUnprepareHeader(device, &a, sizeof a);
    waveOutUnprepareHeader(device, &b, sizeof b);
    EXPECT_EQ(waveOutClose(device), 0u);
}

TEST_F(WaveOutTest, WithTheRealClockABufferTakesItsRealTime) {
    sim::UseRealClock();
    SetFormat(PcmFormat(1, 8000, 8));
    HWAVEOUT device = OpenDevice(0);
    std::string samples = Samples(800); // 100 ms
    WAVEHDR header = Header(samples);
    // Counted on the machine's own clock, which the device keeps to the millisecond.
    ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), 0u);
    uint64_t start = sim::NowMs();
    ASSERT_EQ(waveOutWrite(device, &header, sizeof header), 0u);
    while (!(header.dwFlags & WHDR_DONE))
        Sleep(5);
    EXPECT_GE(sim::NowMs() - start, 100u);
    waveOutUnprepareHeader(device, &header, sizeof header);
    EXPECT_EQ(waveOutClose(device), 0u);
}

TEST_F(WaveOutTest, PlayedBuffersAreWrittenOutAsWaveFiles) {
    const std::string samples = Samples(801);
    test::WriteFile("Zap.wav", test::PcmWave(1, 8000, 8, samples));
    MMIOINFO info = {};
    HMMIO file = mmioOpenA((LPSTR) "Zap.wav", &info, MMIO_READ);
    ASSERT_NE(file, nullptr);
    mmioClose(file, 0);
    SetFormat(PcmFormat(1, 8000, 8));
    HWAVEOUT device = OpenDevice(0);
    std::string buffer = samples;
    WAVEHDR header = Header(buffer);
    waveOutPrepareHeader(device, &header, sizeof header);
    waveOutWrite(device, &header, sizeof header);
    sim::Advance(101);
    waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);

    ASSERT_EQ(system("mkdir out"), 0);
    EXPECT_EQ(sim::WritePlayedMessages("out"), 1);
    EXPECT_TRUE(test::ReadFile("out/1-Zap.wav") == test::PcmWave(1, 8000, 8, samples));
    EXPECT_EQ(sim::WritePlayedMessages("no such folder"), -1);
}

// ---- The heap ---------------------------------------------------------------------------------

class HeapTest : public test::Machine {};

TEST_F(HeapTest, BlocksAreJournalledBySerialAndCounted) {
    char *a = (char *)calloc(4, 8);
    char *b = (char *)calloc(1, 10);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a[31], 0);
    EXPECT_EQ(sim::HeldBlocks(), 2u);
    char *grown = (char *)realloc(a, 1000);
    ASSERT_NE(grown, nullptr);
    free(b);
    free(grown);
    free(NULL);
    EXPECT_EQ(sim::HeldBlocks(), 0u);
    EXPECT_EQ(sim::JournalText(), "[0] calloc(4, 8) = 1\n"
                                  "[0] calloc(1, 10) = 2\n"
                                  "[0] realloc(1, 1000) = 1\n"
                                  "[0] free(2) = 0\n"
                                  "[0] free(1) = 0\n"
                                  "[0] free(0) = 0\n");
}

TEST_F(HeapTest, AllocationsFailWhenToldAndAtTwoGigabytes) {
    sim::FailCall("calloc", 0);
    EXPECT_EQ(calloc(1, 16), nullptr);
    EXPECT_EQ(calloc(0x80000000u, 1), nullptr);
    EXPECT_EQ(calloc(0x10000, 0x10000), nullptr);
    char *block = (char *)calloc(1, 16);
    ASSERT_NE(block, nullptr);
    sim::FailCall("realloc", 0);
    EXPECT_EQ(realloc(block, 64), nullptr); // the block stays as it was
    EXPECT_EQ(sim::HeldBlocks(), 1u);
    EXPECT_EQ(realloc(block, 0), nullptr); // frees it, as the Windows run-time does
    EXPECT_EQ(sim::HeldBlocks(), 0u);
}

TEST_F(HeapTest, ALibrarysBlockIsFreedWithoutAJournalEntry) {
    void *foreign = malloc(8);
    free(foreign);
    EXPECT_TRUE(sim::Journal().empty());
}

} // namespace
