// Shared pieces of the fuzz targets: a working directory of their own, the checks that turn a
// broken promise into a crash that the fuzzer reports, and the form of a normalised number.
#ifndef RINGWARD_FUZZ_SUPPORT_H
#define RINGWARD_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>
#include <initializer_list>
#include <string>

namespace fuzz {

// Moves into a fresh temporary directory, once per process, so that the files a target writes
// and the program reads stay there. The fuzzer reads its corpus after the first input has run:
// give it corpus and artifact paths that are absolute.
void EnterWorkDirectory();

// Writes bytes to path, replacing it.
void WriteBytes(const char *path, const uint8_t *data, size_t size);
void WriteText(const char *path, const std::string &text);

// Aborts with what was broken when the condition does not hold.
void Require(bool condition, const char *what);

// True when text is a normalised number: up to 30 digits, one of "N", "O", "P", or empty.
bool IsNormalizedNumber(const char *text);

// A freshly booted machine and a zeroed state with small lists: accept 212; block 800 (with
// "Go Away.wav"), P and whatever more block entries are given.
void BootWithSmallLists(std::initializer_list<const char *> moreBlocked = {});

} // namespace fuzz

#endif
