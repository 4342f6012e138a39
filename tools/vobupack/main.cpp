// vobupack: builds the client's asset package "vobu.dat" from GNU Unifont's
// hex file and a title logo drawn with those glyphs.
//
//   vobupack <unifont.hex> <output vobu.dat>
//
// After writing, every entry is read back through the client's own package
// reader and compared byte for byte, so a package that the client would
// refuse never leaves the build.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "app/asset_package.h"
#include "logo.h"
#include "package_writer.h"
#include "ui/font.h"
#include "unifont_hex.h"

namespace {

std::vector<vobupack::PackageEntry> buildEntries(const std::string& hexPath) {
    std::ifstream hex(hexPath);
    if (!hex) {
        throw std::runtime_error(
            "cannot read " + hexPath +
            ": the glyphs come from the Debian package \"unifont\" (scripts/setup.sh installs it)");
    }
    const std::vector<vobu::Glyph> glyphs = vobupack::readUnifontHex(hex);
    const std::vector<uint8_t> table = vobu::encodeUnifontGlyphs(glyphs);
    vobu::Font font;
    font.load(table);
    const std::vector<uint8_t> logo = vobupack::encodeLogo(vobupack::drawLogo(font, "VobuGame"));
    return {{"unifont.bin", table}, {"logo.rgba", logo}};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string const temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot replace " + path);
}

void verify(const std::string& path, const std::vector<vobupack::PackageEntry>& entries) {
    std::ifstream in(path, std::ios::binary);
    for (const vobupack::PackageEntry& entry : entries) {
        in.clear();
        if (vobu::readPackagedAsset(in, entry.name) != entry.bytes) {
            throw std::runtime_error("entry \"" + entry.name + "\" does not read back as written");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vobupack <unifont.hex> <output vobu.dat>\n");
        return 2;
    }
    try {
        const std::vector<vobupack::PackageEntry> entries = buildEntries(argv[1]);
        writeFile(argv[2], vobupack::writePackage(entries));
        verify(argv[2], entries);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vobupack: %s\n", error.what());
        return 1;
    }
    return 0;
}
