// TrimWhitespace: both ends, only the four blank characters, in place.
#include "support.h"

#include <string.h>

namespace {

struct TrimCase {
    const char *input;
    const char *expected;
};

TEST(TrimWhitespace, RemovesBlanksFromBothEnds) {
    const TrimCase cases[] = {
        {"", ""},
        {"   ", ""},
        {"abc", "abc"},
        {"  abc", "abc"},
        {"abc \t\r\n", "abc"},
        {"\t a b \n", "a b"},
        {"\r\n", ""},
        {"\vabc\f", "\vabc\f"}, // only space, tab, CR and LF count as blanks
        {" x", "x"},
    };
    for (const TrimCase &c : cases) {
        char buffer[64];
        strcpy(buffer, c.input);
        EXPECT_EQ(TrimWhitespace(buffer), buffer) << c.input;
        EXPECT_STREQ(buffer, c.expected) << '"' << c.input << '"';
    }
}

} // namespace
