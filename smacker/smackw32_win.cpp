// "smackw32.dll": the film record and the seven operations over the portable decoder, with
// the film's clock and its sound through DirectSound.
#include "smacker/smackw32.h"

#include "smacker/smack_sound_win.h"
#include "smacker/smacker_decoder.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace {

// Everything of an open film. The record comes first: SmackOpen hands out its address.
struct FilmState {
    SmackFilm Record{};
    SmkFilm Film;

    // SmackToBuffer's destination.
    uint8_t* Buffer = nullptr;
    int32_t Pitch = 0;
    uint32_t Left = 0, Top = 0, Rows = 0;
    uint32_t BlitFlags = 0;

    bool Drawn = false;      // the current frame's video has been decoded
    uint64_t FramesDue = 0;  // frames moved on to since the first one was drawn

    // The film's counter clock, in units of 10 microseconds: AnchorClock at the
    // performance-counter reading Anchor (and the millisecond clock's AnchorTicks). It starts
    // with the first frame drawn and is set back to the frame due when the caller held the
    // film up.
    bool ClockRunning = false;
    LARGE_INTEGER Frequency{};
    LARGE_INTEGER Anchor{};
    DWORD AnchorTicks = 0;
    int64_t AnchorClock = 0;
    int64_t FrameDuration = 0;

    int SoundTrack = -1;
    SmackSound Sound;
};

// SmackSoundUseDirectSound's choice, for the films opened afterwards.
struct SoundChoice {
    bool UseDirectSound = false;
    IDirectSound* Device = nullptr; // the caller's object, or null for one of our own
};
SoundChoice g_sound;

constexpr uint32_t kNoSoundTrack = 0xFFFFFFFF;
// A clock this far behind the frames has been held up (the caller stopped drawing): it is
// set to the current frame rather than racing through the frames it missed.
constexpr int kLateFrames = 2;

FilmState* Of(SmackFilm* film) { return film ? static_cast<FilmState*>(film->Library) : nullptr; }

// A system without a high-resolution counter reports its frequency as 0: the film then
// keeps time by the millisecond clock, whose difference is right across its wrap.
int64_t Now(const FilmState& f)
{
    if (f.Frequency.QuadPart <= 0)
        return f.AnchorClock + int64_t(DWORD(GetTickCount() - f.AnchorTicks)) * 100;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return f.AnchorClock + (now.QuadPart - f.Anchor.QuadPart) * 100000 / f.Frequency.QuadPart;
}

void SetClock(FilmState& f, int64_t clock)
{
    QueryPerformanceCounter(&f.Anchor);
    f.AnchorTicks = GetTickCount();
    f.AnchorClock = clock;
}

// The film's time. While sound plays, frames wait for the sound: the time is the sound's
// position where it lags behind the counter (a device's start-up latency, a slow clock).
// A sound position ahead of the counter is not followed, so that a device that takes sound
// faster than it plays it cannot hurry the film.
int64_t FilmClock(FilmState& f)
{
    const int64_t counter = Now(f);
    int64_t sound = 0;
    if (f.SoundTrack >= 0 && SmackSoundClock(f.Sound, &sound) && sound < counter)
        return sound;
    return counter;
}

void CopyHeader(SmackFilm& r, const SmkHeader& h)
{
    static_assert(offsetof(SmackFilm, NewPalette) == sizeof(SmkHeader), "the record begins with the header");
    std::memcpy(&r, &h, sizeof h);
    r.Height = SmkDisplayHeight(h);
}

// Reads a record: its palette into the film record, its sound into the sound buffer. The
// first frame after opening always counts as bringing new colours: before it the caller
// has none of the film's.
void ReadFrame(FilmState& f, uint32_t record, bool first)
{
    SmkRead read = SmkReadRecord(f.Film, record);
    bool applied = read == SmkRead::Ready || read == SmkRead::NoPicture;
    f.Record.FrameType = applied ? f.Film.RecordType[record] : 0;
    f.Record.NewPalette = (first || (f.Record.FrameType & 1)) ? 1 : 0;
    std::memcpy(f.Record.Palette, f.Film.Palette, sizeof f.Record.Palette);
    f.Drawn = false;
    if (f.SoundTrack >= 0) {
        const SmkTrack& t = f.Film.Tracks[f.SoundTrack];
        QueueSmackSound(f.Sound, t.Samples.get(), t.Length);
    }
}

void OpenFilmSound(FilmState& f)
{
    f.Record.SoundTrack = kNoSoundTrack;
    if (!g_sound.UseDirectSound)
        return;
    for (int k = 0; k < kSmkTracks; ++k) {
        const SmkTrack& t = f.Film.Tracks[k];
        if (!t.Wanted)
            continue;
        // Without a sound device the film plays silently, paced by the counter.
        if (OpenSmackSound(f.Sound, g_sound.Device, t.Rate, t.Channels, t.Bits)) {
            f.SoundTrack = k;
            f.Record.SoundTrack = uint32_t(k);
        }
        return;
    }
}

// Draws the picture at (Left, Top) of the destination, cut to its rows and, for a
// positive pitch, to the room right of the left edge.
void Draw(FilmState& f)
{
    const size_t bytesPerPixel = f.BlitFlags == kSmackBlit8Bit ? 1 : 2;
    if (!f.Buffer || f.Top >= f.Rows)
        return;
    SmkTarget target;
    target.Pixels = f.Buffer + std::ptrdiff_t(f.Top) * f.Pitch + std::ptrdiff_t(f.Left * bytesPerPixel);
    target.Pitch = f.Pitch;
    target.Rows = f.Rows - f.Top;
    target.BlitFlags = f.BlitFlags;
    if (f.Pitch > 0) {
        size_t row = size_t(f.Pitch) / bytesPerPixel;
        target.Columns = row > f.Left ? uint32_t(row - f.Left) : 0;
    }
    SmkBlit(f.Film, target);
}

} // namespace

extern "C" {

uint32_t SMACK_CALL SmackSoundUseDirectSound(void* directSound)
{
    if (g_sound.Device)
        g_sound.Device->Release();
    g_sound.Device = static_cast<IDirectSound*>(directSound);
    if (g_sound.Device)
        g_sound.Device->AddRef();
    g_sound.UseDirectSound = true;
    return 1;
}

SmackFilm* SMACK_CALL SmackOpen(const char* path, uint32_t flags, uint32_t extraBuffer)
{
    if (!path)
        return nullptr;
    auto* f = new (std::nothrow) FilmState;
    if (!f)
        return nullptr;
    const uint32_t tracks = (flags / kSmackTrack0) & 0x7F;
    if (!SmkOpenFile(f->Film, path, tracks)) {
        delete f;
        return nullptr;
    }
    f->Record.Library = f;
    CopyHeader(f->Record, f->Film.Header);
    f->FrameDuration = SmkFrameDuration(f->Film.Header.FrameRate);
    if (!QueryPerformanceFrequency(&f->Frequency))
        f->Frequency.QuadPart = 0;
    OpenFilmSound(*f);
    ReadFrame(*f, 0, true);
    return &f->Record;
}

uint32_t SMACK_CALL SmackWait(SmackFilm* film)
{
    FilmState* f = Of(film);
    if (!f || !f->ClockRunning)
        return 0;
    int64_t due = int64_t(f->FramesDue) * f->FrameDuration;
    return FilmClock(*f) < due ? 1 : 0;
}

void SMACK_CALL SmackToBuffer(SmackFilm* film, uint32_t left, uint32_t top, int32_t pitch,
                              uint32_t destinationHeight, void* buffer, uint32_t blitFlags)
{
    FilmState* f = Of(film);
    if (!f)
        return;
    f->Buffer = static_cast<uint8_t*>(buffer);
    f->Left = left;
    f->Top = top;
    f->Pitch = pitch;
    f->Rows = destinationHeight;
    switch (blitFlags) {
    case kSmackBlit565:
    case kSmackBlit555:
    case kSmackBlit556:
    case kSmackBlit655:
        f->BlitFlags = blitFlags;
        break;
    default: // anything else: palette indices
        f->BlitFlags = kSmackBlit8Bit;
        break;
    }
}

uint32_t SMACK_CALL SmackDoFrame(SmackFilm* film)
{
    FilmState* f = Of(film);
    if (!f)
        return 0;
    if (!f->Drawn) {
        SmkDecodeVideo(f->Film);
        f->Drawn = true;
    }
    Draw(*f);
    if (!f->ClockRunning) {
        f->ClockRunning = true;
        SetClock(*f, 0);
        if (f->SoundTrack >= 0)
            StartSmackSound(f->Sound);
    } else {
        int64_t due = int64_t(f->FramesDue) * f->FrameDuration;
        if (FilmClock(*f) > due + kLateFrames * f->FrameDuration)
            SetClock(*f, due);
    }
    return 0;
}

void SMACK_CALL SmackNextFrame(SmackFilm* film)
{
    FilmState* f = Of(film);
    if (!f)
        return;
    const SmkHeader& h = f->Film.Header;
    uint32_t record = f->Record.CurrentFrame + 1;
    if (record >= h.Frames) {
        // Round again: the ring frame, where there is one, turns the last picture into
        // frame 0 without reading the film from its start.
        f->Record.CurrentFrame = 0;
        record = (h.Flags & kSmkRingFrame) ? h.Frames : 0;
    } else {
        f->Record.CurrentFrame = record;
    }
    ++f->FramesDue;
    ReadFrame(*f, record, false);
}

void SMACK_CALL SmackClose(SmackFilm* film)
{
    FilmState* f = Of(film);
    if (!f)
        return;
    CloseSmackSound(f->Sound);
    delete f;
}
}
