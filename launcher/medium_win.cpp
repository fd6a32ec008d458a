#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/text.h"
#include "resources/resource.h"

namespace {

// The medium is recognised by the launcher's own file in the root of the drive.
constexpr char kMediumMarker[] = "Vesk.exe";
// D: to W:, the letters where a CD-ROM drive can sit.
constexpr char kFirstCdLetter = 'D';
constexpr int kCdLetterCount = 20;
// Escape is looked at before each of these 1 ms sleeps; then the drives are scanned again.
constexpr int kPollsPerScan = 500;

struct DriveList {
    char roots[kCdLetterCount][4]; // "E:\" and its terminator; every letter fits
    int count;
};

// The CD-ROM drives among D: to W:, in letter order. There is room for all twenty.
void ListCdDrives(DriveList& list)
{
    list.count = 0;
    for (int i = 0; i < kCdLetterCount; ++i) {
        char root[4] = {static_cast<char>(kFirstCdLetter + i), ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_CDROM)
            CopyText(list.roots[list.count++], root);
    }
}

// The first listed drive whose root holds the marker (any file or directory of that name),
// or null.
const char* FindMarker(const DriveList& list)
{
    for (int i = 0; i < list.count; ++i) {
        char marker[kPathSize];
        JoinText(marker, list.roots[i], kMediumMarker);
        if (GetFileAttributesA(marker) != INVALID_FILE_ATTRIBUTES)
            return list.roots[i];
    }
    return nullptr;
}

bool EscapeIsDown() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }

} // namespace

// Runs before the launcher dialog exists and dispatches no messages; Escape is read from the
// asynchronous key state, so it counts whichever window has the focus. Since no message loop
// runs, the prompt would never receive the paint messages that draw its text: it is painted
// directly each time it is shown, so whatever was covered is drawn again at the next scan.
int LocateSourceMedium()
{
    DriveList drives;
    ListCdDrives(drives);

    HWND prompt = nullptr;
    for (;;) {
        if (const char* root = FindMarker(drives)) {
            CopyText(g_launcher.SourceRoot, root);
            JoinText(g_launcher.IntroDir, root, "intro");
            if (prompt)
                DestroyWindow(prompt);
            return 1;
        }
        if (!prompt)
            prompt = CreateDialogParamA(g_launcher.Instance, MAKEINTRESOURCEA(IDD_INSERT_MEDIUM), nullptr,
                                        PassiveDialogProc, 0);
        ShowWindow(prompt, SW_SHOW);
        UpdateWindow(prompt);
        for (int poll = 0; poll < kPollsPerScan; ++poll) {
            if (EscapeIsDown()) {
                if (prompt)
                    DestroyWindow(prompt);
                return 0;
            }
            Sleep(1);
        }
    }
}
