#pragma once

// The candidate roster: four parallel text columns of 346 slots (0 to 345), rows 1 to 344 holding the
// candidates and slots 0 and 345 left empty.
//
// Data flow: the query window owns one CandidateRoster. Its load step calls chushi (tickets, then names,
// then scores) and then fillIdNumbers, both taking the constant texts of DeploymentData.h. Afterwards the
// table is only read: FindCandidate compares the identity-card and ticket columns with the user's two texts
// and leaves the matching row (or RowCount + 1) in the window's CurrentRow counter; the window then reads
// CandidateName and Score at that row. Any slot number outside 0 to 345 raises "subscript out of range".
//
// A program built for publishing carries the rows sealed instead (Sealing.h): chushi then gives the roster the
// sealed rows and leaves the four columns empty, and FindCandidate opens the one row it finds into the name and
// score columns, emptying the row it opened before.

#include "core/roster/Sealing.h"
#include "core/shell/Int16Counter.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace roster {

inline constexpr int RowCount = 344;
inline constexpr int NotFound = RowCount + 1;

// The text of one slot. A constant compiled into the program stays where it lies, in read-only data for the life
// of the process, shared by every table filled from it; any other text is copied into the slot, so a slot never
// depends on the text it was given, and nothing can change a constant through a slot. A copy of the slot's own is
// wiped before it is freed: in a sealed program it holds an opened name or score.
class SlotText {
public:
    SlotText() = default;
    ~SlotText() { forget(); }
    static SlotText constant(std::u16string_view text)
    {
        SlotText slot;
        slot.m_text = text;
        return slot;
    }
    SlotText(const SlotText& other) { *this = other; }
    SlotText(SlotText&& other) noexcept
        : m_text(std::exchange(other.m_text, {}))
        , m_own(std::move(other.m_own))
    {
    }
    SlotText& operator=(SlotText&& other) noexcept
    {
        if (this != &other) {
            forget();
            m_text = std::exchange(other.m_text, {});
            m_own = std::move(other.m_own);
        }
        return *this;
    }
    SlotText& operator=(const SlotText& other)
    {
        if (this != &other) {
            if (other.m_own)
                *this = other.m_text;
            else
                *this = constant(other.m_text);
        }
        return *this;
    }
    // A fresh copy of `text`.
    SlotText& operator=(std::u16string_view text)
    {
        // Not zeroed first (no "()" after new): the copy below writes the text.
        std::unique_ptr<char16_t[]> own(new char16_t[text.size() + 1]);
        std::copy(text.begin(), text.end(), own.get());
        forget(); // after the copy: `text` may be this slot's own
        m_text = std::u16string_view(own.get(), text.size());
        m_own = std::move(own);
        return *this;
    }

    std::u16string_view view() const { return m_text; }
    operator std::u16string_view() const { return m_text; }
    bool empty() const { return m_text.empty(); }
    bool operator==(std::u16string_view other) const { return m_text == other; }

private:
    void forget() noexcept
    {
        if (m_own)
            wipeHeld(std::span(reinterpret_cast<std::uint8_t*>(m_own.get()), m_text.size() * sizeof(char16_t)));
        m_own.reset();
        m_text = {};
    }

    std::u16string_view m_text;
    std::unique_ptr<char16_t[]> m_own; // where the slot holds a copy of its own, m_text refers to it
};

// One column: a fixed array with lower bound 0 and upper bound 345, bounds-checked on every access.
class RosterColumn {
public:
    static constexpr int LowerBound = 0;
    static constexpr int UpperBound = RowCount + 1;

    const SlotText& operator()(int slot) const { return m_slots[checkedIndex(slot)]; }
    SlotText& operator()(int slot) { return m_slots[checkedIndex(slot)]; }

private:
    static std::size_t checkedIndex(int slot)
    {
        if (slot < LowerBound || slot > UpperBound)
            throw RuntimeError::subscriptOutOfRange();
        return static_cast<std::size_t>(slot);
    }

    std::array<SlotText, UpperBound + 1> m_slots;
};

struct CandidateRoster {
    RosterColumn TicketNumber;
    RosterColumn CandidateName;
    RosterColumn IdNumber;
    RosterColumn Score;
    // The rows of a sealed build, or null; and the row whose name and score a sealed lookup last opened (0: none).
    const SealedTable* sealedRows = nullptr;
    int openedRow = 0;
};

// Writes TicketNumber rows 1..344, then CandidateName rows 1..344, then Score rows 1..344. In a sealed build,
// gives the roster the sealed rows instead.
void chushi(CandidateRoster& roster);

// The identity-card fill that follows chushi: IdNumber rows 1..344. Nothing in a sealed build.
void fillIdNumbers(CandidateRoster& roster);

// Makes `roster` a sealed one: its lookups go through `rows`. The table must outlive the roster.
void useSealedRows(CandidateRoster& roster, const SealedTable& rows);

// Empties and wipes the name and score a sealed lookup opened, when the window has done with them; nothing on a
// plain roster, whose texts are the program's constants.
void forgetOpenedRow(CandidateRoster& roster);

// Scans rows 1..344 and leaves the first row whose ticket and identity-card number both equal the given
// texts, code unit by code unit, in CurrentRow; NotFound when none does. On a sealed roster it compares the
// pair's lookup tag with every row's instead, and opens the found row's name and score into CandidateName and
// Score; a found row whose record does not authenticate means the program was altered: the "invalid file format"
// run-time error.
void FindCandidate(CandidateRoster& roster, std::u16string_view idText, std::u16string_view ticketText,
                   Int16Counter& CurrentRow);

} // namespace roster
