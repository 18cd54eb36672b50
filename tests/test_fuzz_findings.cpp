// Inputs the fuzz targets found mishandled, kept as regression tests: each one once crashed or
// misbehaved under the sanitizers.
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "playback/player.h"
#include "support.h"
#include "wave_files.h"

#include <string>

namespace {

using test::Chunk;
using test::LittleEndian16;
using test::LittleEndian32;

class FuzzFindingsTest : public test::Machine {};

// A PCM record announcing 65535 channels of 37376-bit samples: checking it against its block
// alignment overflowed an int in the simulated device. It is simply not a playable format.
TEST_F(FuzzFindingsTest, HugeChannelCountTimesSampleSizeIsRefusedAsAFormat) {
    std::string format = LittleEndian16(WAVE_FORMAT_PCM) + LittleEndian16(65535) +
                         LittleEndian32(55231) + LittleEndian32(1) + LittleEndian16(0) +
                         LittleEndian16(37376);
    test::WriteFile("msg.wav",
                    test::Riff("WAVE", Chunk("fmt ", format) + Chunk("data", std::string(9, 'x'))));
    sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) { return IDOK; });
    EXPECT_EQ(PlayWaveMessage(0, "msg.wav"), 0u);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Unsupported wave format.");
    EXPECT_EQ(sim::HeldBlocks(), 0u);
    EXPECT_EQ(sim::OpenWaveOutHandles(), 0u);
}

} // namespace
