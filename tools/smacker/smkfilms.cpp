// smkfilms: makes the films of the sample medium and of the tests.
//
//   smkfilms intro OUT --width W --height H     the intro film (640x480 or 320x240)
//   smkfilms testset DIR                        the small films of the cross-check
//   smkfilms crawlmusic OUT.wav --seconds S     the crawl's music (track 2) as a Wave file
#include "tools/smacker/intro_film.h"
#include "tools/smacker/test_films.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "testset") == 0) {
        mkdir(argv[2], 0755);
        return WriteTestFilms(argv[2]) ? 0 : 1;
    }
    if (argc == 7 && std::strcmp(argv[1], "intro") == 0 && std::strcmp(argv[3], "--width") == 0 &&
        std::strcmp(argv[5], "--height") == 0) {
        uint32_t width = uint32_t(std::strtoul(argv[4], nullptr, 10)), height = uint32_t(std::strtoul(argv[6], nullptr, 10));
        return WriteIntroFilm(argv[2], width, height) ? 0 : 1;
    }
    if (argc == 5 && std::strcmp(argv[1], "crawlmusic") == 0 && std::strcmp(argv[3], "--seconds") == 0)
        return WriteCrawlMusic(argv[2], std::strtod(argv[4], nullptr)) ? 0 : 1;
    std::fprintf(stderr, "usage: smkfilms intro OUT --width W --height H\n       smkfilms testset DIR\n"
                         "       smkfilms crawlmusic OUT.wav --seconds S\n");
    return 2;
}
