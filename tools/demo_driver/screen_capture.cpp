#include "screen_capture.h"

#include "framework/handles.h"

namespace {

struct ScreenDcTraits {
    using Handle = HDC;
    static HDC None() { return nullptr; }
    static void Close(HDC dc) { ReleaseDC(nullptr, dc); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static HDC None() { return nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
struct BitmapTraits {
    using Handle = HBITMAP;
    static HBITMAP None() { return nullptr; }
    static void Close(HBITMAP bitmap) { DeleteObject(bitmap); }
};
using ScreenDc = framework::UniqueOwner<ScreenDcTraits>;
using MemoryDc = framework::UniqueOwner<MemoryDcTraits>;
using Bitmap = framework::UniqueOwner<BitmapTraits>;

// Puts a bitmap into a device context for the life of the object.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

DWORD RowBytes(LONG width) { return (static_cast<DWORD>(width) * 3 + 3) & ~3u; }

bool WriteBmp(const std::string& path, const BITMAPINFOHEADER& info, const void* pixels)
{
    DWORD pixelBytes = RowBytes(info.biWidth) * static_cast<DWORD>(-info.biHeight);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + pixelBytes;

    framework::FileHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return false;
    DWORD written = 0;
    return WriteFile(out.get(), &file, sizeof file, &written, nullptr) &&
           WriteFile(out.get(), &info, sizeof info, &written, nullptr) &&
           WriteFile(out.get(), pixels, pixelBytes, &written, nullptr) && written == pixelBytes;
}

}  // namespace

bool CaptureWindow(HWND window, const std::string& bmpPath)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = rect.right - rect.left;
    info.biHeight = -(rect.bottom - rect.top);  // rows from the top down
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    if (info.biWidth <= 0 || info.biHeight >= 0)
        return false;

    ScreenDc screen(GetDC(nullptr));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    void* pixels = nullptr;
    Bitmap bitmap(CreateDIBSection(screen.get(), reinterpret_cast<BITMAPINFO*>(&info),
                                   DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!screen || !memory || !bitmap || !pixels)
        return false;
    {
        Selection selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, info.biWidth, -info.biHeight, screen.get(), rect.left,
                    rect.top, SRCCOPY))
            return false;
    }
    GdiFlush();
    return WriteBmp(bmpPath, info, pixels);
}
