// The archive cipher against libmcrypt's independent "rijndael-256" (256-bit
// block, 256-bit key, ECB), and the start-up key handling.
#include <gtest/gtest.h>
#include <mcrypt.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/result_codes.h"
#include "base/archive_cipher.h"

namespace tvx {
namespace {

using Block = std::array<uint8_t, 32>;

// One libmcrypt ECB module keyed with `key`.
class McryptRijndael {
public:
    explicit McryptRijndael(const uint8_t* key) {
        module_ = mcrypt_module_open(const_cast<char*>("rijndael-256"), nullptr, const_cast<char*>("ecb"), nullptr);
        EXPECT_TRUE(module_ != MCRYPT_FAILED);
        EXPECT_EQ(mcrypt_enc_get_block_size(module_), 32);
        std::vector<uint8_t> k(key, key + 32);
        EXPECT_EQ(mcrypt_generic_init(module_, k.data(), 32, nullptr), 0);
    }
    ~McryptRijndael() {
        mcrypt_generic_deinit(module_);
        mcrypt_module_close(module_);
    }
    void encipher(uint8_t* block) { mcrypt_generic(module_, block, 32); }
    void decipher(uint8_t* block) { mdecrypt_generic(module_, block, 32); }

private:
    MCRYPT module_;
};

class ArchiveCipherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), rc::ok); }
};

TEST_F(ArchiveCipherTest, AgreesWithMcryptOnRandomKeysAndBlocks) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int k = 0; k < 200; ++k) {
        uint8_t key[32];
        for (uint8_t& b : key) b = static_cast<uint8_t>(byte(rng));
        RijndaelKeySchedule schedule;
        expandRijndaelKey(key, &schedule);
        McryptRijndael reference(key);
        for (int n = 0; n < 8; ++n) {
            Block plain;
            for (uint8_t& b : plain) b = static_cast<uint8_t>(byte(rng));
            Block ours = plain;
            Block theirs = plain;
            rijndaelEncipher(schedule, ours.data());
            reference.encipher(theirs.data());
            ASSERT_EQ(ours, theirs) << "encipher, key " << k << " block " << n;
            // Decipher an arbitrary block (not only our own output).
            Block back = plain;
            Block refBack = plain;
            rijndaelDecipher(schedule, back.data());
            reference.decipher(refBack.data());
            ASSERT_EQ(back, refBack) << "decipher, key " << k << " block " << n;
            rijndaelDecipher(schedule, ours.data());
            ASSERT_EQ(ours, plain);
        }
    }
}

TEST_F(ArchiveCipherTest, FixedVectors) {
    // Ciphertexts computed by libmcrypt's rijndael-256.
    struct Vector {
        uint8_t key[32];
        uint8_t plain[32];
        Block cipher;
    };
    std::vector<Vector> vectors(3);
    std::memset(vectors[0].key, 0, 32);
    std::memset(vectors[0].plain, 0, 32);
    vectors[0].cipher = {0xC6, 0x22, 0x7E, 0x77, 0x40, 0xB7, 0xE5, 0x3B, 0x5C, 0xB7, 0x78, 0x65, 0x27, 0x8E, 0xAB, 0x07,
                         0x26, 0xF6, 0x23, 0x66, 0xD9, 0xAA, 0xBA, 0xD9, 0x08, 0x93, 0x61, 0x23, 0xA1, 0xFC, 0x8A, 0xF3};
    for (int i = 0; i < 32; ++i) {
        vectors[1].key[i] = static_cast<uint8_t>(i);
        vectors[1].plain[i] = static_cast<uint8_t>(0x20 + i);
        vectors[2].key[i] = 0xFF;
        vectors[2].plain[i] = static_cast<uint8_t>(i * 17);
    }
    vectors[1].cipher = {0x1A, 0x3E, 0xE9, 0x8D, 0x34, 0x2A, 0xF3, 0xE1, 0xF8, 0x36, 0xB5, 0x41, 0xEA, 0x69, 0xEC, 0x86,
                         0x53, 0x1D, 0xD1, 0x93, 0x63, 0x53, 0x47, 0xBD, 0x5D, 0x28, 0x68, 0xDB, 0x92, 0xCF, 0x65, 0xC2};
    vectors[2].cipher = {0x26, 0x83, 0xDA, 0x51, 0xBF, 0xC7, 0x13, 0xB2, 0x40, 0x6A, 0x2C, 0xF5, 0x98, 0xF2, 0x6B, 0x6F,
                         0x97, 0xF0, 0xBA, 0xF7, 0x0E, 0xFF, 0x91, 0x2C, 0x0E, 0xE2, 0x1A, 0x2E, 0x2E, 0x48, 0xC9, 0xAF};
    for (const Vector& v : vectors) {
        RijndaelKeySchedule schedule;
        expandRijndaelKey(v.key, &schedule);
        Block block;
        std::memcpy(block.data(), v.plain, 32);
        rijndaelEncipher(schedule, block.data());
        EXPECT_EQ(block, v.cipher);
        rijndaelDecipher(schedule, block.data());
        EXPECT_EQ(0, std::memcmp(block.data(), v.plain, 32));
    }
}

TEST_F(ArchiveCipherTest, BuiltInKeyMatchesMcryptAndRoundTrips) {
    uint8_t key[32];
    ASSERT_EQ(parseCipherKeyText("DB1B996F79BC538BD7C1FAD5C7339F0AC22B9D083F7DADFF088C2C887992AF7D", key), rc::ok);
    McryptRijndael reference(key);
    ASSERT_TRUE(archiveCipherReady());
    std::mt19937 rng(7);
    for (int n = 0; n < 64; ++n) {
        Block plain;
        for (uint8_t& b : plain) b = static_cast<uint8_t>(rng());
        Block ours = plain;
        Block theirs = plain;
        EXPECT_EQ(encipherBlock(ours.data()), 0);
        reference.encipher(theirs.data());
        ASSERT_EQ(ours, theirs);
        EXPECT_NE(ours, plain);
        EXPECT_EQ(decipherBlock(ours.data()), 0);
        ASSERT_EQ(ours, plain);
    }
}

TEST(CipherKeyText, ParsesDigitsAndRefusesOthers) {
    struct Case {
        const char* text;
        int32_t result;
        std::vector<uint8_t> leading;  // expected first key bytes; the rest zero
    };
    const std::vector<Case> cases = {
        {"", rc::ok, {}},
        {"AB", rc::ok, {0xAB}},
        {"abc", rc::ok, {0xAB, 0xC0}},
        {"0123456789abcdefABCDEF", rc::ok, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
        {"12G4", rc::cipherKey, {}},
        {"12 4", rc::cipherKey, {}},
        {"-1", rc::cipherKey, {}},
    };
    for (const Case& c : cases) {
        uint8_t key[32];
        std::memset(key, 0x5A, sizeof key);
        EXPECT_EQ(parseCipherKeyText(c.text, key), c.result) << c.text;
        if (c.result != rc::ok) continue;
        for (size_t i = 0; i < 32; ++i) {
            EXPECT_EQ(key[i], i < c.leading.size() ? c.leading[i] : 0) << c.text << " byte " << i;
        }
    }
}

TEST(CipherKeyText, OnlyTheFirst64CharactersCount) {
    std::string text(64, 'F');
    uint8_t key[32];
    text[63] = 'x';
    EXPECT_EQ(parseCipherKeyText(text.c_str(), key), rc::cipherKey);
    text[63] = 'E';
    text += "not hex at all";
    ASSERT_EQ(parseCipherKeyText(text.c_str(), key), rc::ok);
    EXPECT_EQ(key[31], 0xFE);
    // Exactly 64 characters with no terminator: the parser must stop there
    // (an overread shows under AddressSanitizer).
    std::vector<char> unterminated(64, '7');
    ASSERT_EQ(parseCipherKeyText(unterminated.data(), key), rc::ok);
    EXPECT_EQ(key[0], 0x77);
    EXPECT_EQ(key[31], 0x77);
}

TEST_F(ArchiveCipherTest, BadKeyTextFailsWithoutRekeying) {
    Block before{};
    encipherBlock(before.data());
    testing::overrideCipherKeyText("00112233Q");
    EXPECT_EQ(initArchiveCipher(), rc::cipherKey);
    testing::overrideCipherKeyText(nullptr);
    Block after{};
    encipherBlock(after.data());
    EXPECT_EQ(before, after);
    EXPECT_TRUE(archiveCipherReady());
}

}  // namespace
}  // namespace tvx
