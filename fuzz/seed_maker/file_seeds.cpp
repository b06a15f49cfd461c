// Seeds of the file parsers: archives of both forms with every member type,
// library files and their label records, compiled PLC programs, BASIC text,
// project text and records, firmware images.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/archive_cipher.h"
#include "base/bytes.h"
#include "packaging/archive_builder.h"
#include "packaging/library_file.h"
#include "packaging/project_record.h"
#include "packaging/source_hashes.h"
#include "seed_output.h"
#include "support/bmp_fixture.h"
#include "support/firmware_image_maker.h"
#include "support/plc_file_maker.h"

namespace tvx::seeds {
namespace {

const char kBasic[] =
    "' demo program\r\n"
    "GLOBAL DIM speed\r\n"
    "global sub home()\r\n"
    "  BASE(0,1)   ' axes\r\n"
    "  speed = 100 : ACCEL = 1000\r\n"
    "  PRINT \"homing \" , speed\r\n"
    "end sub\r\n"
    "WHILE 1\r\n"
    "  IF IN(3) = 1 THEN home()\r\n"
    "WEND\r\n";

Bytes plcSectionWithLabels() {
    Bytes section;
    testing::appendLabelRecord(section, 7);
    testing::appendOtherRecord(section, 5, 10);
    testing::appendLabelRecord(section, std::string("HOME"));
    testing::appendLabelRecord(section, -1);
    testing::appendLabelRecord(section, std::string("RUN_LOOP"));
    return section;
}

// A scratch folder for the archive builder's members, removed at the end.
class Scratch {
public:
    Scratch() : dir_(std::filesystem::temp_directory_path() / ("tavrix_seeds_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string dir() const { return (dir_ / "").string(); }
    bool write(const std::string& name, const Bytes& content) const {
        std::FILE* f = std::fopen((dir_ / name).string().c_str(), "wb");
        if (!f) return false;
        const bool ok = content.empty() || std::fwrite(content.data(), 1, content.size(), f) == content.size();
        return std::fclose(f) == 0 && ok;
    }

private:
    std::filesystem::path dir_;
};

Bytes libraryImage(uint8_t type, const Bytes& content) {
    ByteBuffer image;
    const uint32_t hash = type == kBasicLibraryType ? sourceHash(content.data(), content.size())
                                                    : stringHash(content.data(), content.size());
    if (buildLibraryImage(type, content.data(), content.size(), hash, &image) != 0) return {};
    return Bytes(image.data(), image.data() + image.size());
}

Bytes compacted(const char* text) {
    Bytes b(text, text + std::strlen(text) + 1);
    b.resize(compactBasicText(b.data(), b.size() - 1));
    return b;
}

// A project header with a fixed creation time, so that seeds made again
// come out the same.
void writeFixedHeader(uint8_t* record, uint16_t count) {
    writeProjectHeader(record, count);
    const uint8_t time[] = {0, 12, 30, 12, 6, 15};
    std::memcpy(record + 14, time, sizeof time);
    putU16(record + 20, 2024);
}

struct Member {
    const char* name;
    uint8_t type;
    Bytes content;
};

bool archiveSeeds() {
    Scratch scratch;
    const Bytes tinyBmp = testing::makeBmp([] {
        testing::BmpLayout s;
        s.depth = 8;
        s.width = 3;
        s.height = 2;
        return s;
    }());
    const Member members[] = {
        {"main.bas", file_type::basic, bytesOf(kBasic)},
        {"util.nlb", file_type::basicLibrary, libraryImage(kBasicLibraryType, compacted("global sub f()\nend sub\n"))},
        {"plcl.nlb", file_type::plcLibrary, libraryImage(kPlcLibraryType, plcSectionWithLabels())},
        {"ladder.plc", file_type::plc, testing::makePlcProgram(plcSectionWithLabels(), {4, 0, 3, 1})},
        {"panel.hmi", file_type::hmi, Bytes{2, 1, 0, 0xFE, 0x80, 7}},
        {"part.cnc", file_type::cnc, bytesOf("G0 X1 Y2\nG1 X3 F100\nM30\n")},
        {"logo.bmp", file_type::bmp, tinyBmp},
        {"small.nft", file_type::font, Bytes{1, 2, 3, 4, 5}},
        {"face.ttf", file_type::trueTypeFont, Bytes{0, 1, 0, 0}},
        {"table.nml", file_type::nml, bytesOf("1,2,3\n")},
        {"notes.txt", file_type::unknown, bytesOf("anything")},
    };
    for (const Member& m : members)
        if (m.content.empty() || !scratch.write(m.name, m.content)) return false;

    struct Variant {
        const char* seed;
        size_t first, count;
        ArchiveForm form;
        const char* password;
    };
    const Variant variants[] = {
        {"all_types_enciphered", 0, std::size(members), ArchiveForm::enciphered, nullptr},
        {"all_types_mirrored", 0, std::size(members), ArchiveForm::mirrored, nullptr},
        {"basic_password_enciphered", 0, 1, ArchiveForm::enciphered, "Secret"},
        {"libraries_password_mirrored", 1, 3, ArchiveForm::mirrored, "pw"},
        {"empty_enciphered", 0, 0, ArchiveForm::enciphered, nullptr},
        {"empty_mirrored", 0, 0, ArchiveForm::mirrored, nullptr},
        {"picture_mirrored", 6, 1, ArchiveForm::mirrored, nullptr},
    };
    bool ok = true;
    for (const Variant& v : variants) {
        Bytes record(projectRecordBytes(static_cast<uint32_t>(v.count)), 0);
        writeFixedHeader(record.data(), static_cast<uint16_t>(v.count));
        for (size_t i = 0; i < v.count; ++i) {
            const Member& m = members[v.first + i];
            writeProjectEntry(projectEntry(record.data(), static_cast<uint32_t>(i)), m.name, m.type, i == 0 ? 1 : 0);
        }
        const std::string dir = scratch.dir();
        ArchiveSource source{record.data(), dir.c_str(), v.password, 0x12345678};
        ByteBuffer archive;
        const int32_t r = buildArchive(source, v.form, &archive);
        if (r != 0) {
            std::fprintf(stderr, "archive %s: %d\n", v.seed, static_cast<int>(r));
            ok = false;
            continue;
        }
        ok = writeSeed("fuzz_archive_reader", v.seed, Bytes(archive.data(), archive.data() + archive.size())) && ok;
        if (v.count == std::size(members) && v.form == ArchiveForm::mirrored) {
            // The record of this archive, as a project file of its own.
            ok = writeSeed("fuzz_project_files", "record_all_types", led(0, record)) && ok;
        }
    }
    return ok;
}

// Library files go in as they are (selector bit 0 clear) or as plain images
// the target enciphers itself (bit 0 set), which lets mutations reach the
// label walk.
bool librarySeeds() {
    bool ok = true;
    const Bytes basic = libraryImage(kBasicLibraryType, compacted(kBasic));
    const Bytes plc = libraryImage(kPlcLibraryType, plcSectionWithLabels());
    Bytes odd;  // a name without its zero, a record running past the end
    testing::appendLabelRecord(odd, 3);
    testing::appendLabelRecord(odd, std::string("CUT"));
    odd.back() = 'X';
    testing::appendOtherRecord(odd, 28, 40);
    odd.resize(odd.size() - 8);
    const Bytes cut = libraryImage(kPlcLibraryType, odd);
    for (const auto& [name, image] : {std::pair{"basic", basic}, std::pair{"plc_labels", plc}, std::pair{"plc_odd", cut}}) {
        if (image.empty()) return false;
        ok = writeSeed("fuzz_library_file", std::string(name) + "_enciphered", led(0, image)) && ok;
        Bytes plain = image;
        for (size_t at = 0; at + kCipherBlockBytes <= plain.size(); at += kCipherBlockBytes) decipherBlock(plain.data() + at);
        ok = writeSeed("fuzz_library_file", std::string(name) + "_plain", led(1, plain)) && ok;
    }
    return ok;
}

bool plcSeeds() {
    bool ok = true;
    Bytes big;
    for (int i = 0; i < 40; ++i) testing::appendLabelRecord(big, i * 3);
    const std::pair<const char*, Bytes> files[] = {
        {"labels", testing::makePlcProgram(plcSectionWithLabels())},
        {"four_sections", testing::makePlcProgram(plcSectionWithLabels(), {12, 7, 1, 33})},
        {"empty_program", testing::makePlcProgram({}, {})},
        {"many_labels", testing::makePlcProgram(big, {2, 2})},
    };
    for (const auto& [name, file] : files) ok = writeSeed("fuzz_plc_section", name, file) && ok;
    return ok;
}

bool basicSeeds() {
    const std::pair<const char*, std::string> texts[] = {
        {"program.bas", kBasic},
        {"strings_and_comments.bas", "PRINT \"a 'not a comment'  \" ' comment\n  REM x\r\nA  =  \"\"\"\"  \r\n\n\n"},
        {"blank_lines.bas", "\r\n\r\n   \t\r\nB=1\t\t' t\r\n\tC = 2\n"},
        {"unterminated.bas", "PRINT \"open string\nX=1"},
    };
    bool ok = true;
    for (const auto& [name, text] : texts) ok = writeSeed("fuzz_basic_text", name, bytesOf(text)) && ok;
    // The same programs for the simulated controller's interpreter.
    ok = writeSeed("fuzz_sim_program", "program.bas", bytesOf(kBasic)) && ok;
    ok = writeSeed("fuzz_sim_program", "subs_and_loops.bas",
                   bytesOf("DIM a(4)\nSUB twice(x)\n  RETURN x * 2\nEND SUB\nFOR i = 0 TO 3\n  a(i) = twice(i)\n"
                           "NEXT\nIF a(3) > 5 THEN\n  PRINT \"big\", a(3)\nELSE\n  PRINT 0\nENDIF\nEND\n")) && ok;
    // Answers of a variable query.
    const std::pair<const char*, const char*> answers[] = {
        {"decimal", "  12.5\r\n"}, {"exponent", "-3.25e2\n"}, {"integer_hex", "$1F"}, {"text_after", "7 extra"}};
    for (const auto& [name, text] : answers) ok = writeSeed("fuzz_variable_text", name, bytesOf(text)) && ok;
    return ok;
}

bool projectSeeds() {
    bool ok = true;
    const std::pair<const char*, std::string> texts[] = {
        {"project_text",
         "[Controller]\r\nFiles=4\r\n[FileList]\r\nFile1=main.bas\r\nAutoRun1=0\r\nFile2=util.nlb\r\nAutoRun2=-1\r\n"
         "File3=ladder.plc\r\nFile4=logo.bmp\r\nAutoRun4=2\r\n"},
        {"project_text_odd",
         "; comment\n[controller]\nfiles = 3\n\n[FileList]\nFile1 = \" spaced name.bas \"\nFile2=\nFile3=a,b, c\n"
         "[FileList]\nAutoRun3=x\n"},
        {"project_text_many", "[Controller]\nFiles=2000\n[FileList]\nFile1=a.bas\nFile1000=z.bas\n"},
    };
    for (const auto& [name, text] : texts) ok = writeSeed("fuzz_project_files", name, led(1, bytesOf(text))) && ok;
    for (uint16_t count : {0, 1, 3}) {
        Bytes record(projectRecordBytes(count), 0);
        writeFixedHeader(record.data(), count);
        const char* names[] = {"a.bas", "b.plc", "c.jpg"};
        const uint8_t types[] = {file_type::basic, file_type::plc, file_type::jpeg};
        for (uint16_t i = 0; i < count; ++i) writeProjectEntry(projectEntry(record.data(), i), names[i], types[i], 1);
        ok = writeSeed("fuzz_project_files", "record_" + std::to_string(count), led(0, record)) && ok;
    }
    return ok;
}

bool firmwareSeeds() {
    using testing::makeImage;
    using testing::SectionPlan;
    Bytes payload(200);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 11);
    const std::vector<SectionPlan> sections = {
        {"boot", Bytes(40, 0x11), 1}, {"application", Bytes(90, 0x22), 2}, {"x", Bytes(3, 0x33), 0}};
    bool ok = true;
    const std::pair<const char*, Bytes> images[] = {
        {"plain", makeImage(7, 0, payload)},
        {"enciphered", makeImage(7, 1234, payload)},
        {"plain_alternate", makeImage(7, 1235, payload)},
        {"enciphered_3237", makeImage(7, 3237, Bytes(payload.begin(), payload.begin() + 77))},
        {"sectioned", testing::makeSectionedImage(7, sections)},
    };
    for (const auto& [name, image] : images) ok = writeSeed("fuzz_firmware_image", name, image) && ok;
    // The second form: section count, table size, then the plain payload.
    const testing::ImageParts parts = testing::sectionedParts(7, sections);
    Bytes table;
    appendU16(table, parts.sectionCount);
    appendU16(table, 0);
    appendU16(table, parts.tableSize);
    appendU16(table, 0);
    append(table, parts.payload);
    return writeSeed("fuzz_firmware_image", "sectioned_payload", table) && ok;
}

}  // namespace

bool makeFileSeeds() {
    if (initArchiveCipher() != 0) return false;
    const bool a = archiveSeeds();
    const bool l = librarySeeds();
    const bool p = plcSeeds();
    const bool b = basicSeeds();
    const bool j = projectSeeds();
    const bool f = firmwareSeeds();
    return a && l && p && b && j && f;
}

}  // namespace tvx::seeds
