// What the simulated machine keeps of a run: everything by default, and, when a long run lets
// them go, no journal and no played buffers once playback has ended, with failures still
// injected by count.
#include "platform/sim/multimedia.h"
#include "platform/sim/records.h"
#include "playback/player.h"
#include "support.h"
#include "wave_files.h"

#include <string>

namespace {

class RecordsTest : public test::Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        samples = test::Samples(1600, 4); // a tenth of a second at 8 kHz, 16 bits
        test::WriteFile("msg.wav", test::PcmWave(1, 8000, 16, samples));
    }
    std::string samples;
};

TEST_F(RecordsTest, EverythingIsKeptUntilALongRunLetsItGo) {
    EXPECT_TRUE(sim::JournalKept());
    EXPECT_TRUE(sim::PlayedBuffersKept());
    ASSERT_NE(PlayWaveMessage(0, "msg.wav"), 0u);
    ASSERT_EQ(sim::PlayedBuffers().size(), 1u);
    EXPECT_EQ(sim::PlayedBuffers()[0].samples, samples);
    EXPECT_FALSE(sim::CallsTo("waveOutWrite").empty());
}

TEST_F(RecordsTest, WithoutTheJournalCallsAreCountedAndFailuresStillInjected) {
    sim::KeepJournal(false);
    sim::FailCall("waveOutOpen", MMSYSERR_ALLOCATED, 2); // the open after the query
    sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) { return IDOK; });
    EXPECT_EQ(PlayWaveMessage(0, "msg.wav"), 0u);
    EXPECT_TRUE(sim::Journal().empty());
    EXPECT_GT(sim::CallCount(), 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Error opening wave device.");
}

TEST_F(RecordsTest, UnkeptBuffersAreThereOnlyWhilePlayingAndNeverCopied) {
    sim::KeepPlayedBuffers(false);
    size_t whilePlaying = 0, copied = 1;
    sim::AddNoteListener([&whilePlaying, &copied](const std::string &note) {
        if (note.compare(0, 8, "playing ") == 0)
            whilePlaying = sim::PlayedBuffers().size();
        if (note == "msg.wav played")
            copied = sim::PlayedBuffers()[0].samples.size();
    });
    ASSERT_NE(PlayWaveMessage(0, "msg.wav"), 0u);
    EXPECT_EQ(whilePlaying, 1u);
    EXPECT_EQ(copied, 0u);
    EXPECT_TRUE(sim::PlayedBuffers().empty());
}

TEST_F(RecordsTest, ResetKeepsEverythingAgain) {
    sim::KeepJournal(false);
    sim::KeepPlayedBuffers(false);
    sim::Reset();
    EXPECT_TRUE(sim::JournalKept());
    EXPECT_TRUE(sim::PlayedBuffersKept());
    ASSERT_NE(PlayWaveMessage(0, "msg.wav"), 0u);
    EXPECT_EQ(sim::PlayedBuffers().size(), 1u);
    EXPECT_FALSE(sim::Journal().empty());
}

} // namespace
