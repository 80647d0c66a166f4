#include "frontends/windows/CngSealing.h"

#include "core/shell/RuntimeError.h"
#include "frontends/windows/Win32.h"

#include <bcrypt.h>

#include <climits>
#include <vector>

namespace frontend {

namespace {

// The status the headers name only for kernel-mode code: an authentication tag that does not match.
constexpr NTSTATUS StatusAuthTagMismatch = NTSTATUS(0xC000A002);

[[noreturn]] void failed(std::u16string_view call)
{
    throw RuntimeError::toolkitFailure(call);
}

ULONG length(std::size_t size)
{
    if (size > std::size_t(ULONG_MAX))
        failed(u"Length");
    return ULONG(size);
}

// CNG takes its inputs through non-const pointers but does not write them.
PUCHAR input(std::span<const std::uint8_t> bytes)
{
    return const_cast<PUCHAR>(bytes.data());
}

class Provider {
public:
    Provider(const wchar_t* algorithm, ULONG flags)
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_handle, algorithm, nullptr, flags)))
            failed(u"BCryptOpenAlgorithmProvider");
    }
    ~Provider() { BCryptCloseAlgorithmProvider(m_handle, 0); }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return m_handle; }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

void hmacSha256(const Provider& hmac, std::span<const std::uint8_t> key, std::string_view label,
                std::span<std::uint8_t, 32> out)
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    const auto text = std::span(reinterpret_cast<const std::uint8_t*>(label.data()), label.size());
    const bool done =
        BCRYPT_SUCCESS(BCryptCreateHash(hmac.get(), &hash, nullptr, 0, input(key), length(key.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptHashData(hash, input(text), length(text.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptFinishHash(hash, out.data(), length(out.size()), 0));
    if (hash)
        BCryptDestroyHash(hash);
    if (!done)
        failed(u"BCryptHash");
}

} // namespace

void CngSealing::derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                                std::uint32_t iterations, roster::PairKeys& keys)
{
    const Provider hmac(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    // The pair's key is wiped however this ends, a failing HMAC included.
    struct Key {
        std::array<std::uint8_t, roster::KeySize> bytes{};
        ~Key() { SecureZeroMemory(bytes.data(), bytes.size()); }
    } key;
    if (!BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(hmac.get(), input(pair), length(pair.size()), input(salt),
                                              length(salt.size()), iterations, key.bytes.data(),
                                              length(key.bytes.size()), 0)))
        failed(u"BCryptDeriveKeyPBKDF2");
    hmacSha256(hmac, key.bytes, roster::LookupTagLabel, keys.lookupTag);
    hmacSha256(hmac, key.bytes, roster::RowKeyLabel, keys.rowKey);
}

bool CngSealing::openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                            std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                            std::span<std::uint8_t> record)
{
    if (rowKey.size() != roster::KeySize || nonce.size() != roster::NonceSize ||
        sealed.size() != record.size() + roster::AuthTagSize)
        return false;
    const Provider aes(BCRYPT_AES_ALGORITHM, 0);
    const auto mode = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM));
    if (!BCRYPT_SUCCESS(BCryptSetProperty(aes.get(), BCRYPT_CHAINING_MODE, mode, sizeof BCRYPT_CHAIN_MODE_GCM, 0)))
        failed(u"BCryptSetProperty");
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptGenerateSymmetricKey(aes.get(), &key, nullptr, 0, input(rowKey), length(rowKey.size()), 0)))
        failed(u"BCryptGenerateSymmetricKey");
    std::span<const std::uint8_t> ciphertext = sealed.first(record.size());
    std::span<const std::uint8_t> authTag = sealed.last(roster::AuthTagSize);
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = input(nonce);
    info.cbNonce = length(nonce.size());
    info.pbAuthData = input(associatedData);
    info.cbAuthData = length(associatedData.size());
    info.pbTag = input(authTag);
    info.cbTag = length(authTag.size());
    ULONG written = 0;
    const NTSTATUS status = BCryptDecrypt(key, input(ciphertext), length(ciphertext.size()), &info, nullptr, 0,
                                          record.data(), length(record.size()), &written, 0);
    BCryptDestroyKey(key);
    if (status == StatusAuthTagMismatch) {
        SecureZeroMemory(record.data(), record.size());
        return false;
    }
    if (!BCRYPT_SUCCESS(status) || written != record.size())
        failed(u"BCryptDecrypt");
    return true;
}

void CngSealing::wipe(std::span<std::uint8_t> bytes)
{
    SecureZeroMemory(bytes.data(), bytes.size());
}

} // namespace frontend
