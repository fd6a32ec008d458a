// Helpers of the Windows tests of the display and the crawl: a film-like window to open the
// display for, access to the locked front buffer, and a recording stand-in for the MCI.
#pragma once

#include "crawl/cd_audio_win.h"
#include "tests/support/win_files.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

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

// An MCI command as the stand-in received it, with what its parameter block held.
struct MciCommand {
    MCIDEVICEID device;
    UINT message;
    DWORD_PTR flags;
    bool hasParameters;
    std::string deviceType = {}, elementName = {};
    DWORD_PTR callback = 0, timeFormat = 0, item = 0, track = 0, from = 0, to = 0;
    bool operator==(const MciCommand&) const = default;
};
void PrintTo(const MciCommand& c, std::ostream* out);

// While it lives, the program's MCI commands go to this stand-in, which records them and
// answers as a CD drive would: the message failOn fails with kMciFailure, and so do the
// first openFailures opens; an open gives openedId, a length query trackLength.
class RecordedMci {
public:
    RecordedMci();
    ~RecordedMci();
    RecordedMci(const RecordedMci&) = delete;
    RecordedMci& operator=(const RecordedMci&) = delete;
    std::vector<UINT> Messages() const;

    std::vector<MciCommand> commands;
    UINT failOn = 0;
    int openFailures = 0;
    MCIDEVICEID openedId = 7;
    DWORD_PTR trackLength = 0x003C1903; // 3 minutes, 25 seconds, 60 frames (MSF)
};

constexpr MCIERROR kMciFailure = 0x113; // an MCI error number, as the device would give it

using test::FileHeld;
