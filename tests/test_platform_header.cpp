// The platform header's routing of fopen and the heap must hold in every file of the program,
// also where C++ standard headers come after it: their C wrappers drop macros of those names.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(PlatformHeader, FopenAndHeapStayThePlatformsAfterStandardHeaders) {
    FILE *(*open)(const char *, const char *) = fopen;
    void *(*allocate)(size_t, size_t) = calloc;
    void *(*grow)(void *, size_t) = realloc;
    void (*release)(void *) = free;
    EXPECT_EQ(open, &PlatformFopen);
    EXPECT_EQ(allocate, &PlatformCalloc);
    EXPECT_EQ(grow, &PlatformRealloc);
    EXPECT_EQ(release, &PlatformFree);
}

} // namespace
