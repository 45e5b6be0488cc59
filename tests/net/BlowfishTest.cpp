#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/Blowfish.h"
#include "net/CredentialCipher.h"
#include "tests/support/CredentialDecryption.h"

namespace ambro::net {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> hexBytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct CipherVector {
    std::vector<std::uint8_t> key;
    std::uint64_t plain;
    std::uint64_t cipher;
    friend void PrintTo(const CipherVector& v, std::ostream* out) {
        *out << std::hex << v.cipher;
    }
};

class BlowfishVectors : public testing::TestWithParam<CipherVector> {};

// The cipher's published ECB vectors: blocks as two big-endian halves.
TEST_P(BlowfishVectors, EncryptsAndDecryptsThePublishedBlock) {
    const CipherVector& vector = GetParam();
    const Blowfish cipher(vector.key);
    std::uint32_t left = static_cast<std::uint32_t>(vector.plain >> 32);
    std::uint32_t right = static_cast<std::uint32_t>(vector.plain);
    cipher.encryptBlock(left, right);
    EXPECT_EQ((std::uint64_t{left} << 32) | right, vector.cipher);
    cipher.decryptBlock(left, right);
    EXPECT_EQ((std::uint64_t{left} << 32) | right, vector.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Published, BlowfishVectors,
    testing::Values(
        CipherVector{hexBytes("0000000000000000"), 0x0000000000000000, 0x4EF997456198DD78},
        CipherVector{hexBytes("FFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
        CipherVector{hexBytes("3000000000000000"), 0x1000000000000001, 0x7D856F9A613063F2},
        CipherVector{hexBytes("1111111111111111"), 0x1111111111111111, 0x2466DD878B963C9D},
        CipherVector{hexBytes("0123456789ABCDEF"), 0x1111111111111111, 0x61F9C3802281B096},
        CipherVector{hexBytes("FEDCBA9876543210"), 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
        CipherVector{bytesOf("abcdefghijklmnopqrstuvwxyz"), 0x424C4F5746495348,
                     0x324ED0FEF413A203}));

TEST(CredentialCipher, FieldIsTextCutTo32BytesAndZeroPadded) {
    const CredentialField shortField = makeCredentialField("Guest");
    EXPECT_EQ(std::string(shortField.begin(), shortField.begin() + 5), "Guest");
    for (std::size_t i = 5; i < shortField.size(); ++i) EXPECT_EQ(shortField[i], 0);

    const std::string longText(40, 'x');
    const CredentialField longField = makeCredentialField(longText);
    EXPECT_EQ(std::string(longField.begin(), longField.end()), std::string(32, 'x'));
}

// The login reads each 8-byte block as two little-endian words. A 16-byte key
// made of an 8-byte key twice schedules exactly like the 8-byte key, so the
// published vector (key FEDCBA9876543210, block 0123456789ABCDEF) applies to
// the byte-swapped halves.
TEST(CredentialCipher, BlocksAreLittleEndianWordPairs) {
    const auto key = hexBytes("FEDCBA9876543210FEDCBA9876543210");
    const Blowfish cipher(key);
    CredentialField field{};
    const auto plain = hexBytes("67452301EFCDAB89");
    std::copy(plain.begin(), plain.end(), field.begin());

    encryptCredentialField(cipher, field);
    EXPECT_EQ(std::vector<std::uint8_t>(field.begin(), field.begin() + 8),
              hexBytes("0FABCE0A8DA2A0C6"));

    test::decryptCredentialField(cipher, field);
    EXPECT_EQ(std::vector<std::uint8_t>(field.begin(), field.begin() + 8), plain);
    for (std::size_t i = 8; i < field.size(); ++i) EXPECT_EQ(field[i], 0);
}

}  // namespace
}  // namespace ambro::net
