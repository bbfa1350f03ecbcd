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

TEST(TestVersion, RandomTextsFollowTheRule)
{
    // The rule stated the other way round: what is left is the last part's
    // characters without spaces, each followed by a dot but the last.
    const char alphabet[] = "0123456789 .ab\t";
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int n = random() % 14; n > 0; --n)
            text += alphabet[random() % (sizeof alphabet - 1)];
        std::string last = text.substr(text.find_last_of('.') + 1);
        std::string expected;
        for (char c : last)
            if (c != ' ')
                expected += std::string(1, c) + ".";
        if (!expected.empty())
            expected.pop_back();
        ASSERT_EQ(Dotted(text), expected) << "[" << text << "]";
    }
}

}  // namespace
