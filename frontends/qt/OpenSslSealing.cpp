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

roster::PairKeys OpenSslSealing::derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                                                std::uint32_t iterations)
{
    std::array<std::uint8_t, roster::KeySize> key{};
    roster::PairKeys keys{};
    const bool derived =
        iterations <= std::uint32_t(INT_MAX) &&
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pair.data()), length(pair.size()), salt.data(),
                          length(salt.size()), int(iterations), EVP_sha256(), int(key.size()), key.data()) == 1;
    if (derived) {
        hmacSha256(key, roster::LookupTagLabel, keys.lookupTag);
        hmacSha256(key, roster::RowKeyLabel, keys.rowKey);
    }
    OPENSSL_cleanse(key.data(), key.size());
    if (!derived)
        failed(u"PKCS5_PBKDF2_HMAC");
    return keys;
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
