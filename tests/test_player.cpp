// PlayWaveMessage: what the device is given and when the call returns, the chunk layouts that
// play and those refused without a word, the open-failure report, the device messages, and that
// every block is freed once, after the device has let go of it, on every path.
#include "playback/player.h"
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "support.h"
#include "wave_files.h"

#include <string>
#include <vector>

namespace {

using test::Chunk;
using test::ChunkHeader;
using test::PcmFormat;
using test::Riff;
using test::Samples;

class PlayerTest : public test::Machine {
  protected:
    // Plays a file written with content, noting when the first box was shown.
    DWORD_PTR Play(const std::string &content, WORD device = 0) {
        test::WriteFile("msg.wav", content);
        return PlayFile("msg.wav", device);
    }
    DWORD_PTR PlayFile(const char *name, WORD device = 0) {
        sim::SetMessageBoxHandler([this](const sim::MessageBoxRecord &) {
            if (callsBeforeBox < 0)
                callsBeforeBox = (int)sim::Journal().size();
            return IDOK;
        });
        return PlayWaveMessage(device, name);
    }
    // The functions called, in order, separated by blanks; the event log's own writes aside.
    static std::string Calls() {
        std::string names;
        for (const sim::ApiCall &call : sim::Journal())
            if (!test::IsStreamCall(call.function))
                names += (names.empty() ? "" : " ") + call.function;
        return names;
    }
    // Everything the call took is given back: blocks, file, device, and no playback goes on.
    static void ExpectNothingHeld() {
        EXPECT_EQ(sim::HeldBlocks(), 0u);
        EXPECT_EQ(sim::OpenMultimediaFiles(), 0u);
        EXPECT_EQ(sim::OpenWaveOutHandles(), 0u);
        EXPECT_EQ(sim::NextTimerDue(), UINT64_MAX);
    }
    int callsBeforeBox = -1;
};

const char kReadCalls[] = "mmioOpenA mmioDescend mmioDescend calloc mmioRead mmioAscend "
                          "mmioDescend calloc mmioRead mmioClose";

TEST_F(PlayerTest, PlaysPlainPcmWholeAndReturnsTheHandleItPlayedOn) {
    test::OpenLogs();
    const std::string format = PcmFormat(1, 8000, 16), samples = Samples(8000);
    DWORD_PTR result = Play(Riff("WAVE", Chunk("fmt ", format) + Chunk("data", samples)));

    ASSERT_EQ(sim::CallsTo("waveOutClose").size(), 1u);
    EXPECT_NE(result, 0u);
    EXPECT_EQ(result, sim::CallsTo("waveOutClose")[0].args[0]);
    const std::string h = std::to_string(result), hdr = std::to_string(sizeof(WAVEHDR));
    EXPECT_EQ(sim::JournalText(), "[0] mmioOpenA(1, 65536, \"msg.wav\") = 4097\n"
                                  "[0] mmioDescend(4097, 1, 0, 32, \"WAVE\") = 0\n"
                                  "[0] mmioDescend(4097, 1, 1, 16, \"fmt \") = 0\n"
                                  "[0] calloc(16, 1) = 1\n"
                                  "[0] mmioRead(4097, 1, 16) = 16\n"
                                  "[0] mmioAscend(4097, 1, 0) = 0\n"
                                  "[0] mmioDescend(4097, 1, 1, 16, \"data\") = 0\n"
                                  "[0] calloc(8000, 1) = 2\n"
                                  "[0] mmioRead(4097, 1, 8000) = 8000\n"
                                  "[0] mmioClose(4097, 0) = 0\n"
                                  "[0] calloc(1, " +
                                      hdr +
                                      ") = 3\n"
                                      "[0] waveOutOpen(0, 0, 1, 0, 0, 5) = 0\n"
                                      "[0] waveOutOpen(1, 0, 1, 0, 0, 196612) = 0\n"
                                      "[0] waveOutPrepareHeader(" +
                                      h + ", 1, " + hdr +
                                      ") = 0\n"
                                      "[0] waveOutWrite(" +
                                      h + ", 1, " + hdr +
                                      ") = 0\n"
                                      "[500] waveOutUnprepareHeader(" +
                                      h + ", 1, " + hdr +
                                      ") = 0\n"
                                      "[500] waveOutClose(" +
                                      h +
                                      ") = 0\n"
                                      "[500] free(2) = 0\n"
                                      "[500] free(3) = 0\n"
                                      "[500] free(1) = 0\n");

    ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
    const sim::PlayedBuffer &played = sim::PlayedBuffers()[0];
    EXPECT_EQ(played.deviceId, 0u);
    EXPECT_EQ(played.format, format);
    EXPECT_TRUE(played.samples == samples);
    EXPECT_TRUE(played.complete);
    EXPECT_FALSE(played.mapped);
    EXPECT_EQ(played.file, "msg.wav");
    EXPECT_EQ(played.startMs, 0u);
    EXPECT_EQ(played.endMs, 500u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(test::ReadFile("EventLog.txt"), "");
    ExpectNothingHeld();
}

TEST_F(PlayerTest, ReturnsOnlyAfterTheLastSampleWasPlayed) {
    struct Length {
        uint16_t bits;
        uint32_t rate;
        size_t bytes;
        uint64_t durationMs;
    };
    const Length lengths[] = {{8, 8000, 1234, 155}, {16, 8000, 16000, 1000}, {8, 8000, 1, 1}};
    for (const Length &l : lengths) {
        sim::Reset();
        DWORD_PTR result = Play(test::PcmWave(1, l.rate, l.bits, Samples(l.bytes)));
        EXPECT_NE(result, 0u) << l.bytes;
        ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
        const sim::PlayedBuffer &played = sim::PlayedBuffers()[0];
        EXPECT_EQ(played.endMs - played.startMs, l.durationMs) << l.bytes;
        // Done is found by polling every 20 ms: no later than one period after the end.
        ASSERT_EQ(sim::CallsTo("waveOutUnprepareHeader").size(), 1u);
        uint64_t unprepared = sim::CallsTo("waveOutUnprepareHeader")[0].timeMs;
        EXPECT_GE(unprepared, played.endMs) << l.bytes;
        EXPECT_LT(unprepared, played.endMs + 20) << l.bytes;
        EXPECT_EQ(sim::NowMs(), unprepared) << l.bytes;
    }
}

TEST_F(PlayerTest, ASixtySecondMessagePlaysInSimulatedTime) {
    const std::string samples = Samples(8000 * 2 * 60);
    EXPECT_NE(Play(test::PcmWave(1, 8000, 16, samples)), 0u);
    ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
    EXPECT_TRUE(sim::PlayedBuffers()[0].samples == samples);
    EXPECT_EQ(sim::NowMs(), 60000u);
    ExpectNothingHeld();
}

struct Layout {
    const char *what;
    std::string file;
    std::string format;  // the format record the device must read
    std::string samples; // what it must play
};

TEST_F(PlayerTest, OtherChunksAroundTheTwoAreSkipped) {
    const std::string pcm = PcmFormat(1, 8000, 16), pcm8 = PcmFormat(1, 8000, 8);
    const std::string s = Samples(800), odd = Samples(801, 2);
    const std::string list = Chunk("LIST", "INFO" + Chunk("INAM", std::string("Zap!", 5)));
    const Layout layouts[] = {
        {"LIST before fmt", Riff("WAVE", list + Chunk("fmt ", pcm) + Chunk("data", s)), pcm, s},
        {"LIST between", Riff("WAVE", Chunk("fmt ", pcm) + list + Chunk("data", s)), pcm, s},
        {"LIST before and between",
         Riff("WAVE", list + Chunk("fmt ", pcm) + list + Chunk("data", s)), pcm, s},
        {"odd chunk before data",
         Riff("WAVE", Chunk("fmt ", pcm) + Chunk("junk", "abc") + Chunk("data", s)), pcm, s},
        {"odd chunk before fmt",
         Riff("WAVE", Chunk("bext", "12345") + Chunk("fmt ", pcm) + Chunk("data", s)), pcm, s},
        {"odd data with pad and more after",
         Riff("WAVE", Chunk("fmt ", pcm8) + Chunk("data", odd) + Chunk("cue ", "xy")), pcm8, odd},
        {"18-byte PCM fmt",
         Riff("WAVE", Chunk("fmt ", pcm + test::LittleEndian16(0)) + Chunk("data", s)), pcm, s},
        {"fact chunk", Riff("WAVE", Chunk("fmt ", pcm) + Chunk("fact", "1234") + Chunk("data", s)),
         pcm, s},
        {"chunk named like data's start",
         Riff("WAVE", Chunk("fmt ", pcm) + Chunk("dat ", "dataXXXX") + Chunk("data", s)), pcm, s},
    };
    for (const Layout &l : layouts) {
        sim::Reset();
        EXPECT_NE(Play(l.file), 0u) << l.what;
        ASSERT_EQ(sim::PlayedBuffers().size(), 1u) << l.what;
        EXPECT_EQ(sim::PlayedBuffers()[0].format, l.format) << l.what;
        EXPECT_TRUE(sim::PlayedBuffers()[0].samples == l.samples) << l.what;
        EXPECT_TRUE(sim::MessageBoxes().empty()) << l.what;
        ExpectNothingHeld();
    }
}

struct Refusal {
    const char *what;
    std::string file;
};

TEST_F(PlayerTest, FilesItCannotPlayAreRefusedWithoutAWord) {
    test::OpenLogs();
    const std::string pcm = Chunk("fmt ", PcmFormat(1, 8000, 16)),
                      data = Chunk("data", Samples(800));
    const std::string adpcmShort =
        test::FormatRecord(0x11, 1, 8000, 4055, 256, 4, test::LittleEndian16(505)).substr(0, 19);
    const Refusal refusals[] = {
        {"data before fmt", Riff("WAVE", data + pcm)},
        {"no RIFF at all", Chunk("LIST", "WAVE" + pcm + data)},
        {"RIFF of another form", Riff("AVI ", pcm + data)},
        {"text file", "This is not a sound.\r\nJust text in a file named .wav\r\n"},
        {"empty file", ""},
        {"no fmt", Riff("WAVE", data)},
        {"no data", Riff("WAVE", pcm + Chunk("LIST", "INFO"))},
        {"zero-sized data", Riff("WAVE", pcm + Chunk("data", ""))},
        {"truncated data", Riff("WAVE", pcm + ChunkHeader("data", 8000) + Samples(100))},
        {"truncated fmt", "RIFF" + test::LittleEndian32(100) + "WAVE" + ChunkHeader("fmt ", 16) +
                              PcmFormat(1, 8000, 16).substr(0, 10)},
        {"data announcing 4 GiB", Riff("WAVE", pcm + ChunkHeader("data", 0xFFFFFFF0u) + "abcd")},
        {"fmt announcing 4 GiB", Riff("WAVE", ChunkHeader("fmt ", 0xFFFFFFF0u) + "abcd")},
        {"short PCM fmt", Riff("WAVE", Chunk("fmt ", PcmFormat(1, 8000, 16).substr(0, 14)) + data)},
        {"one-byte fmt", Riff("WAVE", Chunk("fmt ", "\x01") + data)},
        {"empty fmt", Riff("WAVE", Chunk("fmt ", "") + data)},
        {"fmt without its extra bytes", Riff("WAVE", Chunk("fmt ", adpcmShort) + data)},
        {"fmt shorter than a WAVEFORMATEX",
         Riff("WAVE",
              Chunk("fmt ", test::FormatRecord(0x11, 1, 8000, 4055, 256, 4, "").substr(0, 17)) +
                  data)},
        {"fmt and data beyond the RIFF chunk", Riff("WAVE", "") + pcm + data},
    };
    for (const Refusal &r : refusals) {
        sim::Reset();
        EXPECT_EQ(Play(r.file), 0u) << r.what;
        EXPECT_TRUE(sim::MessageBoxes().empty()) << r.what;
        EXPECT_TRUE(sim::CallsTo("waveOutOpen").empty()) << r.what;
        EXPECT_TRUE(sim::PlayedBuffers().empty()) << r.what;
        EXPECT_EQ(sim::CallsTo("mmioClose").size(), 1u) << r.what;
        ExpectNothingHeld();
    }
    EXPECT_EQ(test::ReadFile("EventLog.txt"), "");
}

struct OpenFailure {
    const char *name;
    const char *report;
};

TEST_F(PlayerTest, AFileThatWillNotOpenIsReportedWithItsPath) {
    test::OpenLogs();
    ASSERT_EQ(system("mkdir folder.wav"), 0);
    const OpenFailure failures[] = {
        {"nosuch.wav", "Mon Dec 07 14:47:28 2026\n"
                       "Ringward: 257, PLA 300: F - Error during mmioOpen.\n"
                       "file path: nosuch.wav\n"
                       "GLE = 2"},
        {"no folder\\Zap.wav", "Mon Dec 07 14:47:28 2026\n"
                               "Ringward: 267, PLA 300: F - Error during mmioOpen.\n"
                               "file path: no folder\\Zap.wav\n"
                               "GLE = 3"},
        {"folder.wav", "Mon Dec 07 14:47:28 2026\n"
                       "Ringward: 268, PLA 300: F - Error during mmioOpen.\n"
                       "file path: folder.wav\n"
                       "GLE = 5"},
    };
    std::string log;
    for (const OpenFailure &f : failures) {
        sim::ClearJournal();
        sim::ClearMessageBoxes();
        EXPECT_EQ(PlayFile(f.name), 0u) << f.name;
        ASSERT_EQ(sim::MessageBoxes().size(), 1u) << f.name;
        const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
        EXPECT_EQ(box.text, f.report);
        EXPECT_EQ(box.caption, "Ringward");
        EXPECT_EQ(box.style, 0x10010u);
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(Calls(), "mmioOpenA") << f.name;
        log += std::string(f.report) + "\n\n";
        ExpectNothingHeld();
    }
    EXPECT_EQ(test::ReadFile("EventLog.txt"), log);
}

struct Unplayable {
    const char *what;
    std::string format;
    WORD device;
};

TEST_F(PlayerTest, AFormatNoDeviceCanPlayIsNamedAndTheDeviceNeverOpened) {
    const Unplayable formats[] = {
        {"IMA ADPCM", test::FormatRecord(0x11, 1, 8000, 4055, 256, 4, test::LittleEndian16(505)),
         0},
        {"24-bit PCM", PcmFormat(1, 8000, 24), 0},
        {"96 kHz PCM", PcmFormat(2, 96000, 16), 1},
        {"6 kHz PCM", PcmFormat(1, 6000, 8), 0},
        {"three channels", PcmFormat(3, 8000, 16), 1},
        {"PCM whose byte rate disagrees",
         test::FormatRecord(1, 1, 8000, 8000, 2, 16, "").substr(0, 16), 0},
        {"no such device", PcmFormat(1, 8000, 16), 9},
    };
    for (const Unplayable &u : formats) {
        sim::Reset();
        callsBeforeBox = -1;
        EXPECT_EQ(
            Play(Riff("WAVE", Chunk("fmt ", u.format) + Chunk("data", Samples(800))), u.device), 0u)
            << u.what;
        EXPECT_EQ(Calls(), std::string(kReadCalls) + " calloc waveOutOpen free free free")
            << u.what;
        ASSERT_EQ(sim::MessageBoxes().size(), 1u) << u.what;
        EXPECT_EQ(sim::MessageBoxes()[0].text, "Unsupported wave format.") << u.what;
        EXPECT_EQ(sim::MessageBoxes()[0].caption, "") << u.what;
        EXPECT_EQ(sim::MessageBoxes()[0].style, 0u) << u.what;
        EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr) << u.what;
        EXPECT_EQ(callsBeforeBox, (int)sim::Journal().size()) << u.what;
        ExpectNothingHeld();
    }
}

TEST_F(PlayerTest, TheMapperConvertsWhatTheVoiceDeviceCannotPlayItself) {
    const std::string samples = Samples(16000 * 4 / 2);
    EXPECT_NE(Play(test::PcmWave(2, 16000, 16, samples), 0), 0u);
    ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
    EXPECT_TRUE(sim::PlayedBuffers()[0].mapped);
    EXPECT_TRUE(sim::PlayedBuffers()[0].samples == samples);
    EXPECT_EQ(sim::PlayedBuffers()[0].endMs, 500u);
}

struct DeviceFailure {
    const char *function;
    int nth;
    int64_t error;
    const char *box;
    const char *after; // the calls that follow the failed one
};

TEST_F(PlayerTest, AFailingDeviceStepIsNamedAfterTheDeviceLetGoOfTheBlocks) {
    const char kRelease[] = "waveOutReset waveOutUnprepareHeader waveOutClose free free free";
    const DeviceFailure failures[] = {
        {"waveOutOpen", 1, WAVERR_BADFORMAT, "Unsupported wave format.", "free free free"},
        {"waveOutOpen", 2, MMSYSERR_ALLOCATED, "Error opening wave device.", "free free free"},
        {"waveOutPrepareHeader", 1, MMSYSERR_NOMEM, "Error preparing message header.", kRelease},
        {"waveOutWrite", 1, MMSYSERR_NODRIVER, "Error writing wave message.", kRelease},
        {"waveOutUnprepareHeader", 1, WAVERR_STILLPLAYING, "Error unpreparing message header.",
         kRelease},
        {"waveOutClose", 1, MMSYSERR_ERROR, "Error closing wave device.", "free free free"},
    };
    for (const DeviceFailure &f : failures) {
        sim::Reset();
        callsBeforeBox = -1;
        sim::FailCall(f.function, f.error, f.nth);
        EXPECT_EQ(Play(test::PcmWave(1, 8000, 16, Samples(1600))), 0u) << f.function;
        ASSERT_EQ(sim::MessageBoxes().size(), 1u) << f.function;
        EXPECT_EQ(sim::MessageBoxes()[0].text, f.box) << f.function;
        EXPECT_EQ(sim::MessageBoxes()[0].caption, "") << f.function;
        EXPECT_EQ(sim::MessageBoxes()[0].style, 0u) << f.function;
        EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr) << f.function;
        // Every block freed once, last of all, and the box shown after that.
        EXPECT_EQ(callsBeforeBox, (int)sim::Journal().size()) << f.function;
        const std::vector<sim::ApiCall> &journal = sim::Journal();
        size_t failed = 0;
        for (int seen = 0; failed < journal.size(); failed++)
            if (journal[failed].function == f.function && ++seen == f.nth)
                break;
        ASSERT_LT(failed, journal.size()) << f.function;
        EXPECT_EQ(journal[failed].result, f.error) << f.function;
        std::string after;
        for (size_t i = failed + 1; i < journal.size(); i++)
            after += (after.empty() ? "" : " ") + journal[i].function;
        EXPECT_EQ(after, f.after) << f.function;
        std::vector<uint64_t> freed;
        for (const sim::ApiCall &call : sim::CallsTo("free"))
            freed.push_back(call.args[0]);
        EXPECT_EQ(freed, (std::vector<uint64_t>{2, 3, 1})) << f.function;
        EXPECT_EQ(sim::HeldBlocks(), 0u) << f.function;
        EXPECT_EQ(sim::NextTimerDue(), UINT64_MAX) << f.function;
        // Only a device that refused to close is still open.
        EXPECT_EQ(sim::OpenWaveOutHandles(), std::string(f.function) == "waveOutClose" ? 1u : 0u)
            << f.function;
    }
}

TEST_F(PlayerTest, AReadingStepThatFailsEndsTheCallQuietly) {
    const DeviceFailure failures[] = {
        {"mmioDescend", 1, MMIOERR_CHUNKNOTFOUND, "", "mmioClose"},
        {"mmioDescend", 2, MMIOERR_CHUNKNOTFOUND, "", "mmioClose"},
        {"mmioDescend", 3, MMIOERR_CHUNKNOTFOUND, "", "free mmioClose"},
        {"mmioRead", 1, -1, "", "free mmioClose"},
        {"mmioRead", 2, 7, "", "free free mmioClose"},
        {"calloc", 1, 0, "", "mmioClose"},
        {"calloc", 2, 0, "", "free mmioClose"},
        {"calloc", 3, 0, "", "free free"},
    };
    for (const DeviceFailure &f : failures) {
        sim::Reset();
        sim::FailCall(f.function, f.error, f.nth);
        EXPECT_EQ(Play(test::PcmWave(1, 8000, 16, Samples(1600))), 0u) << f.function << f.nth;
        const std::vector<sim::ApiCall> &journal = sim::Journal();
        size_t failed = 0;
        for (int seen = 0; failed < journal.size(); failed++)
            if (journal[failed].function == f.function && ++seen == f.nth)
                break;
        std::string after;
        for (size_t i = failed + 1; i < journal.size(); i++)
            after += (after.empty() ? "" : " ") + journal[i].function;
        EXPECT_EQ(after, f.after) << f.function << f.nth;
        EXPECT_TRUE(sim::MessageBoxes().empty()) << f.function << f.nth;
        ExpectNothingHeld();
    }
}

TEST_F(PlayerTest, ABoxLetsWaitingMessagesRunOnlyAfterTheDeviceIsClosed) {
    size_t openAtDispatch = 99;
    sim::PostTask([&] { openAtDispatch = sim::OpenWaveOutHandles() + sim::HeldBlocks(); });
    sim::FailCall("waveOutWrite", MMSYSERR_NOMEM);
    test::WriteFile("msg.wav", test::PcmWave(1, 8000, 16, Samples(160)));
    EXPECT_EQ(PlayWaveMessage(0, "msg.wav"), 0u); // the platform's own box loop
    EXPECT_EQ(openAtDispatch, 0u);
}

TEST_F(PlayerTest, TheMachineSaysWhatIsPlaying) {
    std::vector<std::string> notes;
    sim::AddNoteListener([&](const std::string &note) { notes.push_back(note); });
    EXPECT_NE(Play(test::PcmWave(1, 8000, 16, Samples(3200))), 0u);
    EXPECT_EQ(notes, (std::vector<std::string>{"playing msg.wav on device 0 (Modem voice), 0.2 s",
                                               "msg.wav played"}));
}

} // namespace
