#include "tests/crawl/crawl_win_support.h"

#include "crawl/cd_audio_win.h"
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

namespace {

RecordedMci* g_recorded = nullptr;

MCIERROR WINAPI RecordMci(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters)
{
    RecordedMci& mci = *g_recorded;
    MciCommand c{device, message, flags, parameters != 0, "", ""};
    switch (message) {
    case MCI_OPEN: {
        auto* open = reinterpret_cast<MCI_OPEN_PARMSA*>(parameters);
        c.deviceType = open->lpstrDeviceType ? open->lpstrDeviceType : "";
        c.elementName = open->lpstrElementName ? open->lpstrElementName : "";
        if (mci.failOn == MCI_OPEN || mci.openFailures-- > 0) {
            mci.commands.push_back(c);
            return kMciFailure;
        }
        open->wDeviceID = mci.openedId;
        break;
    }
    case MCI_SET:
        c.timeFormat = reinterpret_cast<MCI_SET_PARMS*>(parameters)->dwTimeFormat;
        break;
    case MCI_STATUS: {
        auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(parameters);
        c.item = status->dwItem;
        c.track = status->dwTrack;
        if (mci.failOn != MCI_STATUS)
            status->dwReturn = mci.trackLength;
        break;
    }
    case MCI_PLAY: {
        auto* play = reinterpret_cast<MCI_PLAY_PARMS*>(parameters);
        c.callback = play->dwCallback;
        c.from = play->dwFrom;
        c.to = play->dwTo;
        break;
    }
    case MCI_STOP:
        c.callback = reinterpret_cast<MCI_GENERIC_PARMS*>(parameters)->dwCallback;
        break;
    }
    mci.commands.push_back(c);
    return message == mci.failOn ? kMciFailure : 0;
}

} // namespace

RecordedMci::RecordedMci()
{
    g_recorded = this;
    g_mciSendCommand = RecordMci;
    g_cdDeviceId = kNoCdDevice;
}

RecordedMci::~RecordedMci()
{
    g_mciSendCommand = mciSendCommandA;
    g_recorded = nullptr;
    g_cdDeviceId = kNoCdDevice;
}

std::vector<UINT> RecordedMci::Messages() const
{
    std::vector<UINT> messages;
    for (const MciCommand& c : commands)
        messages.push_back(c.message);
    return messages;
}

void PrintTo(const MciCommand& c, std::ostream* out)
{
    *out << "{device " << c.device << ", message 0x" << std::hex << c.message << ", flags 0x" << c.flags << std::dec
         << (c.hasParameters ? ", " : ", no parameters, ") << c.deviceType << " " << c.elementName << ", callback "
         << c.callback << ", format " << c.timeFormat << ", item " << c.item << ", track " << c.track << ", from 0x"
         << std::hex << c.from << ", to 0x" << c.to << std::dec << "}";
}
