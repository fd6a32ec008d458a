#include "intro/intro_screen.h"

#include <algorithm>

namespace {

// One axis: the source span shown and its target span. A screen too small for the picture
// drops the same number of columns (or rows) on both sides, the odd one on the far side.
void PlaceAxis(std::int32_t picture, std::int32_t screen, std::int32_t scale, std::int32_t& source,
               std::int32_t& sourceLength, std::int32_t& target, std::int32_t& targetLength)
{
    std::int64_t scaled = std::int64_t(picture) * scale;
    if (scaled <= screen) {
        source = 0;
        sourceLength = picture;
        targetLength = std::int32_t(scaled);
        target = std::int32_t((screen - scaled) / 2);
    } else {
        source = (picture - screen) / 2;
        sourceLength = screen;
        targetLength = screen;
        target = 0;
    }
}

// The column alignment follows the film window's at full screen (down from a remainder of 0
// to 2, up from 3). It moves the picture inside its window, never the window: the window
// covers its monitor exactly, whatever the monitor's origin.
void AlignPictureColumn(PicturePlacement& p, std::int32_t screenWidth, std::int32_t screenLeft)
{
    std::int64_t column = std::int64_t(screenLeft) + p.TargetX;
    std::int64_t aligned = ((column + 1) & ~std::int64_t(3)) - screenLeft;
    if (aligned >= 0 && aligned + p.TargetWidth <= screenWidth)
        p.TargetX = std::int32_t(aligned);
}

} // namespace

PicturePlacement PlacePicture(ScreenSize picture, ScreenSize screen, std::int32_t screenLeft)
{
    PicturePlacement p = {};
    if (picture.Width <= 0 || picture.Height <= 0 || screen.Width <= 0 || screen.Height <= 0)
        return p;
    p.Scale = std::max<std::int32_t>(1, std::min(screen.Width / picture.Width, screen.Height / picture.Height));
    PlaceAxis(picture.Width, screen.Width, p.Scale, p.SourceX, p.SourceWidth, p.TargetX, p.TargetWidth);
    PlaceAxis(picture.Height, screen.Height, p.Scale, p.SourceY, p.SourceHeight, p.TargetY, p.TargetHeight);
    AlignPictureColumn(p, screen.Width, screenLeft);
    return p;
}
