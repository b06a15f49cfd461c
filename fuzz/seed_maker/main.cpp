// Writes the fuzz targets' seed corpora with the library's own builders and
// the simulated controller. Usage: tavrix_make_seeds SEED-FOLDER (fuzz/seeds).
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "seed_output.h"

namespace tvx::seeds {
namespace {

std::filesystem::path g_root;

}  // namespace

void setSeedRoot(const std::string& root) { g_root = root; }

bool writeSeed(const std::string& target, const std::string& name, const Bytes& content) {
    const std::filesystem::path dir = g_root / target;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string path = (dir / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr;
    if (f) {
        if (!content.empty()) ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
        ok = std::fclose(f) == 0 && ok;
    }
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace tvx::seeds

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED-FOLDER\n", argv[0]);
        return 2;
    }
    tvx::seeds::setSeedRoot(argv[1]);
    const bool files = tvx::seeds::makeFileSeeds();
    const bool pictures = tvx::seeds::makePictureSeeds();
    const bool wire = tvx::seeds::makeWireSeeds();
    return files && pictures && wire ? 0 : 1;
}
