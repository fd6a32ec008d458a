// paintart: paints the launcher's artwork and the card backs of the sample medium.
//
//   paintart resources DIR [--fonts FOLDER]
//       writes DIR/background.bmp (504 x 666, 8 bits), DIR/button.bmp (80 x 39, 4 bits)
//       and DIR/vesk.ico (32 and 16 pixels, 256 colours and 32 bits). The repository keeps
//       these files; after changing a design, regenerate them with
//           build/host/paintart resources resources
//       from the repository's root (build/host holds the host tools after ./vesk build),
//       look at them, and commit them with the change.
//   paintart cards DIR
//       writes the card backs DIR/alpha.tga and DIR/default.tga (120 x 180, 32 bits);
//       the medium's build does this, so they are not kept in the repository.
//
// FOLDER holds the DejaVu fonts (default /usr/share/fonts/truetype/dejavu). The output is
// the same on every run: the designs use no clock and no random state.
#include "tools/art/designs.h"
#include "tools/art/formats.h"
#include "tools/art/quantise.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kDefaultFontFolder = "/usr/share/fonts/truetype/dejavu";
constexpr int kCardWidth = 120;
constexpr int kCardHeight = 180;

bool Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (art::WriteFile(path, bytes)) {
        std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        return true;
    }
    std::fprintf(stderr, "paintart: cannot write %s\n", path.c_str());
    return false;
}

std::vector<uint8_t> EncodeIndexed(const art::Picture& picture, int bitsPerPixel)
{
    const auto palette = art::MakePalette(picture, 1 << bitsPerPixel);
    return art::EncodeBmp(art::Dither(picture, palette, 1.0f), bitsPerPixel);
}

// Each size twice: with 256 colours for displays of the time, and with 32 bits and a
// smooth edge for newer ones.
std::vector<uint8_t> EncodeIcon(const art::Fonts& fonts)
{
    std::vector<art::IconImage> images;
    for (bool truecolour : {false, true}) {
        for (int size : {32, 16}) {
            const art::Picture picture = art::PaintIcon(fonts, size);
            art::IconImage image{art::ToRgba8(picture), std::nullopt};
            if (!truecolour)
                image.indexed = art::Dither(picture, art::MakePalette(picture, 256), 1.0f);
            images.push_back(std::move(image));
        }
    }
    return art::EncodeIco(images);
}

int WriteResources(const std::string& folder, const std::string& fontFolder)
{
    const art::Fonts fonts(fontFolder);
    if (!fonts.Loaded()) {
        std::fprintf(stderr, "paintart: the DejaVu fonts are missing from %s\n", fontFolder.c_str());
        return 1;
    }
    bool ok = Save(folder + "/background.bmp", EncodeIndexed(art::PaintBackground(fonts), 8));
    ok = Save(folder + "/button.bmp", EncodeIndexed(art::PaintButtonFace(), 4)) && ok;
    ok = Save(folder + "/vesk.ico", EncodeIcon(fonts)) && ok;
    return ok ? 0 : 1;
}

int WriteCards(const std::string& folder)
{
    using art::CardBackDesign;
    bool ok = Save(folder + "/alpha.tga", art::EncodeTga(art::ToRgba8(art::PaintCardBack(CardBackDesign::Alpha, kCardWidth, kCardHeight))));
    ok = Save(folder + "/default.tga", art::EncodeTga(art::ToRgba8(art::PaintCardBack(CardBackDesign::Default, kCardWidth, kCardHeight)))) && ok;
    return ok ? 0 : 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: paintart resources DIR [--fonts FOLDER]\n       paintart cards DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1], folder = argv[2];
    std::string fontFolder = kDefaultFontFolder;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fonts") == 0 && i + 1 < argc)
            fontFolder = argv[++i];
        else
            return Usage();
    }
    if (command == "resources")
        return WriteResources(folder, fontFolder);
    if (command == "cards")
        return WriteCards(folder);
    return Usage();
}
