#pragma once

// The sealed roster's cryptography on Linux, from OpenSSL's libcrypto: PBKDF2-HMAC-SHA256, HMAC-SHA256,
// AES-256-GCM and OPENSSL_cleanse. No Qt; the core's tests use it as the program does.

#include "core/roster/Sealing.h"

namespace frontend {

class OpenSslSealing : public roster::Sealing {
public:
    void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                        std::uint32_t iterations, roster::PairKeys& keys) override;
    bool openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                    std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                    std::span<std::uint8_t> record) override;
    void wipe(std::span<std::uint8_t> bytes) override;
};

} // namespace frontend
