// The launcher's process-wide record: paths, handles and flags shared by every part of the
// program. Plain data, one instance, read and written directly.
#pragma once

// Window-system handles, declared exactly as <windows.h> declares them in STRICT mode, so
// this header compiles without any Windows header and the Win32 files use the fields as
// HINSTANCE, HWND and HFONT without casts.
struct HINSTANCE__;
struct HWND__;
struct HFONT__;

// Every path the launcher builds lives in a buffer of this size: 255 characters and the
// terminating zero.
constexpr int kPathSize = 256;

struct LauncherState {
    char OwnPath[kPathSize];       // "Vesk.exe" made absolute against the start-up directory
    HINSTANCE__* Instance;         // loads dialogs and bitmaps
    char SaveGameDir[kPathSize];   // InstallRoot + "SaveGames"
    char InstallRoot[kPathSize];   // installation directory, with trailing backslash
    char ProtocolDir[kPathSize];   // InstallRoot + "Protokolle"
    char NetworkDir[kPathSize];    // base + "NNet"; base is InstallRoot or, played from CD, SourceRoot
    HWND__* LauncherDialog;        // owner of the install dialogs, receiver of CD-audio notices
    char CardSetDir[kPathSize];    // InstallRoot + "KartenSets"
    char LibraryDir[kPathSize];    // base + "Lib"; the graphics files are mapped from here
    char IntroDir[kPathSize];      // SourceRoot + "intro", no trailing backslash
    char SourceRoot[kPathSize];    // root of the product medium, such as E:\ .
    HFONT__* UiFont;               // Arial 15, the button labels; null when its creation failed
    bool Installed;                // a settings file exists, or an installation completed
    bool IntroPending;             // the next game start plays the intro first
    bool UninstallMode;            // "/U" on the command line
};

extern LauncherState g_launcher;

// Installation modes, as the install options dialog returns them.
enum InstallMode : int {
    kInstallCancelled = 0,
    kInstallFull = 1,        // everything on the hard disk
    kInstallFromCd = 2,      // "Von CD Spielen": the libraries stay on the medium
};

// Resolution flag of the play and intro buttons.
enum Resolution : int {
    kHighResolution = 0,     // 640x480 film, game mode "high"
    kLowResolution = 1,      // 320x240 film, game mode "low"
};
