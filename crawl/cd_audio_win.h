// The crawl's music: one audio track of the product CD, played by the drive itself through
// the multimedia control interface. No audio data passes through the program.
#pragma once

#include <windows.h>
#include <mmsystem.h>

// The device opened last; kNoCdDevice until the first successful open. A close leaves it.
constexpr MCIDEVICEID kNoCdDevice = 0xFFFF;
extern MCIDEVICEID g_cdDeviceId;

// Every command goes through here: mciSendCommandA, or a test's recording stand-in.
using MciSendCommandFunction = MCIERROR(WINAPI*)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);
extern MciSendCommandFunction g_mciSendCommand;

// Opens the CD audio device of the medium's drive (or, failing that, the default one) and
// plays the one track from its start to its end, with a completion notice to the window;
// does not wait. Returns 0 or the MCI error of the default device's open or of a later
// command, with the device closed again when it was opened but could not play.
MCIERROR PlayCdTrack(HWND window, UINT track);

// Stops and closes the device; does nothing before the first successful open.
void StopCdAudio();
