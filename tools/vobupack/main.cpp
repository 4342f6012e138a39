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

std::vector<vobupack::PackageEntry> buildEntries(std::string const& hexPath) {
    std::ifstream hex(hexPath);
    if (!hex) {
        throw std::runtime_error("cannot read " + hexPath +
                                 ": the glyphs come from the Debian package \"unifont\" (scripts/setup.sh installs it)");
    }
    std::vector<vobu::Glyph> const glyphs = vobupack::readUnifontHex(hex);
    std::vector<uint8_t> const table = vobu::encodeUnifontGlyphs(glyphs);
    vobu::Font font;
    font.load(table);
    std::vector<uint8_t> const logo = vobupack::encodeLogo(vobupack::drawLogo(font, "VobuGame"));
    return {{"unifont.bin", table}, {"logo.rgba", logo}};
}

void writeFile(std::string const& path, std::vector<uint8_t> const& bytes) {
    std::string const temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<char const*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot replace " + path);
}

void verify(std::string const& path, std::vector<vobupack::PackageEntry> const& entries) {
    std::ifstream in(path, std::ios::binary);
    for (vobupack::PackageEntry const& entry : entries) {
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
        std::vector<vobupack::PackageEntry> const entries = buildEntries(argv[1]);
        writeFile(argv[2], vobupack::writePackage(entries));
        verify(argv[2], entries);
    } catch (std::exception const& error) {
        std::fprintf(stderr, "vobupack: %s\n", error.what());
        return 1;
    }
    return 0;
}
