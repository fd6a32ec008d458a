#include "tests/product/pe_image.h"

#include <fstream>
#include <iterator>

namespace {

// Little-endian fields read with a bounds check: a damaged image reads as zeros and fails
// the checks instead of reading past the buffer.
struct Bytes {
    const std::vector<std::uint8_t>& data;
    bool Has(std::size_t offset, std::size_t size) const { return offset <= data.size() && size <= data.size() - offset; }
    std::uint32_t Get(std::size_t offset, int size) const
    {
        if (!Has(offset, size))
            return 0;
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | data[offset + i];
        return value;
    }
    std::uint16_t U16(std::size_t offset) const { return static_cast<std::uint16_t>(Get(offset, 2)); }
    std::uint32_t U32(std::size_t offset) const { return Get(offset, 4); }
    std::string Text(std::size_t offset) const
    {
        std::string text;
        while (offset < data.size() && data[offset] != 0 && text.size() < 256)
            text += static_cast<char>(data[offset++]);
        return text;
    }
};

struct Section {
    std::uint32_t Address, Size, RawOffset, RawSize;
};

struct Layout {
    Bytes bytes;
    std::vector<Section> sections;
    // The file offset of a relative virtual address, or 0 when no section holds it.
    std::size_t Offset(std::uint32_t rva) const
    {
        for (const Section& s : sections) {
            std::uint32_t size = s.Size > s.RawSize ? s.Size : s.RawSize;
            if (rva >= s.Address && rva - s.Address < size && rva - s.Address < s.RawSize)
                return s.RawOffset + (rva - s.Address);
        }
        return 0;
    }
};

void ReadImports(const Layout& layout, std::uint32_t rva, bool wide, PeImage& image)
{
    std::size_t at = layout.Offset(rva);
    for (int n = 0; at != 0 && n < 256; ++n, at += 20) {
        std::uint32_t lookup = layout.bytes.U32(at), name = layout.bytes.U32(at + 12), thunks = layout.bytes.U32(at + 16);
        if (name == 0)
            break;
        PeImport import;
        import.Dll = layout.bytes.Text(layout.Offset(name));
        std::size_t t = layout.Offset(lookup != 0 ? lookup : thunks);
        for (int k = 0; t != 0 && k < 4096; ++k, t += wide ? 8 : 4) {
            std::uint32_t low = layout.bytes.U32(t), high = wide ? layout.bytes.U32(t + 4) : 0;
            if (low == 0 && high == 0)
                break;
            bool byOrdinal = wide ? (high & 0x80000000u) != 0 : (low & 0x80000000u) != 0;
            if (byOrdinal)
                import.Ordinals.push_back(low & 0xFFFF);
            else
                import.Names.push_back(layout.bytes.Text(layout.Offset(low & 0x7FFFFFFFu) + 2));
        }
        image.Imports.push_back(import);
    }
}

void ReadExports(const Layout& layout, std::uint32_t rva, PeImage& image)
{
    std::size_t at = layout.Offset(rva);
    if (at == 0)
        return;
    image.ExportBase = layout.bytes.U32(at + 16);
    std::uint32_t functions = layout.bytes.U32(at + 20), names = layout.bytes.U32(at + 24);
    std::size_t addresses = layout.Offset(layout.bytes.U32(at + 28));
    std::size_t namePointers = layout.Offset(layout.bytes.U32(at + 32));
    for (std::uint32_t i = 0; addresses != 0 && i < functions && i < 65536; ++i)
        if (layout.bytes.U32(addresses + 4 * i) != 0)
            image.ExportOrdinals.push_back(image.ExportBase + i);
    for (std::uint32_t i = 0; namePointers != 0 && i < names && i < 65536; ++i)
        image.ExportNames.push_back(layout.bytes.Text(layout.Offset(layout.bytes.U32(namePointers + 4 * i))));
}

} // namespace

PeImage ReadPeImage(const std::vector<std::uint8_t>& file)
{
    PeImage image;
    Layout layout{Bytes{file}, {}};
    const Bytes& b = layout.bytes;
    std::uint32_t pe = b.U32(0x3C);
    if (b.U16(0) != 0x5A4D || b.U32(pe) != 0x00004550) {
        image.Problem = "no MZ and PE signatures";
        return image;
    }
    image.Machine = b.U16(pe + 4);
    std::uint16_t sections = b.U16(pe + 6), optionalSize = b.U16(pe + 20);
    image.IsDll = (b.U16(pe + 22) & 0x2000) != 0;
    std::size_t optional = pe + 24;
    image.Magic = b.U16(optional);
    bool wide = image.Magic == 0x20b;
    if (image.Magic != 0x10b && !wide) {
        image.Problem = "unknown optional header";
        return image;
    }
    image.Subsystem = b.U16(optional + 68);
    std::size_t directories = optional + (wide ? 112 : 96);
    std::uint32_t directoryCount = b.U32(optional + (wide ? 108 : 92));
    for (std::size_t s = optional + optionalSize, i = 0; i < sections; ++i, s += 40)
        layout.sections.push_back({b.U32(s + 12), b.U32(s + 8), b.U32(s + 20), b.U32(s + 16)});
    if (directoryCount > 0)
        ReadExports(layout, b.U32(directories), image);
    if (directoryCount > 1)
        ReadImports(layout, b.U32(directories + 8), wide, image);
    image.Valid = true;
    return image;
}

std::vector<std::string> ArchiveSymbols(const std::vector<std::uint8_t>& file)
{
    std::vector<std::string> symbols;
    const std::size_t header = 8, member = header + 60;
    if (file.size() < member || std::string(file.begin(), file.begin() + 8) != "!<arch>\n" || file[header] != '/'
        || file[header + 1] != ' ')
        return symbols;
    std::size_t size = std::stoul(std::string(file.begin() + header + 48, file.begin() + header + 58));
    if (size < 4 || size > file.size() - member)
        return symbols;
    const std::uint8_t* table = file.data() + member;
    std::uint32_t count = std::uint32_t(table[0]) << 24 | table[1] << 16 | table[2] << 8 | table[3];
    if (count > (size - 4) / 4)
        return symbols;
    std::size_t at = 4 + 4 * std::size_t(count);
    for (std::uint32_t i = 0; i < count && at < size; ++i) {
        std::string name;
        while (at < size && table[at] != 0)
            name += static_cast<char>(table[at++]);
        ++at;
        symbols.push_back(name);
    }
    return symbols;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
