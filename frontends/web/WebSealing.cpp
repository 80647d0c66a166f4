#include "frontends/web/WebSealing.h"

#include "core/shell/RuntimeError.h"

#include <cstddef>
#include <cstdint>

// page.js
extern "C" {
int page_derivePairKeys(const std::uint8_t* pair, int pairLength, const std::uint8_t* salt, int saltLength,
                        std::uint32_t iterations, const char* tagLabel, int tagLabelLength, const char* keyLabel,
                        int keyLabelLength, std::uint8_t* keys);
int page_openRecord(const std::uint8_t* rowKey, const std::uint8_t* nonce, const std::uint8_t* associatedData,
                    int associatedDataLength, const std::uint8_t* sealed, int sealedLength, std::uint8_t* record);
void page_wipe(void* bytes, int length);
}

namespace frontend {

namespace {

int length(std::size_t size)
{
    if (size > std::size_t(INT32_MAX))
        throw RuntimeError::toolkitFailure(u"Length");
    return int(size);
}

} // namespace

void WebSealing::derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                                std::uint32_t iterations, roster::PairKeys& keys)
{
    // The page writes both sub-keys into the caller's storage, in the order PairKeys holds them.
    static_assert(sizeof(roster::PairKeys) == roster::TagSize + roster::KeySize);
    static_assert(offsetof(roster::PairKeys, rowKey) == roster::TagSize);
    const int derived = page_derivePairKeys(pair.data(), length(pair.size()), salt.data(), length(salt.size()),
                                            iterations, roster::LookupTagLabel.data(),
                                            length(roster::LookupTagLabel.size()), roster::RowKeyLabel.data(),
                                            length(roster::RowKeyLabel.size()), keys.lookupTag.data());
    if (!derived)
        throw RuntimeError::toolkitFailure(u"PBKDF2");
}

bool WebSealing::openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                            std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                            std::span<std::uint8_t> record)
{
    if (rowKey.size() != roster::KeySize || nonce.size() != roster::NonceSize ||
        sealed.size() != record.size() + roster::AuthTagSize)
        return false;
    const int opened = page_openRecord(rowKey.data(), nonce.data(), associatedData.data(),
                                       length(associatedData.size()), sealed.data(), length(sealed.size()),
                                       record.data());
    if (opened < 0)
        throw RuntimeError::toolkitFailure(u"AES-GCM");
    return opened == 1;
}

void WebSealing::wipe(std::span<std::uint8_t> bytes)
{
    page_wipe(bytes.data(), length(bytes.size()));
}

} // namespace frontend
