// libFuzzer target: any bytes as a film. Opening must fail cleanly or succeed; then every
// record is read with all sound tracks, its picture decoded and copied out, at 8 and 16 bits.
#include "smacker/smacker_decoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SmkFilm film;
    if (!SmkOpenMemory(film, data, size, 0x7F))
        return 0;
    const SmkHeader& h = film.Header;
    // Keep one input's work bounded: a huge picture decoded thousands of times is slow, not
    // wrong.
    const uint64_t pixels = uint64_t(h.Width) * SmkDisplayHeight(h);
    const uint64_t budget = uint64_t(1) << 28;
    // The copy goes into a window of at most 512 x 512 pixels, cut as a display would.
    constexpr uint32_t kSide = 512;
    std::vector<uint8_t> target(size_t(kSide) * kSide * 2);
    for (uint32_t r = 0; r < film.Records && uint64_t(r + 1) * pixels < budget; ++r) {
        SmkReadRecord(film, r);
        SmkDecodeVideo(film);
        SmkTarget t;
        t.Pixels = target.data();
        t.Pitch = kSide * 2;
        t.Rows = kSide;
        t.Columns = kSide;
        t.BlitFlags = (r & 1) ? kSmkBlit565 : kSmkBlit8Bit;
        SmkBlit(film, t);
    }
    return 0;
}
