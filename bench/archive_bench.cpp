// Archive build throughput: a project of a few MiB of BASIC text and
// pictures, built in both forms (member preparation, hashing, and the
// cipher or the mirror over the whole archive).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "packaging/archive_builder.h"
#include "base/archive_cipher.h"
#include "support/bmp_fixture.h"

namespace {

namespace fs = std::filesystem;
using tvx::putU16;
using tvx::putU32;

void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(p.string().c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<uint8_t> basicText(size_t bytes, unsigned seed) {
    std::string t;
    for (unsigned line = 0; t.size() < bytes; ++line)
        t += "  move(" + std::to_string(line * seed % 1000) + ")   ' step " + std::to_string(line) + "\r\n" +
             "\tif in(" + std::to_string(line % 32) + ") then print \"ok  \", speed\r\n";
    return std::vector<uint8_t>(t.begin(), t.end());
}

// Eight BASIC programs of 256 KiB and four 480x272 pictures: about 3.5 MiB.
struct Project {
    fs::path dir;
    std::vector<uint8_t> record;
    size_t inputBytes = 0;

    Project() {
        dir = fs::temp_directory_path() / "tavrix_archive_bench";
        fs::create_directories(dir);
        std::vector<std::string> names;
        for (unsigned i = 0; i < 8; ++i) {
            names.push_back("prog" + std::to_string(i) + ".bas");
            const auto text = basicText(256 * 1024, i + 3);
            writeFile(dir / names.back(), text);
            inputBytes += text.size();
        }
        for (unsigned i = 0; i < 4; ++i) {
            names.push_back("screen" + std::to_string(i) + ".bmp");
            const auto picture = tvx::testing::makeBmp24(480, 272);
            writeFile(dir / names.back(), picture);
            inputBytes += picture.size();
        }
        record.assign(64 + 36 * names.size(), 0);
        std::memcpy(record.data(), "NPJ\0" "1.0", 8);
        putU16(record.data() + 12, static_cast<uint16_t>(names.size()));
        for (size_t i = 0; i < names.size(); ++i) {
            uint8_t* e = record.data() + 64 + 36 * i;
            std::memcpy(e, names[i].data(), names[i].size());
            e[26] = names[i].ends_with(".bas") ? 1 : 21;
            e[27] = 255;
        }
    }
    ~Project() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

void buildArchive(benchmark::State& state, tvx::ArchiveForm form) {
    tvx::initArchiveCipher();
    static Project project;
    const std::string dir = (project.dir / "").string();
    for (auto _ : state) {
        std::vector<uint8_t> record = project.record;
        tvx::ArchiveSource source;
        source.record = record.data();
        source.directory = dir.c_str();
        source.password = "bench";
        tvx::ByteBuffer archive;
        if (tvx::buildArchive(source, form, &archive) != 0) state.SkipWithError("build failed");
        benchmark::DoNotOptimize(archive.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * project.inputBytes));
}

void BM_BuildArchiveEnciphered(benchmark::State& state) { buildArchive(state, tvx::ArchiveForm::enciphered); }
void BM_BuildArchiveMirrored(benchmark::State& state) { buildArchive(state, tvx::ArchiveForm::mirrored); }

BENCHMARK(BM_BuildArchiveEnciphered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildArchiveMirrored)->Unit(benchmark::kMillisecond);

}  // namespace
