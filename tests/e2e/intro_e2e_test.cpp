// The intro end to end: the real Vesk.exe from the sample medium plays E:\intro's films on
// the full-screen display of Wine's virtual desktop (or, in a prefix without one, scaled in
// a window), hands over to the credits crawl with its music (the sample medium, a folder, has
// no audio track: the crawl plays E:\Music's Ogg file, or its FLAC file where the Ogg file
// is missing), and returns to a launcher that still works.
#include "crawl/crawl_music_win.h"
#include "intro/film_player_win.h"
#include "intro/intro_choice_win.h"
#include "resources/resource.h"
#include "intro/intro_screen.h"
#include "smacker/smacker_decoder.h"
#include "tests/e2e/e2e_support.h"

#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr char kHighFilm[] = "E:\\intro\\intro.smk";
constexpr char kLowFilm[] = "E:\\intro\\intro320.smk";

// The screen's size as another process sees it. (Under Wine another process is told the
// desktop's colour depth, not the mode's 8 bits; the film player's own tests check those.)
struct ScreenMode {
    DWORD Width, Height;
    bool operator==(const ScreenMode&) const = default;
};

ScreenMode CurrentMode()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {mode.dmPelsWidth, mode.dmPelsHeight};
}

std::ostream& operator<<(std::ostream& out, const ScreenMode& m) { return out << m.Width << "x" << m.Height; }

// --- the crawl's music, seen from outside ----------------------------------------------------

constexpr char kMusicFolder[] = "E:\\Music";

// A ripped track of the medium: its file, its index among the paths the launcher looks
// for, and how it is decoded. Whether the launcher holds the file open is tried only while
// the crawl runs or before it starts its music, never taking the file from under the crawl's.
struct MusicTrack {
    const char* Path;
    int Index;
    MusicKind Kind;
};
constexpr MusicTrack kOggTrack = {"E:\\Music\\Track02.ogg", 0, MusicKind::Vorbis};
constexpr MusicTrack kFlacTrack = {"E:\\Music\\Track02.flac", 1, MusicKind::Flac};

// Seconds of a tone as FLAC, 16 bits at 22,050 Hz, made by libFLAC's encoder.
std::string FlacTone(unsigned channels, unsigned seconds)
{
    std::string out;
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, channels);
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, 22050);
    auto write = [](const FLAC__StreamEncoder*, const FLAC__byte bytes[], size_t size, uint32_t, uint32_t, void* to) {
        static_cast<std::string*>(to)->append(reinterpret_cast<const char*>(bytes), size);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    };
    FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, nullptr, &out);
    std::vector<FLAC__int32> second(22050 * channels);
    for (std::size_t i = 0; i < second.size(); ++i)
        second[i] = FLAC__int32(8000 * std::sin(double(i / channels) * 0.0627));
    for (unsigned s = 0; s < seconds; ++s)
        FLAC__stream_encoder_process_interleaved(encoder, second.data(), 22050);
    FLAC__stream_encoder_finish(encoder);
    FLAC__stream_encoder_delete(encoder);
    return out;
}

// The offset of a symbol from the image's base, taken from the symbol table that MinGW's
// linker leaves in the program (i686 names carry a leading underscore); 0 when not found.
std::uintptr_t SymbolOffset(const std::string& image, const char* name)
{
    const char* base = image.data();
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return 0;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_FILE_HEADER& file = nt->FileHeader;
    const auto* symbols = reinterpret_cast<const IMAGE_SYMBOL*>(base + file.PointerToSymbolTable);
    const char* strings = reinterpret_cast<const char*>(symbols + file.NumberOfSymbols);
    if (nt->Signature != IMAGE_NT_SIGNATURE || file.PointerToSymbolTable == 0 || strings > base + image.size())
        return 0;
    for (DWORD i = 0; i < file.NumberOfSymbols; i += 1 + symbols[i].NumberOfAuxSymbols) {
        const IMAGE_SYMBOL& s = symbols[i];
        const char* shortName = reinterpret_cast<const char*>(s.N.ShortName);
        std::string symbol = s.N.Name.Short ? std::string(shortName, strnlen(shortName, 8)) : strings + s.N.Name.Long;
        if ((symbol == name || symbol == std::string("_") + name) && s.SectionNumber >= 1
            && s.SectionNumber <= file.NumberOfSections)
            return IMAGE_FIRST_SECTION(nt)[s.SectionNumber - 1].VirtualAddress + s.Value;
    }
    return 0;
}

// A record of the running launcher's, copied out of its memory; zeroed where it cannot be read.
template <class Record> Record ReadRemote(HANDLE process, std::uintptr_t address)
{
    Record record;
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(address), &record, sizeof record, nullptr))
        std::memset(static_cast<void*>(&record), 0, sizeof record);
    return record;
}

// Where the running program's image lies: its process environment block says, in the
// field that follows the one the headers name Reserved3[0].
std::uintptr_t ImageBase(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return 0;
    return std::uintptr_t(ReadRemote<PEB>(process, std::uintptr_t(basic.PebBaseAddress)).Reserved3[1]);
}

// One of the launcher's process-wide records, found through its symbol, read as it is now.
template <class Record, const char* Symbol> struct RemoteRecord {
    HANDLE Process = nullptr;
    std::uintptr_t Address = 0;

    bool Find(HANDLE process)
    {
        Process = process;
        std::uintptr_t offset = SymbolOffset(ReadWholeFile(kLauncher), Symbol), base = ImageBase(process);
        Address = offset && base ? base + offset : 0;
        return Address != 0;
    }
    Record Read() const { return ReadRemote<Record>(Process, Address); }
};

// The launcher's own record of the crawl's music: which file plays, the decoder's state,
// the sound buffer and how far it has been filled.
constexpr char kMusicRecord[] = "g_crawlMusic", kFilmRecord[] = "g_film";
using MusicView = RemoteRecord<CrawlMusic, kMusicRecord>;

// The film player's record, and through it whether the film's frames move on.
struct FilmView : RemoteRecord<FilmPlayer, kFilmRecord> {
    long long Frame() const
    {
        FilmPlayer player = Read();
        return player.Film ? ReadRemote<SmackFilm>(Process, std::uintptr_t(player.Film)).CurrentFrame : -1;
    }
    bool Advances() const
    {
        long long now = Frame();
        return now >= 0 && ui::WaitUntil([&] { return Frame() > now; }, 3000);
    }
};

// The music's refills seen in the launcher's record: the write offset of its ring moves on
// as the sound card plays and the crawl's loop decodes more of the file.
bool MusicRefilled(const MusicView& view)
{
    DWORD first = view.Read().WriteOffset;
    return ui::WaitUntil([&] { return view.Read().WriteOffset != first; }, 2000);
}

// Nothing plays: no file, no sound buffer.
void ExpectNoMusic(const MusicView& view, const char* when)
{
    CrawlMusic now = view.Read();
    EXPECT_EQ(-1, now.FileIndex) << when;
    EXPECT_EQ(nullptr, now.Buffer) << when;
    EXPECT_EQ(nullptr, now.Stream.File) << when;
}

// The whole screen as this process reads it back, 0x00RRGGBB a pixel.
struct ScreenPixels {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const { return Pixels[std::size_t(y) * Width + x]; }
};

ScreenPixels CaptureScreen()
{
    ScreenPixels shot = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), {}};
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, shot.Width, -shot.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ before = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.Width, shot.Height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    shot.Pixels.assign(pixels, pixels + std::size_t(shot.Width) * shot.Height);
    for (std::uint32_t& p : shot.Pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, before);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

// Where a film's picture is expected on the screen: the picture's size, its factor and its
// top-left corner on the screen.
struct ScreenPlace {
    int Width, Height, Scale, X, Y;
};

// A grid of 8 x 6 points of the picture, each in the middle of its cell, and the colours they
// show in one frame of the film (through that frame's palette; -1 where the point holds a
// colour the system keeps).
constexpr int kGridColumns = 8, kGridRows = 6, kGridPoints = kGridColumns * kGridRows;
using FilmFrameSamples = std::array<int, kGridPoints>;

POINT GridPoint(int width, int height, int i)
{
    return {(2 * (i % kGridColumns) + 1) * width / (2 * kGridColumns),
            (2 * (i / kGridColumns) + 1) * height / (2 * kGridRows)};
}

// Decodes the film with our own decoder and keeps the grid's colours of every frame; and how
// long the film runs (frame rate: positive, milliseconds a frame; negative, tens of
// microseconds; zero, ten frames a second).
std::vector<FilmFrameSamples> SampleFilm(const char* path, DWORD& length)
{
    std::vector<FilmFrameSamples> frames;
    SmkFilm film;
    if (!SmkOpenFile(film, path, 0))
        return frames;
    const std::int32_t rate = film.Header.FrameRate;
    length = DWORD(film.Header.Frames * (rate > 0 ? rate : rate < 0 ? -rate / 100.0 : 100.0));
    for (std::uint32_t r = 0; r < film.Header.Frames; ++r) {
        if (!SmkDecodeFrame(film, r))
            continue;
        FilmFrameSamples& samples = frames.emplace_back();
        for (int i = 0; i < kGridPoints; ++i) {
            POINT p = GridPoint(int(film.Header.Width), int(film.Header.Height), i);
            int index = film.Picture[std::size_t(p.y) * film.Header.Width + p.x];
            const std::uint8_t* rgb = film.Palette + 3 * index;
            bool filmColour = index >= kFirstFilmColour && index <= kLastFilmColour;
            samples[i] = filmColour ? int(rgb[0] << 16 | rgb[1] << 8 | rgb[2]) : -1;
        }
    }
    return frames;
}

// Some frame of the film is on the screen: each grid point's block, all of it, shows the
// point's colour, at the expected scale and place.
void ExpectAFilmFrame(const ScreenPixels& screen, const std::vector<FilmFrameSamples>& frames, ScreenPlace place)
{
    auto alike = [](std::uint32_t a, std::uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2)
                return false;
        return true;
    };
    int bestMatches = -1, compared = 0;
    std::size_t bestFrame = 0;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        int matches = 0, points = 0;
        for (int i = 0; i < kGridPoints; ++i) {
            if (frames[f][i] < 0)
                continue;
            ++points;
            POINT p = GridPoint(place.Width, place.Height, i);
            bool block = true;
            for (int dy = 0; dy < place.Scale && block; ++dy)
                for (int dx = 0; dx < place.Scale && block; ++dx)
                    block = alike(screen.At(place.X + p.x * place.Scale + dx, place.Y + p.y * place.Scale + dy),
                                 std::uint32_t(frames[f][i]));
            matches += block;
        }
        if (bestMatches < 0 || matches - points > bestMatches - compared) {
            bestMatches = matches;
            compared = points;
            bestFrame = f;
        }
    }
    EXPECT_GE(compared, kGridPoints / 2) << "too few points in the film's own colours";
    EXPECT_EQ(compared, bestMatches) << "no frame of the film is on the screen; the closest, frame " << bestFrame
                                     << ", matches " << bestMatches << " of " << compared << " points";
}

// Outside the picture the window is black.
void ExpectBlackAround(const ScreenPixels& screen, ScreenPlace place)
{
    int width = place.Width * place.Scale, height = place.Height * place.Scale;
    const POINT around[] = {{place.X - 1, place.Y + height / 2}, {place.X + width, place.Y + height / 2},
                            {place.X + width / 2, place.Y - 1}, {place.X + width / 2, place.Y + height},
                            {0, 0}, {screen.Width - 1, screen.Height - 1}};
    for (POINT p : around)
        EXPECT_EQ(0u, screen.At(p.x, p.y)) << "at " << p.x << "," << p.y;
}

// Whether the picture changes from one look at the screen to the next.
bool PictureMoves()
{
    ScreenPixels before = CaptureScreen();
    Sleep(700);
    return !before.Pixels.empty() && before.Pixels != CaptureScreen().Pixels;
}

// The questions asked of a window, and how long each that went unanswered waited (ms).
struct Answers {
    int Asked = 0;
    std::string Late;
};

// Waits, asking the window every 20 ms whether it answers within 100 ms, as Windows asks
// before it takes a window for hung (or within `limit`), until `done`. Never while this test
// reads the screen back: the X server serves that first, and every program's drawing waits
// meanwhile; so the first question waits a moment after such a read.
void WaitAsking(HWND window, DWORD ms, Answers& answers, const std::function<bool()>& done = nullptr,
                DWORD limit = 100)
{
    Sleep(50);
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms && IsWindow(window); Sleep(20)) {
        DWORD_PTR answer = 0;
        DWORD asked = GetTickCount();
        bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, limit, &answer) != 0;
        if (!IsWindow(window)) // gone meanwhile: nothing to answer with
            break;
        ++answers.Asked;
        if (!answered)
            answers.Late.append(" ").append(std::to_string(GetTickCount() - asked));
        if (done && done())
            break;
    }
}

class Intro : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        desktop_ = CurrentMode();
        dir_ = ScratchDirectory("intro");
        WriteWholeFile(dir_ + "\\VeskMarlit.ini", kFullInstallationSettings);
        // Every case starts with the intro at full screen, whatever the last one chose.
        ForgetIntroChoice();
    }
    void TearDown() override
    {
        ui::Kill(launcher_.program);
        // A launcher ended in the middle of an intro leaves its mode for Wine to put back.
        // The next program starts once that has happened: a Wine program that starts while
        // the mode changes can write the old desktop size back.
        if (desktop_.Width)
            ui::WaitUntil([&] { return CurrentMode() == desktop_; }, 5000);
        ForgetIntroChoice();
        for (const char* hidden : {kHighFilm, kLowFilm, kMusicFolder, kOggTrack.Path})
            MoveFileA((std::string(hidden) + ".hidden").c_str(), hidden);
        Restore();
        if (!dir_.empty())
            RemoveTree(dir_);
    }
    void Start()
    {
        launcher_ = StartLauncher(kLauncher, dir_.c_str());
        ASSERT_NE(nullptr, launcher_.dialog);
    }
    HWND WaitForFilm(DWORD timeout = kTimeout)
    {
        return ui::WaitForWindow(launcher_.program.id, kFilmTitle, kFilmClass, timeout);
    }
    // After every intro: the desktop's mode, the arrow, and a launcher that still works.
    void ExpectLauncherBack()
    {
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == desktop_; }, 5000))
            << "the desktop's mode " << desktop_ << " is back, not " << CurrentMode();
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(launcher_.program, 1000))
            << "the launcher is still running";
        EXPECT_TRUE(IsWindowVisible(launcher_.dialog));
        EXPECT_TRUE(IsWindowEnabled(launcher_.dialog)) << "held only while the intro plays";
        EXPECT_EQ(launcher_.dialog, GetForegroundWindow()) << "the launcher is in front again";
    }
    // The film window over the whole screen in the given mode; in the window, the desktop's.
    static bool Covers(HWND window, ScreenMode mode)
    {
        RECT rect = {};
        return CurrentMode() == mode && GetWindowRect(window, &rect) && rect.left <= 0 && rect.top <= 0
            && DWORD(rect.right) >= mode.Width && DWORD(rect.bottom) >= mode.Height;
    }
    bool Windowed(HWND window) const { return Covers(window, desktop_); }
    // Alt+Enter to the window and back to the mode: each time the display changes, the film
    // or the crawl goes on on it (the film's frames advance, the crawl's picture moves). A
    // switch holds the window for the mode change, never for a second.
    void SwitchBothWays(HWND window, ScreenMode mode, const FilmView& film, bool crawl)
    {
        auto goesOn = [&] { return crawl ? PictureMoves() : film.Advances(); };
        Answers answers;
        ui::PressWithAlt(VK_RETURN);
        WaitAsking(window, 5000, answers, [&] { return Windowed(window); }, 1000);
        EXPECT_TRUE(Windowed(window)) << "Alt+Enter: in a window, " << CurrentMode();
        EXPECT_TRUE(goesOn()) << "the intro goes on in the window";
        ui::PressWithAlt(VK_RETURN);
        WaitAsking(window, 5000, answers, [&] { return CurrentMode() == mode; }, 1000);
        EXPECT_EQ(mode, CurrentMode()) << "Alt+Enter: back in the mode";
        EXPECT_TRUE(goesOn()) << "the intro goes on at full screen";
        EXPECT_EQ("", answers.Late) << "unanswered of " << answers.Asked << " (waited, ms)";
    }
    // Away to another program (Alt+Tab, or the intro minimised) and back by the launcher's
    // taskbar button: away, the desktop has its mode; back, the held launcher hands the front
    // to the intro, on its mode again.
    void AwayAndBack(HWND window, ScreenMode mode, bool minimise, const MusicView* music)
    {
        HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                                     nullptr, nullptr);
        if (minimise)
            PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        else
            SetForegroundWindow(other);
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == desktop_; }, 5000)) << "away: " << CurrentMode();
        EXPECT_FALSE(IsWindowEnabled(launcher_.dialog)) << "the launcher is held";
        EXPECT_TRUE(!music || MusicRefilled(*music)) << "the crawl goes on while the player is away";
        SetForegroundWindow(launcher_.dialog);
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == mode && GetForegroundWindow() == window; }, 5000))
            << "back: " << CurrentMode();
        DestroyWindow(other);
    }
    // Plays the intro of one button to its end. At full screen: the film in its mode, the crawl
    // after its last frame with the track's music, ended by a key. With switching, Alt+Enter
    // takes the intro to the window and back, mid-film and mid-crawl, and the crawl is ended
    // by Alt+F4; otherwise the player goes away and comes back, mid-film by Alt+Tab and
    // mid-crawl by minimising the intro, and ends it by Escape. In the window (a place given,
    // the mode the desktop's): Alt+Enter finds no mode to go to, a click on the held launcher
    // starts nothing, the intro is minimised and back, and the film window answers at every
    // moment. Either way a frame of the film is on the screen at its place mid-film.
    void PlayToTheEnd(int button, const char* film, ScreenMode mode, const char* filmShot, const char* crawlShot,
                      const MusicTrack* track, bool switching = false, DWORD escapeMs = 500,
                      const ScreenPlace* place = nullptr)
    {
        DWORD length = 0;
        const std::vector<FilmFrameSamples> frames = SampleFilm(film, length);
        ASSERT_GT(frames.size(), 10u) << film;
        ui::Click(launcher_.dialog, button);
        HWND window = WaitForFilm();
        ASSERT_NE(nullptr, window);
        const DWORD start = GetTickCount();
        // The window is made before the display decides how to show the film.
        EXPECT_TRUE(ui::WaitUntil([&] { return Covers(window, mode); }, 5000)) << "on the screen in " << CurrentMode();
        MusicView music;
        FilmView filmView;
        ASSERT_TRUE(music.Find(launcher_.program.process) && filmView.Find(launcher_.program.process));
        // Waits until the given time into the intro; in the window, asking it all the while.
        Answers answers;
        auto waitUntil = [&](DWORD ms) {
            DWORD elapsed = GetTickCount() - start, rest = ms > elapsed ? ms - elapsed : 0;
            place ? WaitAsking(window, rest, answers) : Sleep(rest);
        };
        EXPECT_TRUE(ui::WaitUntil([&] { return filmView.Frame() >= 1; }, 5000));
        waitUntil(length / 3);
        if (place) {
            ui::PressWithAlt(VK_RETURN);
            EXPECT_TRUE(filmView.Advances()) << "Alt+Enter with no mode to go to changes nothing";
            EXPECT_FALSE(IntroWindowChosen());
            EXPECT_TRUE(Covers(window, mode));
            // The launcher is held: brought over the film, a click on its button starts nothing.
            SetWindowPos(launcher_.dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            ui::Click(launcher_.dialog, button);
            SetWindowPos(launcher_.dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            WaitAsking(window, 500, answers);
            HWND first = FindWindowExA(nullptr, nullptr, kFilmClass, nullptr);
            EXPECT_EQ(nullptr, FindWindowExA(nullptr, first, kFilmClass, nullptr)) << "a second film window";
        }
        if (switching) {
            SwitchBothWays(window, mode, filmView, false);
        } else {
            AwayAndBack(window, mode, place, nullptr);
            EXPECT_TRUE(filmView.Advances()) << "the film goes on";
        }
        waitUntil(std::max(length / 2, GetTickCount() - start + 300));
        ScreenPixels screen = CaptureScreen();
        EXPECT_TRUE(IsWindow(window)) << "the film is still running";
        EXPECT_TRUE(ui::Screenshot(filmShot));
        ExpectAFilmFrame(screen, frames, place ? *place : ScreenPlace{int(mode.Width), int(mode.Height), 1, 0, 0});
        if (place)
            ExpectBlackAround(screen, *place);
        EXPECT_TRUE(!track || !test::FileHeld(track->Path)) << "no music during the film";
        ExpectNoMusic(music, "during the film");
        // Past the last frame the crawl runs over it with its music (or in silence where the
        // medium has none), and the film window stays meanwhile. The medium has no track 2
        // the drive could play: its file plays, read bit by bit. The film may lag behind its
        // clock under Wine: the crawl's start is awaited in the launcher's record.
        waitUntil(length);
        if (track) {
            ASSERT_TRUE(ui::WaitUntil([&] { return music.Read().FileIndex != -1 && music.Read().Buffer; }, 8000))
                << "music after the film, in a sound buffer";
            EXPECT_TRUE(test::FileHeld(track->Path)) << track->Path << " is open while the crawl runs";
            EXPECT_EQ(track->Index, music.Read().FileIndex) << track->Path << ", the first there of the files looked for";
            EXPECT_EQ(track->Kind, music.Read().Stream.Kind);
            EXPECT_TRUE(MusicRefilled(music)) << "the buffer is refilled from the file as it plays";
        } else {
            ExpectNoMusic(music, "nor a drive that plays track 2: the crawl runs in silence");
        }
        // Five seconds in, its first lines have come up the screen, and they rise: a film
        // player frozen on its last frame would pass all else.
        waitUntil(length + 5000);
        ASSERT_TRUE(IsWindow(window)) << "the crawl follows the last frame";
        EXPECT_EQ(mode, CurrentMode());
        const ScreenPixels before = CaptureScreen();
        auto moved = [&] {
            waitUntil(GetTickCount() - start + 500);
            screen = CaptureScreen();
            return screen.Pixels != before.Pixels;
        };
        EXPECT_TRUE(ui::WaitUntil(moved, 3000)) << "the crawl's text rises";
        EXPECT_TRUE(ui::Screenshot(crawlShot)); // after the questions: the X server serves it first
        if (place) {
            ExpectBlackAround(screen, *place);
            EXPECT_EQ("", answers.Late) << "unanswered of " << answers.Asked << " (waited, ms)";
            EXPECT_GT(answers.Asked, 20) << "asked throughout the film and the crawl";
        } else if (switching) {
            SwitchBothWays(window, mode, filmView, true);
            EXPECT_TRUE(MusicRefilled(music)) << "the music plays on";
        } else {
            AwayAndBack(window, mode, true, &music);
            EXPECT_TRUE(PictureMoves()) << "the crawl goes on";
        }
        // Escape ends the crawl, and the music with it: the file is let go within a few of the
        // crawl's passes, before the film window goes. Alt+F4 (its window's Close) too.
        if (track) {
            DWORD pressed = GetTickCount();
            switching ? ui::PressWithAlt(VK_F4) : ui::KeyDown(VK_ESCAPE);
            EXPECT_TRUE(ui::WaitUntil([&] { return !test::FileHeld(track->Path); }, 5000)) << "the file is released";
            EXPECT_LT(GetTickCount() - pressed, escapeMs) << "milliseconds from the key to the file's release";
            EXPECT_TRUE(ui::WaitForWindowGone(window, kTimeout)) << "the film window goes after the crawl";
            ui::KeyUp(VK_ESCAPE);
            ExpectNoMusic(music, "after the crawl");
        } else {
            EXPECT_TRUE(EscapeUntilGone(window));
        }
        ExpectLauncherBack();
    }
    // Puts bytes in place of a file of the medium until the test ends.
    void Replace(const std::string& path, const std::string& bytes)
    {
        if (!originals_.count(path))
            originals_[path] = ReadWholeFile(path);
        WriteWholeFile(path, bytes);
    }
    void Restore()
    {
        for (const auto& [path, bytes] : originals_)
            WriteWholeFile(path, bytes);
    }
    Launcher launcher_;
    std::string dir_;
    ScreenMode desktop_{};
    std::map<std::string, std::string> originals_;
};

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

} // namespace

// Both intros in one launcher. The high-resolution one switched by Alt+Enter on the way,
// with the Ogg file's music; then the medium's Ogg file is missing, and its FLAC file is a
// cat of two rips, a second in stereo and then mono: it plays on in stereo, and Escape ends
// the low-resolution crawl at once.
TEST_F(Intro, BothIntrosPlayInTheirModesThenTheCrawlWithItsMusicThenTheDesktop)
{
    Start();
    PlayToTheEnd(IDC_INTRO_HIGH, kHighFilm, {640, 480}, "film-640x480", "intro-crawl-640x480", &kOggTrack, true);
    ASSERT_TRUE(MoveFileA(kOggTrack.Path, (std::string(kOggTrack.Path) + ".hidden").c_str()));
    Replace(kFlacTrack.Path, FlacTone(2, 1) + FlacTone(1, 60));
    PlayToTheEnd(IDC_INTRO_LOW, kLowFilm, {320, 240}, "film-320x240", "intro-crawl-320x240", &kFlacTrack, false, 200);
    EXPECT_EQ(1u, Close(launcher_));
}

// Intro after intro in one run, each starting on the display the last one was switched to
// or the window menu chose: full screen, switched to the window; the next in the window,
// switched back and closed from the taskbar (no crawl follows); the next at full screen,
// where Alt+Enter held down (five repeats) switches once and three quick presses after it
// leave it on a whole display; the next in the window that the menu chose.
TEST_F(Intro, EachIntroStartsOnTheDisplayLastChosen)
{
    Start();
    const struct {
        int Button;
        bool InWindow; // where it starts
        int Presses;   // Alt+Enter while it plays; more than one: the first held down
    } steps[] = {{IDC_INTRO_HIGH, false, 1}, {IDC_INTRO_LOW, true, 1}, {IDC_INTRO_HIGH, false, 4}, {IDC_INTRO_LOW, true, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Button == IDC_INTRO_HIGH ? "Intro HIRES" : "Intro LORES");
        if (step.Presses == 0) { // the window menu from the keyboard, its item by its mnemonic
            ui::ClickWindow(launcher_.dialog);
            ui::PressWithAlt(VK_SPACE);
            Sleep(500);
            ui::PressKey('F'); // the intro then starts in the window: the menu chose it
        }
        ui::Click(launcher_.dialog, step.Button);
        HWND window = WaitForFilm();
        ASSERT_NE(nullptr, window);
        ScreenMode mode = step.Button == IDC_INTRO_HIGH ? ScreenMode{640, 480} : ScreenMode{320, 240};
        auto on = [&](bool inWindow) { return inWindow ? Windowed(window) : CurrentMode() == mode; };
        EXPECT_TRUE(ui::WaitUntil([&] { return on(step.InWindow); }, 5000)) << CurrentMode();
        Sleep(800);
        if (step.Presses > 1) { // held down, as the keyboard repeats it
            ui::KeyDown(VK_MENU);
            for (int repeat = 0; repeat < 6; ++repeat, Sleep(30))
                ui::KeyDown(VK_RETURN);
            ui::KeyUp(VK_RETURN);
            ui::KeyUp(VK_MENU);
        }
        for (int press = step.Presses > 1; press < step.Presses; ++press)
            ui::PressWithAlt(VK_RETURN);
        bool inWindow = step.InWindow != (step.Presses % 2 == 1);
        EXPECT_TRUE(ui::WaitUntil([&] { return on(inWindow); }, 5000)) << "after " << step.Presses << " Alt+Enter";
        EXPECT_TRUE(ui::WaitUntil([&] { return IntroWindowChosen() == inWindow; }, 2000)) << "remembered";
        EXPECT_TRUE(PictureMoves()) << "the intro goes on";
        const bool close = step.Presses == 1 && step.InWindow; // the taskbar's "Close window"
        if (close)
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(close ? ui::WaitForWindowGone(window, 1000) : EscapeFilmAndCrawl(window));
        ExpectLauncherBack();
    }
    EXPECT_EQ(1u, Close(launcher_));
}

// Each file in turn damaged or hostile, with the intro that reads it played and ended by
// Escape: the launcher survives every one, the desktop's mode comes back, and the dialog
// still answers and closes as it should.
TEST_F(Intro, DamagedOrHostileMediumFilesLeaveTheLauncherWorking)
{
    const std::string high = ReadWholeFile(kHighFilm), text = ReadWholeFile("E:\\intro.txt"),
                      font = ReadWholeFile("E:\\ALPHABET.DAT");
    ASSERT_GT(high.size(), 104u);
    ASSERT_FALSE(text.empty());
    ASSERT_GT(font.size(), 1000u);
    // The high-resolution film claiming 32,768 rows, shown twice as high.
    std::string tall = high;
    tall.replace(8, 4, std::string("\0\x80\0\0", 4));
    tall[20] |= 4;
    std::string marks;
    while (marks.size() < (1u << 20))
        marks += "*A";
    const struct {
        const char* what;
        std::string path, bytes;
        int button;
    } files[] = {
        {"an empty film, as good as none", kHighFilm, "", IDC_INTRO_HIGH},
        {"a film cut in half", kHighFilm, high.substr(0, high.size() / 2), IDC_INTRO_HIGH},
        {"a film of 65,536 rows", kHighFilm, tall, IDC_INTRO_HIGH},
        {"the 640x480 film as the 320x240 one", kLowFilm, high, IDC_INTRO_LOW},
        {"a text of one 1 MiB line of centring marks", "E:\\intro.txt", marks + "\r\n", IDC_INTRO_HIGH},
        {"a text of random bytes", "E:\\intro.txt", RandomBytes(256 * 1024, 11), IDC_INTRO_LOW},
        {"a font cut short", "E:\\ALPHABET.DAT", font.substr(0, 1000), IDC_INTRO_LOW},
        {"a font of random bytes", "E:\\ALPHABET.DAT", RandomBytes(font.size(), 12), IDC_INTRO_HIGH},
    };
    Start();
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        Replace(f.path, f.bytes);
        ui::Click(launcher_.dialog, f.button);
        // A film that does not open shows no window at all. The intro is ended however far it
        // got: Escape held down for the film and the crawl, and any box of the crawl's answered
        // (in the 320x240 mode by its command: its button may lie off the screen).
        HWND film = WaitForFilm(5000);
        Sleep(film ? 700 : 0);
        for (DWORD start = GetTickCount(); IsWindow(film) && GetTickCount() - start < kTimeout;) {
            if (HWND box = ui::WaitForWindowWithText(launcher_.program.id, "Error reading:", 0)) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
                Sleep(200);
            } else {
                EscapeUntilGone(film, 500);
            }
        }
        EXPECT_FALSE(IsWindow(film)) << "the intro never ended";
        ExpectLauncherBack();
        DWORD_PTR answer = 0;
        EXPECT_NE(0, SendMessageTimeoutA(launcher_.dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
            << "the dialog answers";
        Restore();
        if (HasFatalFailure() || ui::WaitForExit(launcher_.program, 0) != static_cast<DWORD>(STILL_ACTIVE))
            return;
    }
    EXPECT_EQ(1u, Close(launcher_));
}


// Where exclusive 8-bit mode cannot be set (here: a prefix without Wine's virtual desktop,
// run by the intro's test step on a screen of 1536x1152 at 144 DPI), the same film and crawl
// play in the film window, scaled by whole factors in physical pixels and centred on the
// screen, and the desktop's mode never changes.
class IntroWithoutModes : public Intro {
protected:
    void SetUp() override
    {
        // Set by the test step that runs this program in a prefix without a virtual desktop.
        if (!GetEnvironmentVariableA("VESK_E2E_NO_DISPLAY_MODES", nullptr, 0))
            GTEST_SKIP() << "runs in the intro test step's prefix, which has no virtual desktop";
        // This program sees the screen as it is, as the launcher does, not scaled for
        // programs that know nothing of DPI. (The headers of the Windows this is built
        // for predate the call.)
        using SetAware = BOOL(WINAPI*)();
        if (auto aware = reinterpret_cast<SetAware>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))))
            aware();
        Intro::SetUp();
    }
};

// Both intros in one launcher, one after the other: the launcher works after the first. The
// second finds no music folder on the medium.
TEST_F(IntroWithoutModes, BothResolutionsPlayInTheWindowAtWholeFactorsCentredThenTheCrawl)
{
    Start();
    // The launcher at 144 DPI: its dialog and buttons drawn at one and a half times the size.
    EXPECT_TRUE(ui::Screenshot("launcher-144dpi"));
    ASSERT_EQ((ScreenMode{1536, 1152}), desktop_) << "the expected places are for the test display";
    const ScreenPlace high = {640, 480, 2, 128, 96}, low = {320, 240, 4, 128, 96};
    PlayToTheEnd(IDC_INTRO_HIGH, kHighFilm, desktop_, "windowed-film-640x480", "windowed-crawl-640x480", &kOggTrack,
                 false, 500, &high);
    ASSERT_TRUE(MoveFileA(kMusicFolder, (std::string(kMusicFolder) + ".hidden").c_str()));
    PlayToTheEnd(IDC_INTRO_LOW, kLowFilm, desktop_, "windowed-film-320x240", "windowed-crawl-320x240", nullptr, false,
                 500, &low);
    EXPECT_EQ(1u, Close(launcher_));
}
