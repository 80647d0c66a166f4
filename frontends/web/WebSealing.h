#pragma once

// The sealed roster's cryptography on a web page: WebCrypto's PBKDF2, HMAC and AES-GCM, through page.js. Each call
// waits for WebCrypto's promise through Asyncify, with the page's busy indicator up while the key is derived.

#include "core/roster/Sealing.h"

namespace frontend {

class WebSealing final : public roster::Sealing {
public:
    void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                        std::uint32_t iterations, roster::PairKeys& keys) override;
    bool openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                    std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                    std::span<std::uint8_t> record) override;
    // A call into the page, which the compiler cannot drop as a dead store.
    void wipe(std::span<std::uint8_t> bytes) override;
};

} // namespace frontend
