// Building RIFF WAVE files byte by byte for the tests: chunks with their pad bytes, PCM format
// records and sample patterns, so that every file a test plays is made by the test itself.
#ifndef RINGWARD_TEST_WAVE_FILES_H
#define RINGWARD_TEST_WAVE_FILES_H

#include <stdint.h>
#include <string>

namespace test {

std::string LittleEndian32(uint32_t value);
std::string LittleEndian16(uint16_t value);

// A chunk header announcing size bytes, whatever follows it.
std::string ChunkHeader(const std::string &id, uint32_t size);
// A whole chunk: header, body and the pad byte after an odd-sized body.
std::string Chunk(const std::string &id, const std::string &body);
// A RIFF chunk of the given form type around the chunks given.
std::string Riff(const std::string &form, const std::string &chunks);

// A 16-byte PCM format record, self-consistent.
std::string PcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);
// A format record of any tag: the 18 bytes of a WAVEFORMATEX announcing extra.size() more
// bytes, then those bytes.
std::string FormatRecord(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                         uint32_t avgBytesPerSec, uint16_t blockAlign, uint16_t bitsPerSample,
                         const std::string &extra);

// size bytes of a pattern that differs from one byte to the next, for telling samples apart.
std::string Samples(size_t size, unsigned seed = 1);

// A plain WAVE file: "fmt " then "data".
std::string PcmWave(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample,
                    const std::string &samples);

} // namespace test

#endif
