// Helpers of the Windows tests of the display and the crawl: a film-like window to open the
// display for, and access to the locked front buffer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

// A visible popup window, as the film player makes one; destroyed with the object.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Locks the front buffer and calls visit(row pointer, y) for each of the display's rows;
// false when the lock failed.
bool ForEachFrontRow(const std::function<void(std::uint8_t* row, int y)>& visit);

// Closes the display if a test left it open, so the next test starts from the desktop.
struct DisplayCloser {
    ~DisplayCloser();
};
