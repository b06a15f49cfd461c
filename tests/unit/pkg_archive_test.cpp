// Program archives: layout, both forms, passwords, the RAM-run conversions,
// project record filling, and the path to the simulated controller, which
// checks every archive it receives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "packaging/archive_reader.h"
#include "base/byte_transforms.h"
#include "packaging/source_hashes.h"
#include "platform/md5.h"
#include "pkg_test_files.h"
#include "support/inprocess_fixture.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScratchDir;

// A record of the given members (name, type, auto-run).
struct Member {
    std::string name;
    uint8_t type;
    uint8_t autoRun = 255;
};
Bytes makeRecord(const std::vector<Member>& members) {
    Bytes r(64 + 36 * members.size(), 0);
    std::memcpy(r.data(), "NPJ\0" "1.0", 8);
    putU16(r.data() + 12, static_cast<uint16_t>(members.size()));
    for (size_t i = 0; i < members.size(); ++i) {
        uint8_t* e = r.data() + 64 + 36 * i;
        std::memcpy(e, members[i].name.data(), members[i].name.size());
        e[26] = members[i].type;
        e[27] = members[i].autoRun;
    }
    return r;
}

Bytes unmirrored(Bytes a) {
    byteMirror(a.data(), a.size());
    return a;
}
Bytes deciphered(Bytes a) {
    for (size_t at = 0; at + 32 <= a.size(); at += 32) decipherBlock(a.data() + at);
    return a;
}

class ArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }

    // Builds the enciphered form to a file and returns its bytes.
    Bytes build(Bytes record, const char* password = nullptr, uint32_t word = 0, int32_t expect = rc::ok) {
        const std::string out = dir.path("out.nar");
        std::filesystem::remove(out);
        EXPECT_EQ(TVX_MakeNar2(record.data(), dir.dir().c_str(), out.c_str(), password, word), expect);
        return dir.read("out.nar");
    }

    ScratchDir dir{"archive"};
};

TEST_F(ArchiveTest, EmptyProjectIsNinetySixBytesInBothForms) {
    const Bytes enciphered = build(makeRecord({}));
    ASSERT_EQ(enciphered.size(), 96u);
    const Bytes plain = deciphered(enciphered);
    EXPECT_EQ(std::memcmp(plain.data(), "NAR", 4), 0);
    EXPECT_EQ(getU32(plain.data() + 4), 96u);
    EXPECT_EQ(plain[8], 1);
    EXPECT_EQ(getU16(plain.data() + 10), 1u);

    testing::InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), rc::ok);
    Bytes record = makeRecord({});
    ASSERT_EQ(TVX_MakeNarAndDown2(c.handle, record.data(), dir.dir().c_str(), nullptr, 0), rc::ok);
    const Bytes* stored = c.controller.transfers().files().get("program.nar");
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->size(), 96u);
    const Bytes mirrored = unmirrored(*stored);
    EXPECT_EQ(getU32(mirrored.data() + 4), 96u);
    EXPECT_EQ(mirrored[8], 0);
}

TEST_F(ArchiveTest, SlotsHoldContentZeroAndPaddingToFourBytes) {
    dir.write("three.txt", std::string("abc"));
    dir.write("four.txt", std::string("abcd"));
    dir.write("empty.txt", std::string());
    const Bytes plain = deciphered(build(makeRecord({{"three.txt", 255}, {"four.txt", 255}, {"empty.txt", 255}})));
    const size_t slots = 96 + 3 * 36;
    ASSERT_EQ(plain.size(), 224u);  // 204 + 4 + 8 + 4 = 220, rounded to 224
    EXPECT_EQ(getU32(plain.data() + 4), 224u);
    const uint32_t sizes[] = {4, 8, 4};
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(getU32(plain.data() + 32 + 64 + 36 * i + 28), sizes[i]) << i;
    EXPECT_EQ(std::memcmp(plain.data() + slots, "abc\0abcd\0\0\0\0\0\0\0\0", 16), 0);
    EXPECT_EQ(getU32(plain.data() + 32 + 64 + 32), stringHash(reinterpret_cast<const uint8_t*>("abc"), 3));
}

TEST_F(ArchiveTest, ThreeByteMemberGives136MirroredAnd160Enciphered) {
    dir.write("m.txt", std::string("xyz"));
    EXPECT_EQ(build(makeRecord({{"m.txt", 6}})).size(), 160u);

    testing::InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), rc::ok);
    Bytes record = makeRecord({{"m.txt", 6}});
    ASSERT_EQ(TVX_MakeNarAndDown2(c.handle, record.data(), dir.dir().c_str(), nullptr, 0), rc::ok);
    const Bytes mirrored = *c.controller.transfers().files().get("program.nar");
    ASSERT_EQ(mirrored.size(), 136u);
    const Bytes plain = unmirrored(mirrored);
    EXPECT_EQ(getU32(plain.data() + 4), 136u);
    EXPECT_EQ(unmirrored(plain), mirrored);  // mirroring twice restores
}

TEST_F(ArchiveTest, PasswordsAreDigestedUpperCased) {
    uint8_t digest[16];
    ASSERT_TRUE(platform::md5Digest(reinterpret_cast<const uint8_t*>("abc"), 3, digest));
    const uint8_t rfc1321[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                 0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(std::memcmp(digest, rfc1321, 16), 0);

    const Bytes none = deciphered(build(makeRecord({})));
    const Bytes empty = deciphered(build(makeRecord({}), ""));
    EXPECT_EQ(none, empty);
    EXPECT_EQ(empty[9], 0);
    EXPECT_EQ(Bytes(empty.begin() + 16, empty.begin() + 32), Bytes(16, 0));

    const Bytes lower = deciphered(build(makeRecord({}), "abc", 0xA1B2C3D4));
    const Bytes mixed = deciphered(build(makeRecord({}), "AbC", 0xA1B2C3D4));
    ASSERT_TRUE(platform::md5Digest(reinterpret_cast<const uint8_t*>("ABC"), 3, digest));
    EXPECT_EQ(lower[9], 1);
    EXPECT_EQ(std::memcmp(lower.data() + 16, digest, 16), 0);
    EXPECT_EQ(getU32(lower.data() + 12), 0xA1B2C3D4u);
    // The creation time of the copied record may differ between builds.
    EXPECT_EQ(Bytes(lower.begin(), lower.begin() + 32), Bytes(mixed.begin(), mixed.begin() + 32));
}

TEST_F(ArchiveTest, MemberChecksFollowTheEntryType) {
    dir.write("UP.BAS", std::string("a=1\n"));
    dir.write(".bas", std::string("a=1\n"));
    dir.write("short.nlb", Bytes(16, 0));
    dir.write("prog.txt", std::string("x"));
    struct Case {
        Member member;
        int32_t expected;
    };
    const Case cases[] = {
        {{"UP.BAS", 1}, rc::ok},
        {{".bas", 1}, rc::fileError},          // the extension alone is no name
        {{"prog.txt", 1}, rc::fileError},      // BASIC needs .bas
        {{"short.nlb", 2}, rc::libraryFile},   // a library of 16 bytes has no content
        {{"missing.bas", 1}, rc::fileNotFound},
        {{"prog.txt", 21}, rc::fileError},     // pictures need a picture extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member.name);
        build(makeRecord({c.member}), nullptr, 0, c.expected);
    }

    Bytes noTerminator = makeRecord({{"x.txt", 255}});
    std::memset(noTerminator.data() + 64, 'n', 26);  // a name field without its zero
    build(noTerminator, nullptr, 0, rc::nameTooLong);
    Bytes notProject = makeRecord({});
    notProject[0] = 'X';
    build(notProject, nullptr, 0, rc::fileError);
    EXPECT_EQ(TVX_MakeNar2(nullptr, "", dir.path("o.nar").c_str(), nullptr, 0), rc::badArgument);
    const std::string deepDir = dir.dir() + std::string(250, 'd') + "/";
    Bytes deep = makeRecord({{"abcdefghijk.txt", 255}});
    EXPECT_EQ(TVX_MakeNar2(deep.data(), deepDir.c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::nameTooLong);
}

TEST_F(ArchiveTest, LibraryMemberKeepsItsPadding) {
    dir.write("l.bas", std::string("A=1\nB=22\nC=33333\n"));  // 17 compacted bytes: a 64-byte library
    ASSERT_EQ(TVX_MakeNlib(dir.path("l.bas").c_str(), dir.path("l.nlb").c_str()), rc::ok);
    ASSERT_EQ(dir.read("l.nlb").size(), 64u);
    const Bytes plain = deciphered(build(makeRecord({{"l.nlb", 2}})));
    const uint8_t* entry = plain.data() + 32 + 64;
    EXPECT_EQ(getU32(entry + 28), 52u);  // 48 content bytes, a zero, padding
    EXPECT_EQ(std::memcmp(plain.data() + 132, "A=1\nB=22\nC=33333\n", 17), 0);
    const Bytes lib = deciphered(dir.read("l.nlb"));
    EXPECT_EQ(getU32(entry + 32), getU32(lib.data() + 8));
}

TEST_F(ArchiveTest, ProjectFilesAreCheckedBeforeUse) {
    Bytes tiny(10, 0);
    std::memcpy(tiny.data(), "NPJ", 4);
    dir.write("tiny.prj", tiny);
    Bytes buffer(1024);
    EXPECT_EQ(TVX_MakeNar(dir.path("tiny.prj").c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::fileLength);
    EXPECT_EQ(TVX_MakeRealNpj(dir.path("tiny.prj").c_str(), buffer.data(), 1024), rc::fileLength);
    Bytes longer = makeRecord({});
    longer.push_back(0);
    dir.write("longer.prj", longer);
    EXPECT_EQ(TVX_MakeNar(dir.path("longer.prj").c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::fileLength);
    Bytes wrong = makeRecord({});
    wrong[1] = 'X';
    dir.write("wrong.prj", wrong);
    EXPECT_EQ(TVX_MakeNar(dir.path("wrong.prj").c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::fileError);
    EXPECT_EQ(TVX_MakeNar(dir.path("none.prj").c_str(), dir.path("o.nar").c_str(), nullptr, 0), rc::fileNotFound);
}

TEST_F(ArchiveTest, RealRecordGetsTheArchiveSizesAndHashes) {
    dir.write("a.bas", std::string("  x = 1   ' set x\r\n"));
    dir.write("b.txt", std::string("hello"));
    const Bytes record = makeRecord({{"a.bas", 1, 0}, {"b.txt", 255}});
    dir.write("p.prj", record);
    Bytes filled(record.size() + 8, 0xEE);
    EXPECT_EQ(TVX_MakeRealNpj(dir.path("p.prj").c_str(), filled.data(), static_cast<uint32_t>(record.size() - 1)),
              rc::bufferTooSmall);
    EXPECT_EQ(filled[0], 0xEE);
    ASSERT_EQ(TVX_MakeRealNpj(dir.path("p.prj").c_str(), filled.data(), static_cast<uint32_t>(filled.size())), rc::ok);
    EXPECT_EQ(filled[record.size()], 0xEE);
    const Bytes plain = deciphered(build(record));
    for (uint32_t i = 0; i < 2; ++i) {
        const size_t at = 64 + 36 * i;
        EXPECT_EQ(getU32(filled.data() + at + 28), getU32(plain.data() + 32 + at + 28)) << i;
        EXPECT_EQ(getU32(filled.data() + at + 32), getU32(plain.data() + 32 + at + 32)) << i;
    }
    EXPECT_EQ(getU32(filled.data() + 64 + 28), 8u);  // "x = 1 \n": 7 bytes

    Bytes inPlace = record;
    ASSERT_EQ(TVX_MakeRealNpjMem(dir.dir().c_str(), inPlace.data()), rc::ok);
    EXPECT_EQ(Bytes(inPlace.begin() + 64, inPlace.end()), Bytes(filled.begin() + 64, filled.begin() + record.size()));
    Bytes picture = makeRecord({{"b.txt", 22}});
    EXPECT_EQ(TVX_MakeRealNpjMem(dir.dir().c_str(), picture.data()), rc::fileError);
}

TEST_F(ArchiveTest, ReaderRefusesDamagedArchivesWithoutReadingOutside) {
    dir.write("m.txt", std::string("abcdef"));
    const Bytes plain = deciphered(build(makeRecord({{"m.txt", 255}})));  // 140 bytes, rounded to 160
    ASSERT_EQ(plain.size(), 160u);
    const size_t entry = 32 + 64;
    struct Case {
        const char* what;
        void (*damage)(Bytes&, size_t entry);
        ArchiveFault fault;
    };
    const Case cases[] = {
        {"intact", [](Bytes&, size_t) {}, ArchiveFault::none},
        {"truncated", [](Bytes& a, size_t) { a.resize(64); }, ArchiveFault::tooShort},
        {"length field", [](Bytes& a, size_t) { putU32(a.data() + 4, 128); }, ArchiveFault::badLength},
        {"version", [](Bytes& a, size_t) { putU16(a.data() + 10, 2); }, ArchiveFault::badVersion},
        {"record magic", [](Bytes& a, size_t) { a[33] = 'X'; }, ArchiveFault::badProject},
        {"entry count", [](Bytes& a, size_t) { putU16(a.data() + 44, 0xFFFF); }, ArchiveFault::badProject},
        {"odd slot", [](Bytes& a, size_t e) { putU32(a.data() + e + 28, 6); }, ArchiveFault::badSlot},
        {"huge slot", [](Bytes& a, size_t e) { putU32(a.data() + e + 28, 0xFFFFFFFC); }, ArchiveFault::slotOverrun},
        {"extra block",
         [](Bytes& a, size_t) {
             a.resize(192, 0);
             putU32(a.data() + 4, 192);
         },
         ArchiveFault::sizeMismatch},
        {"hash", [](Bytes& a, size_t e) { a[e + 32] ^= 1; }, ArchiveFault::hashMismatch},
    };
    for (const Case& c : cases) {
        Bytes damaged = plain;
        c.damage(damaged, entry);
        for (size_t at = 0; at + 32 <= damaged.size(); at += 32) encipherBlock(damaged.data() + at);
        ArchiveReader reader;
        ASSERT_EQ(reader.open(damaged.data(), damaged.size()), rc::ok) << c.what;
        EXPECT_EQ(reader.fault(), c.fault) << c.what;
    }
    ArchiveReader reader;
    const Bytes junk(200, 0x55);
    ASSERT_EQ(reader.open(junk.data(), junk.size()), rc::ok);
    EXPECT_EQ(reader.fault(), ArchiveFault::badMagic);
}

// ---- with the simulated controller --------------------------------------

class ArchiveControllerTest : public ArchiveTest {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), rc::ok); }

    // Transfers started with `code` (block number 0).
    size_t transferStarts(uint16_t code) const {
        size_t n = 0;
        for (const Bytes& r : c.requests) n += r.size() >= 8 && getU16(r.data() + 2) == code && getU16(r.data() + 6) == 0;
        return n;
    }
    uint8_t runState() {
        uint8_t s = 0xEE;
        EXPECT_EQ(TVX_GetState(c.handle, &s), rc::ok);
        return s;
    }
    uint8_t taskState(uint32_t task, std::string* name = nullptr) {
        uint8_t s = 0xEE;
        char text[27] = {};
        EXPECT_EQ(TVX_GetTaskState(c.handle, task, &s, nullptr, nullptr, nullptr, text), rc::ok);
        if (name) *name = text;
        return s;
    }

    // One member of every kind, typed by the project text file.
    Bytes everyKindProject() {
        dir.write("main.bas", std::string("' main program\r\n  print \"hello\"  \r\n"));
        dir.write("util.bas", std::string("global speed\r\nspeed = 5\r\n"));
        EXPECT_EQ(TVX_MakeNlib(dir.path("util.bas").c_str(), dir.path("util.nlb").c_str()), rc::ok);
        Bytes section;
        testing::appendNumberedLabel(section, 3);
        dir.write("labels.plc", testing::makePlcFile(section));
        EXPECT_EQ(TVX_MakeNlib(dir.path("labels.plc").c_str(), dir.path("labels.nlb").c_str()), rc::ok);
        dir.write("ladder.plc", testing::makePlcFile(Bytes{1, 2, 3, 0, 5, 6}));
        dir.write("panel.hmi", unmirrored(testing::bytesOf("HMI page 1")));
        dir.write("part.nc", std::string("G0 X10\nG1 Y20\n"));
        dir.write("logo.bmp", testing::makeBmp24(3, 2));
        dir.write("small.nft", Bytes{0, 1, 2, 3, 4, 5, 6});
        dir.write("data.n3p", std::string("other"));
        dir.write("demo.npj", std::string("[Controller]\nFiles=10\n[FileList]\n"
                                          "File1=main.bas\nAutoRun1=0\nFile2=util.nlb\nFile3=labels.nlb\n"
                                          "File4=ladder.plc\nAutoRun4=1\nFile5=panel.hmi\nFile6=part.nc\n"
                                          "File7=logo.bmp\nFile8=small.nft\nFile9=data.n3p\n"
                                          "File10=util.bas\n"));
        Bytes record(TVX_PROJECT_RECORD_MAX_BYTES);
        EXPECT_EQ(TVX_MakeMultiFileNpj(record.data(), nullptr, dir.path("demo.npj").c_str()), rc::ok);
        record.resize(64 + 36 * 10);
        return record;
    }

    testing::InProcessController c{Framing::tcp};
};

TEST_F(ArchiveControllerTest, EveryKindOfMemberBuildsChecksDownloadsAndRuns) {
    Bytes record = everyKindProject();
    const uint8_t types[] = {1, 2, 3, 4, 5, 7, 21, 40, 6, 1};
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(record[64 + 36 * i + 26], types[i]) << i;

    // Built to a file, the archive reads back clean.
    const Bytes file = build(record);
    ArchiveReader reader;
    ASSERT_EQ(reader.open(file.data(), file.size()), rc::ok);
    EXPECT_EQ(reader.fault(), ArchiveFault::none) << archiveFaultText(reader.fault());
    EXPECT_EQ(reader.form(), ArchiveForm::enciphered);
    ASSERT_EQ(reader.entryCount(), 10u);
    EXPECT_STREQ(reader.entry(6).name, "logo.bmp");
    EXPECT_EQ(std::memcmp(reader.plain() + reader.entry(6).offset, "PIC", 4), 0);
    EXPECT_EQ(std::memcmp(reader.plain() + reader.entry(4).offset, "HMI page 1", 10), 0);

    // Stored on the controller, which checks it and makes it the current project.
    ASSERT_EQ(TVX_MakeNarAndDown2(c.handle, record.data(), dir.dir().c_str(), "pw", 7), rc::ok);
    EXPECT_EQ(c.controller.transfers().programs().lastCheck().fault, ArchiveFault::none);
    Bytes project(TVX_PROJECT_RECORD_MAX_BYTES);
    uint32_t got = 0;
    ASSERT_EQ(TVX_UpCurNpjToMem(c.handle, project.data(), static_cast<uint32_t>(project.size()), &got), rc::ok);
    ASSERT_EQ(got, 64u + 36 * 10);
    EXPECT_EQ(Bytes(project.begin() + 64, project.begin() + got), Bytes(reader.record() + 64, reader.record() + got));
    EXPECT_EQ(TVX_UpCurNpjToMem(c.handle, project.data(), 100, &got), rc::bufferTooSmall);
    EXPECT_EQ(runState(), sim::kRunStopped);

    // Run from RAM: the auto-run programs start on their tasks.
    ASSERT_EQ(TVX_MakeNarAndRamRun2(c.handle, record.data(), dir.dir().c_str(), nullptr, 0), rc::ok);
    EXPECT_EQ(runState(), sim::kRunRunning);
    std::string name;
    EXPECT_EQ(taskState(0, &name), sim::kRunRunning);
    EXPECT_EQ(name, "main.bas");
    EXPECT_EQ(taskState(1, &name), sim::kRunRunning);
    EXPECT_EQ(name, "ladder.plc");

    ASSERT_EQ(TVX_Pause(c.handle), rc::ok);
    EXPECT_EQ(runState(), sim::kRunPaused);
    EXPECT_EQ(taskState(1), sim::kRunPaused);
    uint8_t stopped = 0xEE;
    EXPECT_EQ(TVX_GetStopPauseTaskid(c.handle, &stopped), rc::ok);
    EXPECT_EQ(stopped, 0);
    ASSERT_EQ(TVX_Resume(c.handle), rc::ok);
    EXPECT_EQ(runState(), sim::kRunRunning);
    ASSERT_EQ(TVX_Stop(c.handle), rc::ok);
    EXPECT_EQ(runState(), sim::kRunStopped);
    EXPECT_EQ(taskState(0), sim::kRunStopped);

    ASSERT_EQ(TVX_RunNarFile(c.handle, "UTIL.BAS"), rc::ok);
    EXPECT_EQ(taskState(0, &name), sim::kRunRunning);
    EXPECT_EQ(name, "util.bas");
    EXPECT_NE(TVX_RunNarFile(c.handle, "absent.bas"), rc::ok);
    EXPECT_EQ(TVX_RunNarFile(c.handle, std::string(2045, 'n').c_str()), rc::badArgument);
}

TEST_F(ArchiveControllerTest, TheControllerRefusesATamperedMember) {
    Bytes record = everyKindProject();
    const Bytes file = build(record);
    ArchiveReader reader;
    ASSERT_EQ(reader.open(file.data(), file.size()), rc::ok);
    ASSERT_EQ(TVX_DownMemNar(c.handle, file.data(), static_cast<uint32_t>(file.size()), "demo.nar"), rc::ok);
    ASSERT_NE(c.controller.transfers().files().get("demo.nar"), nullptr);

    for (uint16_t member : {0, 3, 6, 7}) {
        Bytes plain(reader.plain(), reader.plain() + reader.size());
        plain[reader.entry(member).offset + 1] ^= 0x20;
        Bytes tampered = plain;
        for (size_t at = 0; at < tampered.size(); at += 32) encipherBlock(tampered.data() + at);
        const int32_t r = TVX_DownMemNar(c.handle, tampered.data(), static_cast<uint32_t>(tampered.size()), "bad.nar");
        EXPECT_NE(r, rc::ok) << member;
        const sim::ArchiveCheck& check = c.controller.transfers().programs().lastCheck();
        EXPECT_EQ(check.fault, ArchiveFault::hashMismatch) << member;
        EXPECT_EQ(check.faultEntry, member);
        EXPECT_EQ(c.controller.transfers().files().get("bad.nar"), nullptr);

        ArchiveReader again;
        ASSERT_EQ(again.open(tampered.data(), tampered.size()), rc::ok);
        EXPECT_EQ(again.fault(), ArchiveFault::hashMismatch);
    }
}

TEST_F(ArchiveControllerTest, RamRunConversions) {
    dir.write("m.bas", std::string("print 1\n"));
    const Bytes record = makeRecord({{"m.bas", 1, 0}});
    const Bytes enciphered = build(record);
    const Bytes plain = deciphered(enciphered);
    Bytes mirrored = plain;
    byteMirror(mirrored.data(), mirrored.size());

    // A mirrored archive file is refused before anything is sent.
    dir.write("mirrored.nar", mirrored);
    const size_t before = c.requests.size();
    EXPECT_EQ(TVX_DownNarToRamAndRun(c.handle, dir.path("mirrored.nar").c_str()), rc::fileError);
    EXPECT_EQ(c.requests.size(), before);

    // An enciphered file goes as the mirrored form of the same archive.
    ASSERT_EQ(TVX_DownNarToRamAndRun(c.handle, dir.path("out.nar").c_str()), rc::ok);
    EXPECT_EQ(*c.controller.transfers().files().get("ram.nar"), mirrored);
    EXPECT_EQ(unmirrored(mirrored)[8], 1);  // the form flag stays
    EXPECT_EQ(runState(), sim::kRunRunning);

    // From memory: the mirrored form unchanged, the enciphered one converted.
    ASSERT_EQ(TVX_Stop(c.handle), rc::ok);
    ASSERT_EQ(TVX_DownMemNarToRamAndRun(c.handle, mirrored.data(), static_cast<uint32_t>(mirrored.size())), rc::ok);
    EXPECT_EQ(*c.controller.transfers().files().get("ram.nar"), mirrored);
    ASSERT_EQ(TVX_DownMemNarToRamAndRun(c.handle, enciphered.data(), static_cast<uint32_t>(enciphered.size())), rc::ok);
    EXPECT_EQ(*c.controller.transfers().files().get("ram.nar"), mirrored);
    EXPECT_EQ(transferStarts(102), 3u);
    // Under one block: sent as it is, and refused by the controller's check.
    EXPECT_NE(TVX_DownMemNarToRamAndRun(c.handle, mirrored.data(), 20), rc::ok);
    EXPECT_EQ(TVX_DownMemNarToRamAndRun(c.handle, nullptr, 20), rc::badArgument);
    EXPECT_EQ(TVX_DownMemNarToRamAndRun(c.handle, mirrored.data(), 0), rc::badArgument);
}

TEST_F(ArchiveControllerTest, HandleChecksAndUnsupportedUploads) {
    TVX_HANDLE bad = reinterpret_cast<TVX_HANDLE>(0x1234);
    Bytes record = makeRecord({});
    EXPECT_EQ(TVX_MakeNarAndDown2(bad, record.data(), "", nullptr, 0), rc::invalidHandle);
    EXPECT_EQ(TVX_MakeNarAndRamRun(bad, "x.prj", nullptr, 0), rc::invalidHandle);
    EXPECT_EQ(TVX_DownNarToRamAndRun(bad, "x.nar"), rc::invalidHandle);
    EXPECT_EQ(TVX_Pause(bad), rc::invalidHandle);
    EXPECT_EQ(TVX_RunNarFile(bad, nullptr), rc::invalidHandle);
    EXPECT_EQ(TVX_UpNarToProject(c.handle, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_UpNar(c.handle, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_EnumSub(c.handle, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_UpNarToMem(c.handle, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_EnumArray(c.handle, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_EnumLabel(c.handle, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_EnumPara(c.handle, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    // Nothing loaded yet: the controller has nothing to resume or upload.
    EXPECT_NE(TVX_Resume(c.handle), rc::ok);
    Bytes project(128);
    uint32_t got = 0;
    EXPECT_NE(TVX_UpCurNpjToMem(c.handle, project.data(), 128, &got), rc::ok);
}

}  // namespace
}  // namespace tvx
