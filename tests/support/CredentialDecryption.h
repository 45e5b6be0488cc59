#pragma once

#include <cstddef>
#include <cstdint>

#include "net/Blowfish.h"
#include "net/CredentialCipher.h"
#include "platform/ByteOrder.h"

namespace ambro::test {

// The server's side of the login cipher: undoes encryptCredentialField, block
// by block, each 8-byte block read as two little-endian words.
inline void decryptCredentialField(const net::Blowfish& cipher, net::CredentialField& field) {
    for (std::size_t offset = 0; offset < field.size(); offset += 8) {
        std::uint32_t left = platform::loadLe32(field.data() + offset);
        std::uint32_t right = platform::loadLe32(field.data() + offset + 4);
        cipher.decryptBlock(left, right);
        platform::storeLe32(field.data() + offset, left);
        platform::storeLe32(field.data() + offset + 4, right);
    }
}

}  // namespace ambro::test
