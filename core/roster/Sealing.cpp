#include "core/roster/Sealing.h"
#include "core/roster/CandidateRoster.h"
#include "core/shell/RuntimeError.h"

#include <type_traits>
#include <vector>

namespace roster {

namespace {

Sealing* g_sealing = nullptr;

std::span<std::uint8_t> writableBytes(std::vector<std::uint8_t>& bytes)
{
    return bytes;
}

template <class Plain>
requires std::is_trivially_copyable_v<Plain> std::span<std::uint8_t> writableBytes(Plain& value)
{
    return {reinterpret_cast<std::uint8_t*>(&value), sizeof value};
}

// Key material and opened records, wiped by the platform's library when they go.
template <class Bytes> struct Secret {
    explicit Secret(Sealing& crypto)
        : crypto(crypto)
    {
    }
    Secret(Sealing& crypto, std::size_t size)
        : crypto(crypto)
        , bytes(size)
    {
    }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { crypto.wipe(writableBytes(bytes)); }

    Sealing& crypto;
    Bytes bytes{};
};

void appendLength(std::vector<std::uint8_t>& out, std::size_t length)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t(length >> shift));
}

void appendUtf16(std::vector<std::uint8_t>& out, std::u16string_view text)
{
    for (const char16_t unit : text) {
        out.push_back(std::uint8_t(unit));
        out.push_back(std::uint8_t(unit >> 8));
    }
}

// The exact pair, without ambiguity: each text's length in code units (32 bits, little-endian), then its UTF-16LE.
void encodePair(std::vector<std::uint8_t>& out, std::u16string_view idText, std::u16string_view ticketText)
{
    out.reserve(8 + 2 * (idText.size() + ticketText.size())); // exact, so that no copy is left behind unwiped
    appendLength(out, idText.size());
    appendUtf16(out, idText);
    appendLength(out, ticketText.size());
    appendUtf16(out, ticketText);
}

// One field of an opened record: its length in code units (one byte), then its UTF-16LE.
bool readField(std::span<const std::uint8_t> record, std::size_t& at, std::u16string& text)
{
    if (at >= record.size())
        return false;
    const std::size_t units = record[at++];
    if (units * 2 > record.size() - at)
        return false;
    text.resize(units); // into the capacity reserved for it: nothing is reallocated and left behind
    for (std::size_t i = 0; i < units; ++i, at += 2)
        text[i] = char16_t(record[at] | record[at + 1] << 8);
    return true;
}

RuntimeError altered()
{
    return RuntimeError::invalidFileFormat(u"CandidateRoster");
}

void openRow(Sealing& crypto, CandidateRoster& roster, int row, std::span<const std::uint8_t> rowKey)
{
    const SealedTable& table = *roster.sealedRows;
    const SealedRow& sealed = table.rows[std::size_t(row - 1)];
    if (sealed.sealed.size() != table.recordSize + AuthTagSize)
        throw altered();
    // The row's position as associated data: a record moved to another position does not open.
    const std::array<std::uint8_t, 2> rowNumber{std::uint8_t(row), std::uint8_t(row >> 8)};
    Secret<std::vector<std::uint8_t>> record(crypto, table.recordSize);
    if (!crypto.openRecord(rowKey, sealed.nonce, rowNumber, sealed.sealed, record.bytes))
        throw altered();
    // A field is at most the record long; reserved whole, so that reading it never moves it.
    HeldText name, score;
    name.text.reserve(table.recordSize);
    score.text.reserve(table.recordSize);
    std::size_t at = 0;
    const bool read = readField(record.bytes, at, name.text) && readField(record.bytes, at, score.text);
    if (!read)
        throw altered();
    roster.CandidateName(row) = std::u16string_view(name);
    roster.Score(row) = std::u16string_view(score);
    roster.openedRow = row;
}

} // namespace

Sealing& sealing()
{
    if (!g_sealing)
        throw RuntimeError::toolkitFailure(u"Sealing");
    return *g_sealing;
}

void setSealing(Sealing* implementation)
{
    g_sealing = implementation;
}

void wipeHeld(std::span<std::uint8_t> bytes)
{
    if (g_sealing && !bytes.empty())
        g_sealing->wipe(bytes);
}

void wipeHeld(std::u16string& text)
{
    // The whole buffer, not only the current length: an earlier, longer text may have left its tail there.
    wipeHeld(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.capacity() * sizeof(char16_t)));
}

void forgetOpenedRow(CandidateRoster& roster)
{
    if (!roster.openedRow)
        return;
    roster.CandidateName(roster.openedRow) = SlotText();
    roster.Score(roster.openedRow) = SlotText();
    roster.openedRow = 0;
}

void findSealedCandidate(CandidateRoster& roster, std::u16string_view idText, std::u16string_view ticketText,
                         Int16Counter& CurrentRow)
{
    Sealing& crypto = sealing();
    const SealedTable& table = *roster.sealedRows;
    // Only the row found last is ever open.
    forgetOpenedRow(roster);

    // The keys live here alone and are wiped when the lookup ends, however it ends.
    Secret<PairKeys> keys(crypto);
    {
        Secret<std::vector<std::uint8_t>> pair(crypto);
        encodePair(pair.bytes, idText, ticketText);
        crypto.derivePairKeys(pair.bytes, table.salt, table.iterations, keys.bytes);
    }
    const std::array<std::uint8_t, TagSize>& lookupTag = keys.bytes.lookupTag;

    // Every row's tag, with no early exit; the first match wins.
    int found = NotFound;
    for (CurrentRow = 1; CurrentRow <= RowCount; CurrentRow.step()) {
        const SealedRow& row = table.rows[std::size_t(CurrentRow - 1)];
        std::uint8_t difference = 0;
        for (std::size_t i = 0; i < TagSize; ++i)
            difference |= std::uint8_t(row.tag[i] ^ lookupTag[i]);
        if (difference == 0 && found == NotFound)
            found = CurrentRow;
    }
    CurrentRow = found;
    if (found != NotFound)
        openRow(crypto, roster, found, keys.bytes.rowKey);
}

} // namespace roster
