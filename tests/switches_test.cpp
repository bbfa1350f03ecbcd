// The switch parser on raw command lines, read through a guard page so that a
// read past the end of the text faults, and written into buffers with guard
// bytes after them.
#include <mbctype.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/switches.h"
#include "framework/win.h"
#include "support/guarded_text.h"

namespace {

const char kGuard = '\xCC';
const size_t kGuardBytes = 16;

// One call of FindSwitchValue into a buffer of the given size, followed by guard bytes.
struct Lookup {
    Lookup(const char* commandLine, const char* key, size_t size = 260)
        : buffer(size + kGuardBytes, kGuard)
    {
        if (!commandLine) {
            found = FindSwitchValue(nullptr, key, buffer.data(), size);
            return;
        }
        GuardedText text(commandLine);
        found = FindSwitchValue(text.c_str(), key, buffer.data(), size);
    }
    std::string value() const
    {
        return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
    }
    bool Untouched() const { return AllGuard(buffer.begin()); }
    bool GuardIntact() const { return AllGuard(buffer.end() - kGuardBytes); }
    bool AllGuard(std::vector<char>::const_iterator from) const
    {
        return std::all_of(from, buffer.end(), [](char c) { return c == kGuard; });
    }

    std::vector<char> buffer;
    int found = 0;
};

TEST(Switches, TheKeyFollowsASwitchCharacterInAnyCaseAsAPrefix)
{
    EXPECT_EQ(Lookup("S 1", "S").found, 0) << "no switch character";
    EXPECT_TRUE(Lookup("S 1", "S").Untouched());
    EXPECT_EQ(Lookup("/T 1", "S").found, 0);

    for (const char* line : {"/s 1", "-S 1", "/S   1", "x -s 1 /T 2"}) {
        Lookup s(line, "S");
        EXPECT_EQ(s.found, 1) << line;
        EXPECT_EQ(s.value(), "1") << line;
    }
    Lookup t("/S 1 /t 5", "T");
    EXPECT_EQ(t.value(), "5");

    // Only a space or a double quote separates the value.
    Lookup equals("/S=1", "S");
    EXPECT_EQ(equals.found, 1);
    EXPECT_EQ(equals.value(), "");
    Lookup prefix("/Silent 1", "S");
    EXPECT_EQ(prefix.found, 1);
    EXPECT_EQ(prefix.value(), "");
}

TEST(Switches, AValueEndsAtASpaceOrAtAQuoteBeyondIt)
{
    EXPECT_EQ(Lookup("/URL \"a b\"", "URL").value(), "a b");
    EXPECT_EQ(Lookup("/URL \"http://h/x.ini\"", "URL").value(), "http://h/x.ini\"");
    EXPECT_EQ(Lookup("/S \"1\"", "S").value(), "1\"");
    EXPECT_EQ(atoi(Lookup("/S \"1\"", "S").value().c_str()), 1);

    Lookup m("/M 12 /URL \"x y\"", "M");
    EXPECT_EQ(m.value(), "12 /URL ");
    EXPECT_EQ(atoi(m.value().c_str()), 12);
}

TEST(Switches, ASwitchCharacterInsideAnEarlierValueCountsAsOne)
{
    // The scan does not split the text into tokens: the "/t" of the address is
    // taken for the switch T, which then has no value.
    const char line[] = "/URL http://host/test/x.ini /T 1";
    Lookup t(line, "T");
    EXPECT_EQ(t.found, 1);
    EXPECT_EQ(t.value(), "");
    EXPECT_EQ(Lookup(line, "URL").value(), "http://host/test/x.ini");
}

TEST(Switches, TheEndOfTheText)
{
    for (const char* line : {"", "/", "-", "x /", "/S 1 -"}) {
        Lookup u(line, "URL");
        EXPECT_EQ(u.found, 0) << line;
        EXPECT_TRUE(u.Untouched()) << line;
    }
    for (const char* line : {"/S", "x -S", "/S ", "/S \"", "/S \" \""}) {
        Lookup s(line, "S");
        EXPECT_EQ(s.found, 1) << line;
        EXPECT_EQ(s.value(), "") << line;
    }
    Lookup none(nullptr, "S");
    EXPECT_EQ(none.found, 0);
    EXPECT_TRUE(none.Untouched());

    EXPECT_EQ(SkipPastAnyOf(nullptr, "-/"), nullptr);
    EXPECT_EQ(SkipPastAnyOf("abc", "-/"), nullptr);
    const char text[] = "a-b/c";
    EXPECT_EQ(SkipPastAnyOf(text, "/-"), text + 2);
}

TEST(Switches, AValueIsCutToTheBufferAndAlwaysEnded)
{
    Lookup cut("/URL abcdef", "URL", 4);
    EXPECT_EQ(cut.value(), "abc");
    EXPECT_TRUE(cut.GuardIntact());

    Lookup exact("/URL abc", "URL", 4);
    EXPECT_EQ(exact.value(), "abc");
    EXPECT_TRUE(exact.GuardIntact());

    Lookup one("/URL abc", "URL", 1);
    EXPECT_EQ(one.found, 1);
    EXPECT_EQ(one.value(), "");
    EXPECT_TRUE(one.GuardIntact());

    Lookup zero("/URL abc", "URL", 0);
    EXPECT_EQ(zero.found, 1);
    EXPECT_TRUE(zero.Untouched()) << "a buffer of size 0 receives nothing";
    EXPECT_EQ(Lookup("/S", "S", 0).found, 1);
    EXPECT_TRUE(Lookup("/S", "S", 0).Untouched());
    EXPECT_EQ(FindSwitchValue("/S 1", "S", nullptr, 0), 1);
}

// Code-page-936 bytes, written out; each is checked against its character.
struct Gbk {
    const char* bytes;
    wchar_t character;
};
const Gbk kZhong = {"\xD6\xD0", L'\x4E2D'};   // 中
const Gbk kWen = {"\xCE\xC4", L'\x6587'};     // 文
const Gbk kQian = {"\x9C\x5C", L'\x6DFA'};    // 淺, trail byte "\"
const Gbk kDao = {"\x8D\x75", L'\x5CF6'};     // 島, trail byte "u"
const Gbk kWei = {"\xBE\x53", L'\x7DAD'};     // 維, trail byte "S"
const Gbk kSuo = {"\xBF\x73", L'\x7E2E'};     // 縮, trail byte "s"

std::wstring From936(const std::string& bytes)
{
    wchar_t wide[8] = {};
    int n =
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), wide, 8);
    return std::wstring(wide, n > 0 ? n : 0);
}

class DoubleByte : public testing::Test {
protected:
    void SetUp() override
    {
        if (GetACP() != 936)
            GTEST_SKIP() << "needs the ANSI code page 936 (LC_ALL=zh_CN.UTF-8)";
    }
};

TEST_F(DoubleByte, TheRuntimeAndTheTestCharactersUseCodePage936)
{
    // The parser relies on it; the runtime sets it so when it starts.
    EXPECT_EQ(_getmbcp(), 936);
    for (const Gbk& c : {kZhong, kWen, kQian, kDao, kWei, kSuo})
        EXPECT_EQ(From936(c.bytes), std::wstring(1, c.character));
}

TEST_F(DoubleByte, ALeadByteTakesTheNextByteWithIt)
{
    // No character of code page 936 ends in "/" or "-" (trail bytes are 0x40
    // and up), so only broken text puts one behind a lead byte. Stepping by
    // characters, the pair is one character, and no switch starts inside it.
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (char trail : {'/', '-'})
            EXPECT_EQ(From936({char(lead), trail}), L"") << std::hex << lead;
    EXPECT_EQ(Lookup("\xB0/S 1", "S").found, 0);
    EXPECT_EQ(Lookup("\xB0-S 1", "S").found, 0);
    EXPECT_EQ(Lookup("\xB0 /S 1", "S").value(), "1");
}

TEST_F(DoubleByte, ValuesKeepTheirCharactersWhole)
{
    // Trail bytes that are letters of the keys, or a backslash, stay in the value.
    std::string path = std::string("C:\\") + kQian.bytes + kDao.bytes + "\\" + kWei.bytes + " " +
                       kSuo.bytes + ".ini";
    std::string line = std::string("-") + kWei.bytes + " /URL \"" + path + "\" /S 1";
    EXPECT_EQ(Lookup(line.c_str(), "URL").value(), path);
    EXPECT_EQ(Lookup(line.c_str(), "S").value(), "1");

    // Cut to the buffer, a value never ends in half a character.
    std::string chinese = std::string("/URL ") + kZhong.bytes + kWen.bytes;
    EXPECT_EQ(Lookup(chinese.c_str(), "URL", 5).value(), std::string(kZhong.bytes) + kWen.bytes);
    EXPECT_EQ(Lookup(chinese.c_str(), "URL", 4).value(), kZhong.bytes);
    EXPECT_EQ(Lookup(chinese.c_str(), "URL", 3).value(), kZhong.bytes);
    EXPECT_EQ(Lookup(chinese.c_str(), "URL", 2).value(), "");
}

TEST(Switches, RandomCommandLinesStayWithinTheirBuffers)
{
    const std::vector<std::string> pieces = {
        "/", "-", " ", "  ", "\"", "S", "s", "T", "t", "URL", "uRl", "M", "1", "12", "=", "x",
        "http://a/b", kZhong.bytes, kQian.bytes, kWei.bytes, kSuo.bytes, "\xB0"};
    const char* const keys[] = {"S", "T", "URL", "M"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string line;
        for (int n = random() % 12; n > 0; --n)
            line += pieces[random() % pieces.size()];
        const char* key = keys[random() % 4];
        size_t size = random() % 10;

        Lookup first(line.c_str(), key, size);
        Lookup second(line.c_str(), key, size);
        SCOPED_TRACE(testing::Message() << "line [" << line << "] key " << key << " size " << size);
        ASSERT_TRUE(first.GuardIntact());
        ASSERT_EQ(first.found, second.found);
        ASSERT_EQ(first.buffer, second.buffer);
        if (!first.found) {
            ASSERT_TRUE(first.Untouched());
        } else if (size > 0) {
            ASSERT_NE(std::memchr(first.buffer.data(), 0, size), nullptr) << "not terminated";
            ASSERT_NE(line.find(first.value()), std::string::npos);
        }
    }
}

}  // namespace
