#include "launcher/text.h"

#include <cstring>

bool CopyText(char* dst, std::size_t size, const char* src)
{
    std::size_t n = std::strlen(src);
    if (size == 0 || n >= size)
        return false;
    std::memcpy(dst, src, n + 1);
    return true;
}

bool AppendText(char* dst, std::size_t size, const char* src)
{
    std::size_t have = strnlen(dst, size);
    if (have == size)
        return false; // not terminated inside its buffer: refuse rather than run on
    std::size_t n = std::strlen(src);
    if (have + n >= size)
        return false;
    std::memcpy(dst + have, src, n + 1);
    return true;
}

bool JoinText(char* dst, std::size_t size, const char* a, const char* b, const char* c)
{
    std::size_t la = std::strlen(a), lb = std::strlen(b), lc = c ? std::strlen(c) : 0;
    if (size == 0 || la + lb + lc >= size)
        return false;
    // The pieces may overlap dst (dst itself as the first piece): move, then copy.
    std::memmove(dst, a, la);
    std::memcpy(dst + la, b, lb);
    if (c)
        std::memcpy(dst + la + lb, c, lc);
    dst[la + lb + lc] = '\0';
    return true;
}

void UpperCaseAscii(char* text)
{
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z')
            *text = static_cast<char>(*text - 'a' + 'A');
}

bool CutAtLastBackslash(char* text)
{
    char* last = std::strrchr(text, '\\');
    if (!last)
        return false;
    *last = '\0';
    return true;
}

bool CutToDirectory(char* text)
{
    char* last = std::strrchr(text, '\\');
    if (!last)
        return false;
    bool driveRoot = last - text == 2 && text[1] == ':';
    last[driveRoot ? 1 : 0] = '\0';
    return true;
}
