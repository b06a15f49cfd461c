// Scratch files for the packaging tests: a private directory, and small
// members of every kind (BASIC, PLC, library, picture ...) made in place.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "support/bmp_fixture.h"
#include "support/test_files.h"
#include "base/archive_cipher.h"
#include "base/byte_transforms.h"

namespace tvx::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tavrix_" + tag;
        if (info) name += std::string("_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    // The directory with a trailing separator, as the packaging code takes it.
    std::string dir() const { return (dir_ / "").string(); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const Bytes& content) const {
        const std::string p = path(name);
        std::FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr) << p;
        if (f) {
            if (!content.empty()) std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return p;
    }
    std::string write(const std::string& name, const std::string& text) const { return write(name, bytesOf(text)); }

    Bytes read(const std::string& name) const { return readFile(path(name)); }

private:
    std::filesystem::path dir_;
};

// A compiled PLC program file holding `section` as its program section,
// encoded as the PLC tools do (first block enciphered, the rest mirrored).
inline Bytes makePlcFile(const Bytes& section) {
    Bytes f(68 + 4 + section.size(), 0);
    f[0] = 'N';
    f[1] = 'P';
    f[2] = 'C';
    putU16(f.data() + 26, 1);
    putU32(f.data() + 36, 4);  // one 4-byte section before the program
    putU32(f.data() + 52, static_cast<uint32_t>(section.size()));
    std::copy(section.begin(), section.end(), f.begin() + 72);
    byteMirror(f.data() + 32, f.size() - 32);
    encipherBlock(f.data());
    return f;
}

// Label records of a PLC program section: class 17, kind 28, length, form.
inline void appendNumberedLabel(Bytes& s, int32_t number) {
    Bytes r(16, 0);
    r[0] = 17;
    r[1] = 28;
    putU16(r.data() + 2, 16);
    r[9] = 11;
    putI32(r.data() + 12, number);
    s.insert(s.end(), r.begin(), r.end());
}
inline void appendNamedLabel(Bytes& s, const std::string& name) {
    Bytes r(12 + name.size() + 1, 0);
    r[0] = 17;
    r[1] = 28;
    putU16(r.data() + 2, static_cast<uint16_t>(r.size()));
    r[9] = 50;
    std::copy(name.begin(), name.end(), r.begin() + 12);
    s.insert(s.end(), r.begin(), r.end());
}

}  // namespace tvx::testing
