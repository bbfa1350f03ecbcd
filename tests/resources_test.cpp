// The module's resources as the wizard loads them: every template with its
// controls, the string table in code page 936, the picture and the icon. The
// same expectations hold for the resources linked into this program and for
// the shipped 32-bit module read as a data file, which a 64-bit program can do
// on a machine that cannot run 32-bit code.
#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/app.h"
#include "i18n/language.h"
#include "support/dialog_template.h"

namespace {

struct ExpectedItem {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

void ExpectItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected)
{
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        const ExpectedItem& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + want.text + ")");
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(_stricmp(item.className.c_str(), want.className), 0)
            << item.className << " is not " << want.className;
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
    }
}

// Where the resources come from: the module's own, linked into this program,
// or a built productupdate.dll of either architecture, loaded as data.
class Resources : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (std::string(GetParam()) == "linked") {
            module_ = framework::ModuleInstance();
            return;
        }
        const char* path = getenv("VELNOR_SHIPPED_WIN32_MODULE");
        if (!path || !*path)
            GTEST_SKIP() << "no 32-bit build named (the 64-bit build's tests name it)";
        data_ = LoadLibraryExA(WindowsPath(path).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(data_, nullptr) << path << ": " << GetLastError();
        module_ = data_;
    }
    void TearDown() override
    {
        if (data_)
            FreeLibrary(data_);
    }

    // A Linux path as Wine's drive Z: sees it; a Windows path as it is.
    static std::string WindowsPath(std::string path)
    {
        if (path.empty() || path[0] != '/')
            return path;
        for (char& c : path)
            if (c == '/')
                c = '\\';
        return "Z:" + path;
    }

    DialogTemplate Load(int id) const;
    std::string String(UINT id) const { return LoadStringResource(module_, id); }

    HMODULE module_ = nullptr;
    HMODULE data_ = nullptr;
};

DialogTemplate Resources::Load(int id) const
{
    auto dialog = LoadDialogTemplate(module_, id);
    EXPECT_TRUE(dialog) << "template " << id;
    return dialog.value_or(DialogTemplate{});
}

void ExpectPageFrame(const DialogTemplate& page, short cx, short cy)
{
    EXPECT_FALSE(page.extended);
    EXPECT_EQ(page.style, 0x40000040u);
    EXPECT_EQ(page.title, "");
    EXPECT_EQ(page.cx, cx);
    EXPECT_EQ(page.cy, cy);
    EXPECT_EQ(page.pointSize, 9);
    EXPECT_EQ(page.font, u8"宋体");
}

TEST_P(Resources, FrameTemplate)
{
    DialogTemplate frame = Load(103);
    EXPECT_TRUE(frame.extended);
    EXPECT_EQ(frame.style, 0x80CA00C0u);
    EXPECT_EQ(frame.exStyle, 0x00040000u);
    EXPECT_EQ(frame.x, 0);
    EXPECT_EQ(frame.y, 0);
    EXPECT_EQ(frame.cx, 320);
    EXPECT_EQ(frame.cy, 200);
    EXPECT_EQ(frame.title, "Velnor Update");
    EXPECT_EQ(frame.pointSize, 9);
    EXPECT_EQ(frame.font, u8"宋体");
    ExpectItems(frame, {
        {3003, "Button", u8"< 上一步(&B)", 0x40010000, 157, 181, 50, 14},
        {3002, "Button", u8"下一步(&N) >", 0x50030001, 206, 181, 50, 14},
        {1, "Button", u8"确定(&O)", 0x40010000, 206, 181, 50, 14},
        {2, "Button", u8"取消(&C)", 0x50010000, 263, 181, 50, 14},
        {-1, "Static", "", 0x58001000, 2, 175, 311, 1},
        {-1, "Static", "#109", 0x5800000E, 2, 2, 113, 173},
    });
}

TEST_P(Resources, PageTemplates)
{
    DialogTemplate welcome = Load(105);
    ExpectPageFrame(welcome, 300, 183);
    ExpectItems(welcome, {
        {3004, "Static", u8"单击下一步将开始查询可用的更新...", 0x50020000, 2, 147, 216, 12},
        {3005, "Static", u8"本程序可帮助您升级Velnor", 0x50020000, 2, 7, 259, 15},
    });

    DialogTemplate error = Load(106);
    ExpectPageFrame(error, 274, 201);
    ExpectItems(error, {
        {-1, "Static", "#104", 0x50000003, 21, 9, 21, 21},
        {-1, "Static", u8"对不起,出错了。", 0x50020000, 47, 9, 88, 11},
        {3006, "Edit", "", 0x50810884, 3, 35, 186, 90},
    });

    DialogTemplate query = Load(107);
    ExpectPageFrame(query, 253, 161);
    ExpectItems(query, {
        {-1, "Static", "#104", 0x50000003, 12, 13, 20, 20},
        {3007, "Static", u8"欢迎使用在线升级。", 0x50020000, 41, 19, 173, 10},
        {3009, "Static", u8"正在为您检查最新的产品及组件，请稍候。\n\n该过程可能需要几分钟。", 0x50020000, 12, 44, 159, 33},
        {3010, "msctls_progress32", "", 0x50800001, 12, 112, 172, 18},
    });

    DialogTemplate download = Load(108);
    ExpectPageFrame(download, 253, 161);
    ExpectItems(download, {
        {-1, "Static", "#104", 0x50000003, 12, 13, 20, 20},
        {3007, "Static", u8"欢迎使用在线升级。", 0x50020000, 41, 19, 173, 10},
        {3008, "Static", u8"正在为您下载更新程序，请稍候。\n\n该过程可能需要几分钟。", 0x50020000, 12, 44, 159, 33},
        {3010, "msctls_progress32", "", 0x50800001, 12, 112, 172, 18},
    });

    DialogTemplate upToDate = Load(9000);
    ExpectPageFrame(upToDate, 242, 165);
    ExpectItems(upToDate, {
        {-1, "Static", "#104", 0x50000003, 7, 16, 20, 20},
        {9001, "Static", u8"感谢使用在线升级。", 0x50020000, 32, 22, 173, 14},
        {9, "Static", u8"您所使用的已经是最新版本。\r\n\r\n欢迎以后继续关注我们的产品更新。", 0x50020000, 7, 50, 204, 26},
        {9003, "Static", u8"更多精彩内容敬请关注：", 0x50020000, 7, 95, 181, 10},
        {9002, "Static", "<a href=\"http://www.velnor.example/\">www.velnor.example</a>", 0x50010000, 7, 106, 208, 14},
    });
}

TEST_P(Resources, StringTableLoadsAsCodePage936Bytes)
{
    EXPECT_EQ(String(1), "\xD5\xFD\xD4\xDA\xB2\xE9\xD1\xAF\xB8\xFC\xD0\xC2...(%d%%)");
    EXPECT_EQ(String(2),
              "\xCF\xC2\xD4\xD8\xC9\xFD\xBC\xB6\xB0\xFC\xCA\xB1\xB3\xF6\xB4\xED\xA1\xA3\n"
              "\xB5\xA5\xBB\xF7\xC8\xB7\xB6\xA8\xBD\xAB\xD7\xAA\xB5\xBD\xCF\xC2\xD4\xD8\xD2\xB3"
              "\xC3\xE6\xA1\xA3\n"
              "\xB8\xD0\xD0\xBB\xCA\xB9\xD3\xC3\xD4\xDA\xCF\xDF\xC9\xFD\xBC\xB6\xA1\xA3");
    EXPECT_EQ(String(3), "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8\xC9\xFD\xBC\xB6\xB0\xFC...(%d%%)");
    EXPECT_EQ(String(5), "Velnor Update");
    EXPECT_EQ(String(6), "\xC9\xFD\xBC\xB6\xBB\xB9\xC3\xBB\xD3\xD0\xCD\xEA\xB3\xC9\xA3\xAC"
                                   "\xC4\xFA\xD5\xE6\xB5\xC4\xD2\xAA\xCD\xCB\xB3\xF6\xC2\xF0\xA3\xBF");
    EXPECT_EQ(String(7), "\xB2\xE9\xD1\xAF\xB8\xFC\xD0\xC2\xB3\xF6\xB4\xED\xA3\xA1");
    for (UINT id = 3002; id <= 3013; ++id)
        EXPECT_EQ(String(id), "") << "no string " << id;
}

TEST_P(Resources, SidePictureAndIcon)
{
    HMODULE module = module_;
    HRSRC bitmap = FindResourceA(module, MAKEINTRESOURCEA(109), MAKEINTRESOURCEA(2));
    ASSERT_NE(bitmap, nullptr);
    auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, bitmap)));
    EXPECT_EQ(info->biWidth, 170);
    EXPECT_EQ(info->biHeight, 260);
    EXPECT_EQ(info->biBitCount, 24);

    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(104), MAKEINTRESOURCEA(14));
    ASSERT_NE(group, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    WORD count;
    memcpy(&count, dir + 4, sizeof count);
    std::vector<std::pair<int, int>> images;  // size, bits
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
        WORD bits;
        memcpy(&bits, entry + 6, sizeof bits);
        images.emplace_back(entry[0], bits);
    }
    EXPECT_THAT(images, testing::UnorderedElementsAre(std::pair(16, 24), std::pair(32, 24)));
}

INSTANTIATE_TEST_SUITE_P(, Resources, testing::Values("linked", "shipped_win32"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
