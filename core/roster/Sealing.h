#pragma once

// The sealed roster: a table for publishing, from which no candidate's identity number, ticket number, name or
// score can be read by someone who does not already know that candidate's two numbers.
//
// Data flow: tools/seal_roster.py seals the table at build time. One random salt per sealing; for each row, the
// key of the row's exact pair (identity text, ticket text) is PBKDF2-HMAC-SHA256 over the pair with the salt, and
// from that key HMAC-SHA256 derives the row's lookup tag and the key that seals its name and score with AES-256-GCM,
// padded to one length. A lookup (FindCandidate on a roster that holds a SealedTable) derives the tag of the two
// typed texts once, compares it with every row's tag, and opens the first matching row into the roster's name and
// score columns. The cryptography itself comes from the platform's library through the Sealing interface below,
// which each front end's build supplies; nothing of it is written here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class Int16Counter;

namespace roster {

struct CandidateRoster;

inline constexpr std::size_t SaltSize = 16;
inline constexpr std::size_t KeySize = 32;   // AES-256 and HMAC-SHA256
inline constexpr std::size_t TagSize = 32;   // HMAC-SHA256
inline constexpr std::size_t NonceSize = 12; // AES-GCM
inline constexpr std::size_t AuthTagSize = 16;
// The least PBKDF2 work a shipped table may ask for (OWASP's minimum for PBKDF2-HMAC-SHA256).
inline constexpr std::uint32_t MinimumIterations = 600'000;

// The labels under which HMAC-SHA256 derives the two sub-keys from a pair's key.
inline constexpr std::string_view LookupTagLabel = "cuixian-score-query lookup tag";
inline constexpr std::string_view RowKeyLabel = "cuixian-score-query row key";

// One row as sealed: the lookup tag of its pair, and its record (name and score, padded) sealed under the row key
// with its position in the table (1 the first, little-endian, two bytes) as associated data, followed by the 16-byte
// authentication tag. The rows lie in a random order, so that a row's position tells nothing of its rank.
struct SealedRow {
    std::array<std::uint8_t, TagSize> tag;
    std::array<std::uint8_t, NonceSize> nonce;
    std::span<const std::uint8_t> sealed;
};

struct SealedTable {
    std::array<std::uint8_t, SaltSize> salt;
    std::uint32_t iterations;
    // The length of every row's record before sealing.
    std::size_t recordSize;
    // Rows 1 to 344 at indices 0 to 343.
    std::span<const SealedRow> rows;
};

// The two sub-keys of a pair's key; the pair's key itself never leaves the platform's library.
struct PairKeys {
    std::array<std::uint8_t, TagSize> lookupTag;
    std::array<std::uint8_t, KeySize> rowKey;
};

// What a sealed roster needs of the platform's cryptography library. Each call either does what it says or raises
// RuntimeError (toolkitFailure) when the library fails.
class Sealing {
public:
    virtual ~Sealing() = default;
    // The slow step: PBKDF2-HMAC-SHA256 of `pair` with `salt` and `iterations` (32 bytes), then HMAC-SHA256 of that
    // key over LookupTagLabel and over RowKeyLabel, written into `keys`, which the caller owns and wipes: no copy of
    // a key is left anywhere else, on any path. The pair's key itself is wiped before this returns or raises.
    virtual void derivePairKeys(std::span<const std::uint8_t> pair, std::span<const std::uint8_t> salt,
                                std::uint32_t iterations, PairKeys& keys) = 0;
    // AES-256-GCM: `record` (sealed.size() - AuthTagSize bytes) gets the opened record when `sealed` authenticates
    // under the key, nonce and associated data; false when it does not.
    virtual bool openRecord(std::span<const std::uint8_t> rowKey, std::span<const std::uint8_t> nonce,
                            std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed,
                            std::span<std::uint8_t> record) = 0;
    // Overwrites key material and opened records, in a way that the compiler does not drop as a dead store.
    virtual void wipe(std::span<std::uint8_t> bytes) = 0;
};

// The platform's implementation, set by the front end (or a test) before the first sealed lookup.
Sealing& sealing();
void setSealing(Sealing* implementation);

// Wipes bytes that held a typed, shown or opened text, through the platform's library where one is set (a sealed
// program; a plain program carries every text in the clear anyway).
void wipeHeld(std::span<std::uint8_t> bytes);
void wipeHeld(std::u16string& text);

// A text the user typed or was shown, held only while a procedure works with it and wiped when it goes, however
// the procedure ends. Initialised straight from the text that the runtime returns, so that no copy is left behind.
struct HeldText {
    ~HeldText() { wipeHeld(text); }
    operator std::u16string_view() const { return text; }
    std::u16string text;
};

// FindCandidate on a roster that holds sealed rows (CandidateRoster.h).
void findSealedCandidate(CandidateRoster& roster, std::u16string_view idText, std::u16string_view ticketText,
                         Int16Counter& CurrentRow);

} // namespace roster
