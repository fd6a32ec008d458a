// The launcher's pictures: bitmap resources turned into device-dependent bitmaps with their
// own palettes, stretched in halftone mode onto the dialog and its buttons.
#include "launcher/dib.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "resources/resource.h"

#include <cstring>

namespace {

constexpr WORD kLogPaletteVersion = 0x300;

// Loads a bitmap resource and stretches all of it onto the target rectangle, whose origin
// is (0, 0). Bitmap and palette are made afresh for every drawing and released at its end.
void DrawResourceStretched(HDC target, const RECT& rect, int resourceId)
{
    DibPicture picture = LoadBitmapResource(g_launcher.Instance, resourceId);
    if (!picture.bitmap) {
        if (picture.palette)
            DeleteObject(picture.palette);
        return;
    }
    BITMAP info = {};
    GetObjectA(picture.bitmap, sizeof info, &info);

    HDC memory = CreateCompatibleDC(target);
    HPALETTE targetPalette = nullptr, memoryPalette = nullptr;
    if (picture.palette) {
        targetPalette = SelectPalette(target, picture.palette, FALSE);
        RealizePalette(target);
        memoryPalette = SelectPalette(memory, picture.palette, FALSE);
        RealizePalette(memory);
    }
    HGDIOBJ oldBitmap = SelectObject(memory, picture.bitmap);
    SetStretchBltMode(target, HALFTONE);
    StretchBlt(target, 0, 0, rect.right, rect.bottom, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);

    SelectObject(memory, oldBitmap);
    DeleteObject(picture.bitmap);
    // A palette still selected into a device context cannot be deleted: hand both
    // contexts their previous palettes back first.
    if (picture.palette) {
        SelectPalette(memory, memoryPalette, FALSE);
        SelectPalette(target, targetPalette, FALSE);
    }
    DeleteDC(memory);
    if (picture.palette)
        DeleteObject(picture.palette);
}

} // namespace

// The header's colour count is capped at what its bits can tell apart (256 at most); the
// table follows the header, whose own size field says how long it is.
HPALETTE MakeDibPalette(const BITMAPINFOHEADER* header, int* colourCount)
{
    int n = static_cast<int>(DibColourCount(header->biBitCount, header->biClrUsed));
    *colourCount = n;
    if (n == 0)
        return nullptr;

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
    if (!memory)
        return nullptr;
    auto* palette = static_cast<LOGPALETTE*>(GlobalLock(memory));
    palette->palVersion = kLogPaletteVersion;
    palette->palNumEntries = static_cast<WORD>(n);
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    for (int i = 0; i < n; ++i) {
        palette->palPalEntry[i].peRed = table[i].rgbRed;
        palette->palPalEntry[i].peGreen = table[i].rgbGreen;
        palette->palPalEntry[i].peBlue = table[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
    HPALETTE result = CreatePalette(palette);
    GlobalUnlock(memory);
    GlobalFree(memory);
    return result;
}

DibPicture LoadBitmapResource(HINSTANCE instance, int resourceId)
{
    DibPicture picture = {};
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!found)
        return picture;
    HGLOBAL loaded = LoadResource(instance, found);
    DWORD size = SizeofResource(instance, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    // Nothing of the resource is used before its header, colour table and rows are known to
    // lie within it.
    DibLayout layout;
    if (!bytes || !ReadDibLayout(bytes, size, layout))
        return picture;

    // A private, writable copy of the packed bitmap: header, colour table, pixel rows.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!copy)
        return picture;
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(copy));
    std::memcpy(header, bytes, size);
    FreeResource(loaded);

    int colours = 0;
    picture.palette = MakeDibPalette(header, &colours);

    HDC screen = GetDC(nullptr);
    HPALETTE oldPalette = nullptr;
    if (picture.palette) {
        oldPalette = SelectPalette(screen, picture.palette, FALSE);
        RealizePalette(screen);
    }
    const BYTE* rows = reinterpret_cast<const BYTE*>(header) + layout.RowsOffset;
    picture.bitmap = CreateDIBitmap(screen, header, CBM_INIT, rows, reinterpret_cast<const BITMAPINFO*>(header),
                                    DIB_RGB_COLORS);
    if (picture.palette)
        SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    GlobalUnlock(copy);
    GlobalFree(copy);
    return picture;
}

void DrawBackground(HDC dc, const RECT& rect, int resourceId) { DrawResourceStretched(dc, rect, resourceId); }

// Every button wears the same face in every state; a held-down button differs only by its
// label, moved one pixel right and down.
void DrawPictureButton(const DRAWITEMSTRUCT& item, const char* label)
{
    HDC dc = item.hDC;
    DrawResourceStretched(dc, item.rcItem, IDB_BUTTON);

    HGDIOBJ oldFont = nullptr;
    if (g_launcher.UiFont)
        oldFont = SelectObject(dc, g_launcher.UiFont);
    COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    int oldMode = SetBkMode(dc, TRANSPARENT);

    RECT rect = item.rcItem;
    if (item.itemState & ODS_SELECTED)
        OffsetRect(&rect, 1, 1);
    DrawTextA(dc, label, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_CENTER);

    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
    if (g_launcher.UiFont)
        SelectObject(dc, oldFont);
}
