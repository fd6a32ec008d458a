// convtop16.dll: the sample medium's stand-in for the game's conversion library. The
// launcher only copies it; it is a real DLL all the same, so that the installed game folder
// holds what its name promises.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// Converts a 24-bit colour (0x00RRGGBB) to the 16-bit 5-6-5 form.
extern "C" __declspec(dllexport) unsigned short WINAPI ConvertTo16(unsigned long rgb)
{
    unsigned long r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
