#include "crawl/cd_audio_win.h"

#include "launcher/launcher_state.h"

MCIDEVICEID g_cdDeviceId = kNoCdDevice;
MciSendCommandFunction g_mciSendCommand = mciSendCommandA;

namespace {

MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, void* parameters)
{
    return g_mciSendCommand(device, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
}

void CloseCdDevice()
{
    SendCommand(g_cdDeviceId, MCI_CLOSE, 0, nullptr);
}

// The track's length in minutes, seconds and frames, or the error of the query. The play
// needs a real end position, so a failed query is not passed over.
MCIERROR QueryTrackLength(BYTE track, DWORD_PTR& length)
{
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_LENGTH;
    status.dwTrack = track;
    MCIERROR error = SendCommand(g_cdDeviceId, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, &status);
    length = status.dwReturn;
    return error;
}

// The device of the drive that holds the medium, named as MCI names a CD drive ("E:"), so
// that a machine with several CD drives plays ours; when the driver takes no element, the
// default CD audio device. The default open names the type only: its element name carries
// the medium's root, but without MCI_OPEN_ELEMENT the driver does not look at it.
MCIERROR OpenCdDevice(MCIDEVICEID& device)
{
    char drive[3] = {g_launcher.SourceRoot[0], g_launcher.SourceRoot[1], 0};
    MCI_OPEN_PARMSA ofDrive = {};
    ofDrive.lpstrDeviceType = "cdaudio";
    ofDrive.lpstrElementName = drive;
    if (SendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, &ofDrive) == 0) {
        device = ofDrive.wDeviceID;
        return 0;
    }
    MCI_OPEN_PARMSA byDefault = {};
    byDefault.lpstrDeviceType = "cdaudio";
    byDefault.lpstrElementName = g_launcher.SourceRoot;
    MCIERROR error = SendCommand(0, MCI_OPEN, MCI_OPEN_TYPE, &byDefault);
    if (error == 0)
        device = byDefault.wDeviceID;
    return error;
}

} // namespace

MCIERROR PlayCdTrack(HWND window, UINT track)
{
    MCIDEVICEID device = 0;
    MCIERROR error = OpenCdDevice(device);
    if (error)
        return error;
    g_cdDeviceId = device;

    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_TMSF;
    error = SendCommand(g_cdDeviceId, MCI_SET, MCI_SET_TIME_FORMAT, &set);
    if (error) {
        CloseCdDevice();
        return error;
    }

    BYTE number = static_cast<BYTE>(track);
    DWORD_PTR length = 0;
    error = QueryTrackLength(number, length);
    if (error) {
        CloseCdDevice();
        return error;
    }

    // From the track's start to its end, both in TMSF: exactly this track plays, once.
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(window);
    play.dwFrom = MCI_MAKE_TMSF(number, 0, 0, 0);
    play.dwTo = MCI_MAKE_TMSF(number, MCI_MSF_MINUTE(length), MCI_MSF_SECOND(length), MCI_MSF_FRAME(length));
    error = SendCommand(g_cdDeviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, &play);
    if (error) {
        CloseCdDevice();
        return error;
    }
    return 0;
}

// After a failed play the device is already closed; the stop and close then go to the
// closed identifier and fail harmlessly.
void StopCdAudio()
{
    if (g_cdDeviceId == kNoCdDevice)
        return;
    MCI_GENERIC_PARMS generic = {};
    SendCommand(g_cdDeviceId, MCI_STOP, 0, &generic);
    CloseCdDevice();
}
