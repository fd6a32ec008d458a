// libFuzzer target: hostile texts and fonts through the loaders, then every scroll position
// of the text drawn at both widths into compose buffers of exactly the screen's size, so
// that AddressSanitizer catches any store outside them.
//
// Input: byte 0 chooses how the font arrives (bit 0: the file ends after the patch, a short
// font; bit 1: the table held zeros before, else a sound font); bytes 1-2 give the text's
// length (at most kMaxText); then the text; the rest patches the sound font at an offset
// taken from its first two bytes.
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"
#include "tests/support/native_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kMaxText = 96;

std::vector<std::uint8_t> SoundFont()
{
    std::vector<std::uint8_t> font(kGlyphFontBytes, 0);
    for (int code = 0; code < kGlyphCount; ++code) {
        int width = 11 + code % 20;
        for (int s = 0; s < kGlyphScanlines; ++s) {
            std::uint8_t* r = &font[code * kGlyphBytes + s * kScanlineBytes];
            int lead = s % 3, ink1 = 1 + (code + s) % 4, ink2 = 1 + code % 3;
            r[0] = static_cast<std::uint8_t>(lead);
            r[1] = static_cast<std::uint8_t>(ink1);
            r[2] = 1;
            r[3] = static_cast<std::uint8_t>(ink2);
            r[4] = static_cast<std::uint8_t>(width - lead - ink1 - 1 - ink2);
            r[5] = kScanlineEnd;
            r[kScanlineWidthByte] = static_cast<std::uint8_t>(width);
        }
    }
    return font;
}

std::string FilePath(const char* name)
{
    return test::FuzzFilePath("crawl-fuzz") + "-" + name;
}

void DrawEveryPosition(std::int32_t lines, const DisplayColour* palette)
{
    for (int width : {640, 320}) {
        int height = width * 3 / 4;
        std::vector<std::uint8_t> compose(static_cast<std::size_t>(width) * height, 0);
        g_crawlCanvas = {compose.data(), width, height};
        // The font file is read again for each width, as each crawl does.
        BuildCrawlTablesForScreen(width, height, FilePath("font").c_str(), palette);
        for (std::int32_t scroll = -2; scroll <= 28 * lines + 2; ++scroll)
            DrawCrawlRows(0, 0, scroll);
        for (std::int32_t scroll : {INT32_MIN, INT32_MIN + 1000, INT32_MAX - 5, INT32_MAX})
            DrawCrawlRows(0, 0, scroll);
        g_crawlCanvas = {};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<std::uint8_t> sound = SoundFont();
    if (size < 3)
        return 0;
    std::uint8_t mode = data[0];
    std::size_t textLength = std::min<std::size_t>({static_cast<std::size_t>(data[1] | data[2] << 8), size - 3, kMaxText});
    const std::uint8_t* text = data + 3;
    const std::uint8_t* patch = text + textLength;
    std::size_t patchLength = size - 3 - textLength;

    std::vector<std::uint8_t> font = sound;
    std::size_t offset = 0;
    if (patchLength >= 2) {
        offset = (static_cast<std::size_t>(patch[0] << 8 | patch[1]) * 7) % kGlyphFontBytes;
        patch += 2;
        patchLength -= 2;
    }
    std::size_t patched = std::min(patchLength, kGlyphFontBytes - offset);
    std::memcpy(font.data() + offset, patch, patched);
    test::WriteFuzzFile(FilePath("font"), font.data(), mode & 1 ? offset + patched : font.size());
    test::WriteFuzzFile(FilePath("text"), text, textLength);

    std::int32_t lines = LoadCrawlText(FilePath("text").c_str());
    if (mode & 2)
        std::memset(g_glyphFont, 0, sizeof g_glyphFont);
    else
        std::memcpy(g_glyphFont, sound.data(), sizeof g_glyphFont);
    DisplayColour palette[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i)
        palette[i] = {static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i ^ mode), 0};
    DrawEveryPosition(lines, palette);
    FreeCrawlText();
    return 0;
}
