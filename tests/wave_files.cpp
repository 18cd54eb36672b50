// Building RIFF WAVE files for the tests.
#include "wave_files.h"

namespace test {

std::string LittleEndian32(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; i++)
        bytes.push_back((char)(value >> (8 * i) & 0xFF));
    return bytes;
}

std::string LittleEndian16(uint16_t value) {
    return LittleEndian32(value).substr(0, 2);
}

std::string ChunkHeader(const std::string &id, uint32_t size) {
    return id.substr(0, 4) + LittleEndian32(size);
}

std::string Chunk(const std::string &id, const std::string &body) {
    std::string chunk = ChunkHeader(id, (uint32_t)body.size()) + body;
    if (body.size() % 2)
        chunk.push_back('\0');
    return chunk;
}

std::string Riff(const std::string &form, const std::string &chunks) {
    return Chunk("RIFF", form + chunks);
}

std::string PcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
    uint16_t blockAlign = (uint16_t)(channels * bitsPerSample / 8);
    return LittleEndian16(1) + LittleEndian16(channels) + LittleEndian32(samplesPerSec) +
           LittleEndian32(samplesPerSec * blockAlign) + LittleEndian16(blockAlign) +
           LittleEndian16(bitsPerSample);
}

std::string FormatRecord(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                         uint32_t avgBytesPerSec, uint16_t blockAlign, uint16_t bitsPerSample,
                         const std::string &extra) {
    return LittleEndian16(tag) + LittleEndian16(channels) + LittleEndian32(samplesPerSec) +
           LittleEndian32(avgBytesPerSec) + LittleEndian16(blockAlign) +
           LittleEndian16(bitsPerSample) + LittleEndian16((uint16_t)extra.size()) + extra;
}

std::string Samples(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (char)(state >> 16);
    }
    return bytes;
}

std::string PcmWave(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample,
                    const std::string &samples) {
    return Riff("WAVE", Chunk("fmt ", PcmFormat(channels, samplesPerSec, bitsPerSample)) +
                            Chunk("data", samples));
}

} // namespace test
