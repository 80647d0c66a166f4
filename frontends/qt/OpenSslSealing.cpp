#include "frontends/qt/OpenSslSealing.h"

#include "core/shell/RuntimeError.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <climits>
#include <memory>

namespace frontend {

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

[[noreturn]] void failed(std::u16string_view call)
{
    throw RuntimeError::toolkitFailure(call);
}

int length(std::size_t size)
{
    if (size > std::size_t(INT_MAX))
        failed(u"Length");
    return int(size);
}

void hmacSha256(std::span<const std::uint8_t> key, std::string_view label, std::span<std::uint8_t, 32> out)
{
    unsigned int written = 0;
    if (!HMAC(EVP_sha256(), key.data(), length(key.size()), reinterpret_cast<const unsigned char*>(label.data()),
              label.size(), out.data(), &written) ||
        written != out.size())
        failed(u"HMAC");
}

} // namespace

void OpenSslSealing::derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                                    std::uint32_t iterations, roster::PairKeys& keys)
{
    // The pair's key is wiped however this ends, a failing HMAC included.
    struct Key {
        std::array<std::uint8_t, roster::KeySize> bytes{};
        ~Key() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    } key;
    if (iterations > std::uint32_t(INT_MAX) ||
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pair.data()), length(pair.size()), salt.data(),
                          length(salt.size()), int(iterations), EVP_sha256(), int(key.bytes.size()),
                          key.bytes.data()) != 1)
        failed(u"PKCS5_PBKDF2_HMAC");
    hmacSha256(key.bytes, roster::LookupTagLabel, keys.lookupTag);
    hmacSha256(key.bytes, roster::RowKeyLabel, keys.rowKey);
}

bool OpenSslSealing::openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                                std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                                std::span<std::uint8_t> record)
{
    if (rowKey.size() != roster::KeySize || nonce.size() != roster::NonceSize ||
        sealed.size() != record.size() + roster::AuthTagSize)
        return false;
    const CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!context)
        failed(u"EVP_CIPHER_CTX_new");
    std::span<const std::uint8_t> ciphertext = sealed.first(record.size());
    std::span<const std::uint8_t> authTag = sealed.last(roster::AuthTagSize);
    int written = 0;
    if (EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, int(nonce.size()), nullptr) != 1 ||
        EVP_DecryptInit_ex(context.get(), nullptr, nullptr, rowKey.data(), nonce.data()) != 1 ||
        EVP_DecryptUpdate(context.get(), nullptr, &written, associatedData.data(), length(associatedData.size())) !=
            1 ||
        EVP_DecryptUpdate(context.get(), record.data(), &written, ciphertext.data(), length(ciphertext.size())) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, int(authTag.size()),
                            const_cast<std::uint8_t*>(authTag.data())) != 1)
        failed(u"EVP_Decrypt");
    int last = 0;
    // The tag is checked here: a record that does not authenticate leaves nothing behind.
    if (EVP_DecryptFinal_ex(context.get(), record.data() + written, &last) != 1) {
        OPENSSL_cleanse(record.data(), record.size());
        return false;
    }
    return true;
}

void OpenSslSealing::wipe(std::span<std::uint8_t> bytes)
{
    OPENSSL_cleanse(bytes.data(), bytes.size());
}

} // namespace frontend
