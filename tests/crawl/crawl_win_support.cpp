#include "tests/crawl/crawl_win_support.h"

#include "intro/full_screen_display.h"

namespace {

const char kClassName[] = "CrawlTestWindow";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TestWindow::TestWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass); // fails harmlessly when the class is there from a test before
    window_ = CreateWindowExA(0, kClassName, "Crawl test", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
}

bool ForEachFrontRow(const std::function<void(std::uint8_t* row, int y)>& visit)
{
    if (!LockFrontBuffer())
        return false;
    auto* base = static_cast<std::uint8_t*>(g_display.Surface.lpSurface);
    for (int y = 0; y < g_display.Height; ++y)
        visit(base + static_cast<std::ptrdiff_t>(y) * g_display.Surface.lPitch, y);
    UnlockFrontBuffer();
    return true;
}

DisplayCloser::~DisplayCloser()
{
    if (g_display.DirectDraw)
        CloseDisplay();
}
