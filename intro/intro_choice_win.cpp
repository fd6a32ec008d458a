#include "intro/intro_choice_win.h"

#include <windows.h>

namespace {

constexpr char kChoiceKey[] = "Software\\VeskMarlit";
constexpr char kChoiceValue[] = "IntroImFenster";
constexpr DWORD kWindow = 1;

// Full screen is what nothing stored means: the value goes, and the key with it once it
// holds nothing else, so that the key exists only while it holds something.
void ForgetWindowChosen()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kChoiceKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, kChoiceValue);
    DWORD subkeys = 1, values = 1;
    bool empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_SUCCESS
        && subkeys == 0 && values == 0;
    RegCloseKey(key);
    if (empty)
        RegDeleteKeyA(HKEY_CURRENT_USER, kChoiceKey);
}

} // namespace

bool IntroWindowChosen()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kChoiceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    LONG result = RegQueryValueExA(key, kChoiceValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == kWindow;
}

// A choice that cannot be stored (a profile without a writable registry) is simply not
// remembered; the intro that is playing goes on on the display the user switched to.
void RememberIntroWindowChosen(bool window)
{
    if (!window) {
        ForgetWindowChosen();
        return;
    }
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kChoiceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    DWORD value = kWindow;
    RegSetValueExA(key, kChoiceValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

// The key holds nothing but the choice; a key that someone gave subkeys of their own is
// not removed with them.
void ForgetIntroChoice() { RegDeleteKeyA(HKEY_CURRENT_USER, kChoiceKey); }
