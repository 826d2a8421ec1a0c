#include "base/standard_error_text.hpp"

#include <gtest/gtest.h>

namespace korvanel {
namespace {

TEST(StandardErrorText, ControlCharactersAreShownNotSent) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"job/j.inp line 3", "job/j.inp line 3"},
        {"jo\x1b[2Jb/j.inp", "jo\\x1B[2Jb/j.inp"},
        {std::string("j\0x", 3), "j\\x00x"},
        {"a\rb\nc\td\x7f", "a\\x0Db\\x0Ac\\x09d\\x7F"},
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // UTF-8 stays
    };
    for (const auto& c : cases) EXPECT_EQ(escapedControlCharacters(c.text), c.shown);
}

}  // namespace
}  // namespace korvanel
