// smackw32.dll as the launcher uses it, under Wine: bound by ordinal through the import
// library, and looked up by ordinal at run time; films made on the spot by our encoder.
#include "smacker/smackw32.h"
#include "tests/smacker/test_films.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

uint32_t At32(const SmackFilm* film, size_t offset)
{
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(film) + offset, 4);
    return v;
}

// Writes the bytes into the temporary folder and returns the path.
std::string WriteTemp(const char* name, const std::vector<uint8_t>& bytes)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + name;
    EXPECT_TRUE(test::WriteWholeFile(path, std::string(bytes.begin(), bytes.end()))) << path;
    return path;
}

std::string WriteFilm(const char* name, uint32_t width, uint32_t height, int32_t frameRate,
                      const std::vector<SmkEncodeFrame>& frames, const std::vector<SmkEncodeTrack>& tracks = {},
                      bool smk4 = false, uint32_t displayFlags = 0)
{
    SmkEncodeOptions o = FilmOptions(width, height);
    o.FrameRate = frameRate;
    o.Smk4 = smk4;
    o.DisplayFlags = displayFlags;
    return WriteTemp(name, EncodeFilm(o, frames, tracks));
}

// Opens the film with its sound, as the player does.
SmackFilm* OpenFilm(const std::string& path)
{
    SmackSoundUseDirectSound(nullptr);
    return SmackOpen(path.c_str(), kSmackAllTracks, kSmackAutoExtraBuffer);
}

void WaitForFrame(SmackFilm* film)
{
    DWORD waitStart = GetTickCount();
    while (SmackWait(film)) {
        ASSERT_LT(GetTickCount() - waitStart, 2000u) << "frame " << film->CurrentFrame << " never falls due";
        Sleep(1);
    }
}

// Waits for the frame, copies it out and shows it, and goes on to the next unless it is the last.
void PlayFrame(SmackFilm* film, void* buffer, uint32_t pitch, uint32_t rows, uint32_t flags, bool last)
{
    WaitForFrame(film);
    SmackToBuffer(film, 0, 0, int32_t(pitch), rows, buffer, flags);
    SmackDoFrame(film);
    if (!last)
        SmackNextFrame(film);
}

BOOL WINAPI NoPerformanceCounter(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

} // namespace

TEST(Smackw32, ExportsTheSevenOperationsByOrdinalOnlyAndPlaysEveryFrameIntoABufferWithAnOddPitch)
{
    // The import library binds the same functions that a program without it looks up by ordinal.
    HMODULE library = GetModuleHandleA("smackw32.dll");
    ASSERT_TRUE(library != nullptr);
    const std::pair<int, void*> exports[] = {
        {38, reinterpret_cast<void*>(&SmackSoundUseDirectSound)}, {14, reinterpret_cast<void*>(&SmackOpen)},
        {32, reinterpret_cast<void*>(&SmackWait)}, {23, reinterpret_cast<void*>(&SmackToBuffer)},
        {19, reinterpret_cast<void*>(&SmackDoFrame)}, {21, reinterpret_cast<void*>(&SmackNextFrame)},
        {18, reinterpret_cast<void*>(&SmackClose)}};
    for (const auto& [ordinal, function] : exports)
        EXPECT_EQ(function, reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal)))) << ordinal;
    EXPECT_TRUE(GetProcAddress(library, "SmackOpen") == nullptr);
    EXPECT_TRUE(GetProcAddress(library, "SmackOpen@12") == nullptr);
    auto frames = MakeTestFrames(64, 48, 12, 21);
    std::string path = WriteFilm("smackw32-frames.smk", 64, 48, 20, frames, {MakeTone(22050, 2, 16, true, 22050 / 4)}, true);

    SmackFilm* film = OpenFilm(path);
    ASSERT_TRUE(film != nullptr);
    EXPECT_EQ(64u, At32(film, 4));
    EXPECT_EQ(48u, At32(film, 8));
    EXPECT_EQ(12u, At32(film, 12));
    EXPECT_EQ(0u, At32(film, 884));
    // Whether a sound device was found: the pace must be the same either way.
    RecordProperty("SoundTrack", std::to_string(int32_t(film->SoundTrack)));

    const int32_t pitch = 67;
    const uint32_t rows = 50;
    std::vector<uint8_t> buffer(size_t(pitch) * rows, 0xCD);
    DWORD start = GetTickCount();
    for (uint32_t n = 0; n < 12; ++n) {
        WaitForFrame(film);
        ASSERT_EQ(n, At32(film, 884));
        if (At32(film, 104)) {
            EXPECT_EQ(0, std::memcmp(reinterpret_cast<uint8_t*>(film) + 108, frames[n].Palette, 768)) << "palette " << n;
        } else {
            EXPECT_NE(0u, n) << "frame 0 brings its colours";
        }
        SmackToBuffer(film, 1, 2, pitch, rows, buffer.data(), kSmackBlit8Bit);
        SmackDoFrame(film);
        EXPECT_EQ(n, At32(film, 884)) << "SmackDoFrame leaves the frame number alone";
        std::vector<uint8_t> expected(buffer.size(), 0xCD);
        for (uint32_t y = 0; y < 48; ++y)
            std::memcpy(&expected[size_t(y + 2) * pitch + 1], &frames[n].Pixels[size_t(y) * 64], 64);
        ASSERT_TRUE(expected == buffer) << "frame " << n << " at (1, 2) of the buffer, the rest untouched";
        if (n + 1 < 12) {
            SmackNextFrame(film);
            EXPECT_TRUE(n != 0 || SmackWait(film) != 0) << "frame 1 is not due at once";
        }
    }
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed + 20, 11u * 20u) << "eleven frame durations of 20 ms";
    SmackClose(film);
}

TEST(Smackw32, WithoutAPerformanceCounterTheFilmKeepsTimeByTheMillisecondClockAndGoesOnAtItsPaceAfterAHoldUp)
{
    HMODULE library = GetModuleHandleA("smackw32.dll");
    ASSERT_TRUE(library != nullptr);
    auto frames = MakeTestFrames(32, 32, 16, 23);
    std::string path = WriteFilm("smackw32-holdup.smk", 32, 32, 25, frames, {MakeTone(11025, 1, 8, true, 11025 * 2 / 5)});
    SmackFilm* film;
    {
        test::ImportPatch patch(library, "kernel32.dll", "QueryPerformanceFrequency", NoPerformanceCounter);
        ASSERT_TRUE(patch.Active()) << "the library asks the system for the counter's frequency";
        film = OpenFilm(path);
    }
    ASSERT_TRUE(film != nullptr);
    std::vector<uint8_t> buffer(32 * 32);
    DWORD start = GetTickCount();
    for (uint32_t n = 0; n < 16; ++n) {
        if (n == 4) {
            Sleep(500); // the caller stops drawing, as the player does while its window lacks the focus
            start = GetTickCount();
        }
        PlayFrame(film, buffer.data(), 32, 32, kSmackBlit8Bit, n == 15);
        EXPECT_TRUE(buffer == frames[n].Pixels) << "frame " << n;
    }
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed + 20, 9u * 25u) << "the twelve frames after the hold-up take their time";
    EXPECT_LT(elapsed, 1500u) << "at the pace of 25 ms a frame";
    EXPECT_EQ(15u, film->CurrentFrame);
    SmackClose(film);
}

TEST(Smackw32, DoubledFilmsShowTwiceAsHighAndLoopNonFilmsDoNotOpenAndTheFirstFrameAlwaysBringsItsPalette)
{
    auto frames = MakeTestFrames(32, 16, 3, 22);
    std::string path = WriteFilm("smackw32-doubled.smk", 32, 16, 10, frames, {}, false, kSmkYDoubled);
    SmackFilm* film = OpenFilm(path);
    ASSERT_TRUE(film != nullptr);
    EXPECT_EQ(32u, film->Height) << "a Y-doubled film is shown twice as high";
    EXPECT_EQ(3u, film->Frames);
    std::vector<uint16_t> buffer(32 * 32, 0xABCD);
    for (uint32_t n = 0; n < 3; ++n)
        PlayFrame(film, buffer.data(), 64, 32, kSmackBlit565, n == 2);
    EXPECT_EQ(2u, film->CurrentFrame);
    const uint8_t index = frames[2].Pixels[0];
    const uint8_t* rgb = frames[2].Palette + 3 * index;
    uint16_t expected = uint16_t((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3);
    EXPECT_EQ(expected, buffer[0]);
    EXPECT_EQ(expected, buffer[32]) << "row 0 repeats in row 1";
    SmackNextFrame(film);
    EXPECT_EQ(0u, film->CurrentFrame) << "after the last frame the film starts again";
    SmackClose(film);
    SmackClose(nullptr);

    EXPECT_TRUE(OpenFilm("Z:\\no\\such\\film.smk") == nullptr);
    const char garbage[] = "SMK2 but nothing else that a film needs";
    path = WriteTemp("smackw32-garbage.smk", std::vector<uint8_t>(garbage, garbage + sizeof garbage - 1));
    EXPECT_TRUE(OpenFilm(path) == nullptr);
    EXPECT_TRUE(SmackOpen(nullptr, 0, 0) == nullptr);

    film = OpenFilm(WriteTemp("smackw32-no-palette.smk", CacheMarkerFilm()));
    ASSERT_TRUE(film != nullptr);
    EXPECT_EQ(1u, film->NewPalette);
    SmackClose(film);
}

TEST(Smackw32, ThePlayersIntroFilmsOpenFromTheMedium)
{
    REQUIRE_SAMPLE_MEDIUM();
    for (const char* name : {"E:\\intro\\intro.smk", "E:\\intro\\intro320.smk"}) {
        SCOPED_TRACE(name);
        SmackFilm* film = OpenFilm(name);
        ASSERT_TRUE(film != nullptr);
        EXPECT_EQ(std::strstr(name, "320") ? 240u : 480u, At32(film, 8));
        EXPECT_GE(At32(film, 12), 60u) << "at least six seconds";
        EXPECT_NE(0u, At32(film, 104));
        std::vector<uint8_t> buffer(size_t(film->Width) * film->Height);
        int paletteChanges = 0;
        for (uint32_t n = 0; n < film->Frames; ++n) {
            paletteChanges += n > 0 && film->NewPalette;
            SmackToBuffer(film, 0, 0, int32_t(film->Width), film->Height, buffer.data(), kSmackBlit8Bit);
            SmackDoFrame(film);
            if (n + 1 < film->Frames)
                SmackNextFrame(film);
        }
        EXPECT_EQ(film->Frames - 1, At32(film, 884));
        EXPECT_GE(paletteChanges, 1) << "the colours change during the film";
        // The credits run in grey and white over the last frame: a dark picture within the
        // entries 10 to 245, in shades the film's own colours offer: neutral greys up to the
        // crawl's brightest.
        double light = 0;
        for (uint8_t p : buffer) {
            ASSERT_TRUE(p >= 10 && p <= 245) << "the films keep to the palette entries 10 to 245";
            light += 0.3 * film->Palette[3 * p] + 0.59 * film->Palette[3 * p + 1] + 0.11 * film->Palette[3 * p + 2];
        }
        EXPECT_LT(light / double(buffer.size()), 40.0);
        for (int level = 16; level <= 192; level += 16) {
            const uint8_t* rgb = film->Palette + 30;
            while (rgb < film->Palette + 3 * 246 && !(std::abs(rgb[0] - level) <= 8 && rgb[0] == rgb[1] && rgb[1] == rgb[2]))
                rgb += 3;
            EXPECT_LT(rgb, film->Palette + 3 * 246) << "no grey near " << level;
        }
        SmackClose(film);
    }
}
