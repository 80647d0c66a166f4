#pragma once

// The candidate roster: four parallel text columns of 346 slots (0 to 345), rows 1 to 344 holding the
// candidates and slots 0 and 345 left empty.
//
// Data flow: the query window owns one CandidateRoster. Its load step calls chushi (tickets, then names,
// then scores) and then fillIdNumbers, both copying the constant texts of DeploymentData.h. Afterwards the
// table is only read: FindCandidate compares the identity-card and ticket columns with the user's two texts
// and leaves the matching row (or RowCount + 1) in the window's CurrentRow counter; the window then reads
// CandidateName and Score at that row. Any slot number outside 0 to 345 raises "subscript out of range".

#include "shell/Int16Counter.h"

#include <QString>
#include <array>

namespace roster {

inline constexpr int RowCount = 344;
inline constexpr int NotFound = RowCount + 1;

// One column: a fixed array with lower bound 0 and upper bound 345, bounds-checked on every access.
class RosterColumn {
public:
    static constexpr int LowerBound = 0;
    static constexpr int UpperBound = RowCount + 1;

    const QString& operator()(int slot) const { return m_slots[checkedIndex(slot)]; }
    QString& operator()(int slot) { return m_slots[checkedIndex(slot)]; }

private:
    static std::size_t checkedIndex(int slot)
    {
        if (slot < LowerBound || slot > UpperBound)
            throw RuntimeError::subscriptOutOfRange();
        return static_cast<std::size_t>(slot);
    }

    std::array<QString, UpperBound + 1> m_slots;
};

struct CandidateRoster {
    RosterColumn TicketNumber;
    RosterColumn CandidateName;
    RosterColumn IdNumber;
    RosterColumn Score;
};

// Writes TicketNumber rows 1..344, then CandidateName rows 1..344, then Score rows 1..344.
void chushi(CandidateRoster& roster);

// The identity-card fill that follows chushi: IdNumber rows 1..344.
void fillIdNumbers(CandidateRoster& roster);

// Scans rows 1..344 and leaves the first row whose ticket and identity-card number both equal the given
// texts, code unit by code unit, in CurrentRow; NotFound when none does.
void FindCandidate(const CandidateRoster& roster, QStringView idText, QStringView ticketText, Int16Counter& CurrentRow);

} // namespace roster
