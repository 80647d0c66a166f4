#pragma once

// The sealed roster's cryptography on Windows, from the system's CNG (bcrypt.dll, Windows 7 and later):
// BCryptDeriveKeyPBKDF2, HMAC-SHA256 and AES-256-GCM; SecureZeroMemory to wipe. Nothing but system DLLs.

#include "core/roster/Sealing.h"

namespace frontend {

class CngSealing : public roster::Sealing {
public:
    void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                        std::uint32_t iterations, roster::PairKeys& keys) override;
    bool openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                    std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                    std::span<std::uint8_t> record) override;
    void wipe(std::span<std::uint8_t> bytes) override;
};

} // namespace frontend
