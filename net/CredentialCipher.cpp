#include "net/CredentialCipher.h"

#include <algorithm>

#include "platform/ByteOrder.h"

namespace ambro::net {

using platform::loadLe32;
using platform::storeLe32;

CredentialField makeCredentialField(std::string_view text) {
    CredentialField field{};
    const std::size_t length = std::min(text.size(), field.size());
    std::copy_n(text.begin(), length, field.begin());
    return field;
}

void encryptCredentialField(const Blowfish& cipher, CredentialField& field) {
    for (std::size_t offset = 0; offset < field.size(); offset += 8) {
        std::uint32_t left = loadLe32(field.data() + offset);
        std::uint32_t right = loadLe32(field.data() + offset + 4);
        cipher.encryptBlock(left, right);
        storeLe32(field.data() + offset, left);
        storeLe32(field.data() + offset + 4, right);
    }
}

}  // namespace ambro::net
