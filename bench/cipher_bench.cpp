// Archive cipher throughput beside libmcrypt's rijndael-256 (ECB), and the
// BASIC text compaction and hashes over a large program text.
#include <benchmark/benchmark.h>
#include <mcrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/archive_cipher.h"
#include "packaging/source_hashes.h"

namespace {

constexpr size_t kBufferBytes = 64 * 1024;

std::vector<uint8_t> testBuffer() {
    std::vector<uint8_t> b(kBufferBytes);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 31 + 7);
    return b;
}

void BM_ArchiveCipherEncipher(benchmark::State& state) {
    tvx::initArchiveCipher();
    std::vector<uint8_t> b = testBuffer();
    for (auto _ : state) {
        for (size_t i = 0; i < b.size(); i += 32) tvx::encipherBlock(b.data() + i);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufferBytes);
}
BENCHMARK(BM_ArchiveCipherEncipher);

void BM_ArchiveCipherDecipher(benchmark::State& state) {
    tvx::initArchiveCipher();
    std::vector<uint8_t> b = testBuffer();
    for (auto _ : state) {
        for (size_t i = 0; i < b.size(); i += 32) tvx::decipherBlock(b.data() + i);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufferBytes);
}
BENCHMARK(BM_ArchiveCipherDecipher);

void mcryptRun(benchmark::State& state, bool decrypt) {
    MCRYPT m = mcrypt_module_open(const_cast<char*>("rijndael-256"), nullptr, const_cast<char*>("ecb"), nullptr);
    if (m == MCRYPT_FAILED) {
        state.SkipWithError("libmcrypt rijndael-256 unavailable");
        return;
    }
    uint8_t key[32];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
    mcrypt_generic_init(m, key, 32, nullptr);
    std::vector<uint8_t> b = testBuffer();
    for (auto _ : state) {
        if (decrypt) {
            mdecrypt_generic(m, b.data(), static_cast<int>(b.size()));
        } else {
            mcrypt_generic(m, b.data(), static_cast<int>(b.size()));
        }
        benchmark::ClobberMemory();
    }
    mcrypt_generic_deinit(m);
    mcrypt_module_close(m);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufferBytes);
}
void BM_McryptRijndael256Encrypt(benchmark::State& state) { mcryptRun(state, false); }
void BM_McryptRijndael256Decrypt(benchmark::State& state) { mcryptRun(state, true); }
BENCHMARK(BM_McryptRijndael256Encrypt);
BENCHMARK(BM_McryptRijndael256Decrypt);

std::string largeBasicText() {
    std::string text;
    for (int i = 0; text.size() < 1024 * 1024; ++i) {
        text += "   MOVE  X" + std::to_string(i % 8) + " ,  " + std::to_string(i) +
                "   ' move the axis\r\n\tPRINT \"value  = \" ;  VR(" + std::to_string(i % 100) + ")\r\n";
    }
    return text;
}

void BM_CompactBasicText(benchmark::State& state) {
    const std::string text = largeBasicText();
    std::vector<uint8_t> work(text.size());
    for (auto _ : state) {
        std::memcpy(work.data(), text.data(), text.size());
        benchmark::DoNotOptimize(tvx::compactBasicText(work.data(), work.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CompactBasicText);

void BM_SourceHash(benchmark::State& state) {
    const std::string text = largeBasicText();
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (auto _ : state) benchmark::DoNotOptimize(tvx::sourceHash(p, text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SourceHash);

void BM_StringHash(benchmark::State& state) {
    const std::string text = largeBasicText();
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (auto _ : state) benchmark::DoNotOptimize(tvx::stringHash(p, text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StringHash);

}  // namespace
