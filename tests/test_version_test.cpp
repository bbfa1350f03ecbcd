// The conversion of a test installation's version into a dotted version.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "entry/test_version.h"

namespace {

std::string Dotted(std::string version)
{
    DotTestVersion(version);
    return version;
}

TEST(TestVersion, EveryCharacterOfTheLastPartBecomesAField)
{
    EXPECT_EQ(Dotted("1000"), "1.0.0.0");
    EXPECT_EQ(Dotted("2.5.1234"), "1.2.3.4");
    EXPECT_EQ(Dotted("3.0.0.12"), "1.2");
    EXPECT_EQ(Dotted(" 1 2 3 "), "1.2.3");
    EXPECT_EQ(Dotted("7"), "7");
    EXPECT_EQ(Dotted(""), "");
    EXPECT_EQ(Dotted("1.2."), "") << "nothing after the last dot";
    EXPECT_EQ(Dotted("   "), "");
}

TEST(TestVersion, RandomTextsGiveTheFieldsTheyWereBuiltFrom)
{
    // Each text is built from its answer: fields of one character, spaces
    // strewn among them, and maybe a prefix up to a last dot.
    const char fields[] = "0123456789ab\t\xE9";
    const char prefixes[] = "0123456789 .ab\t";
    std::mt19937 random(7);
    auto pick = [&](const char* from, size_t size) { return from[random() % (size - 1)]; };
    for (int round = 0; round < 2000; ++round) {
        std::string expected, text;
        if (random() % 2) {
            for (int n = random() % 8; n > 0; --n)
                text += pick(prefixes, sizeof prefixes);
            text += '.';
        }
        for (int n = random() % 6; n > 0; --n) {
            for (int spaces = random() % 3; spaces > 0; --spaces)
                text += ' ';
            char field = pick(fields, sizeof fields);
            text += field;
            expected += expected.empty() ? std::string(1, field) : std::string(".") + field;
        }
        if (random() % 2)
            text += "  ";
        ASSERT_EQ(Dotted(text), expected) << "[" << text << "]";
    }
}

}  // namespace
