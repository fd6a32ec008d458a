// mediumdata: writes the sample medium's generated data files. Each file holds a header
// line that names it, then pseudo-random bytes from a generator seeded by the name, so the
// files are the same on every build and differ from one another.
//
//   mediumdata NAME SIZE > FILE     SIZE bytes (the header included) for the file NAME
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// FNV-1a of the file's name: the generator's seed.
std::uint64_t SeedOf(const char* name)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (; *name; ++name)
        hash = (hash ^ static_cast<unsigned char>(*name)) * 1099511628211ull;
    return hash | 1;
}

// xorshift64*: fast, and plenty for data that only has to be arbitrary and repeatable.
std::uint64_t Next(std::uint64_t& state)
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ull;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mediumdata NAME SIZE > FILE\n");
        return 2;
    }
    char* end = nullptr;
    unsigned long long size = std::strtoull(argv[2], &end, 10);
    if (!end || *end != '\0') {
        std::fprintf(stderr, "mediumdata: bad size %s\n", argv[2]);
        return 2;
    }
    std::FILE* out = stdout;
    std::string header = std::string("Vesk Marlit ") + argv[1] + "\r\n";
    if (header.size() > size)
        header.resize(size);
    std::fwrite(header.data(), 1, header.size(), out);

    std::uint64_t state = SeedOf(argv[1]);
    unsigned char block[65536];
    for (unsigned long long left = size - header.size(); left > 0;) {
        std::size_t n = left < sizeof block ? static_cast<std::size_t>(left) : sizeof block;
        for (std::size_t i = 0; i < n; i += 8) {
            std::uint64_t word = Next(state);
            for (std::size_t k = 0; k < 8 && i + k < n; ++k)
                block[i + k] = static_cast<unsigned char>(word >> (8 * k)); // the same bytes on every host
        }
        std::fwrite(block, 1, n, out);
        left -= n;
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::perror("mediumdata");
        return 1;
    }
    return 0;
}
