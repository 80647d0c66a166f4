// The roster table, its fill and the credential lookup, without any window; the lookup also on the rows as a
// program for publishing carries them sealed (the tests' own table, sealed by tools/seal_roster.py with little work),
// and the cryptography under it against the known answers that every platform shares.

#include "core/roster/CandidateRoster.h"
#include "frontends/qt/OpenSslSealing.h"
#include "tests/RosterTable.h"
#include "tests/core/CoreProgram.h"

#include <QFile>
#include <QSet>
#include <QTest>

#include <vector>

using namespace Qt::Literals::StringLiterals;
using roster::CandidateRoster;

namespace roster::testing {
extern const SealedTable SealedForTests;
}

namespace {

enum class Table { Plain, Sealed };

std::vector<std::uint8_t> bytes(const QString& hex)
{
    const QByteArray raw = QByteArray::fromHex(hex.toLatin1());
    return {raw.begin(), raw.end()};
}

} // namespace

Q_DECLARE_METATYPE(Table)

class TestRoster : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fillOrderAndContents();
    void slotsOutsideTheRowsStayEmpty();
    void slotBoundsRaiseSubscriptOutOfRange_data();
    void slotBoundsRaiseSubscriptOutOfRange();
    void slotsOwnTheirTexts();
    void lookup_data();
    void lookup();
    void everyPairFindsItsRow_data();
    void everyPairFindsItsRow();
    void lookupAfterAFailedOneStartsAgain_data();
    void lookupAfterAFailedOneStartsAgain();
    void firstOfTwoMatchingRowsIsFound_data();
    void firstOfTwoMatchingRowsIsFound();
    void sealedRowsLieInARandomOrder();
    void sealedLookupOpensOnlyTheRowFoundLast();
    void alteredSealedRecordIsAnInvalidFileFormat_data();
    void alteredSealedRecordIsAnInvalidFileFormat();
    void heldTextsAreWiped();
    void sealingKnownAnswers_data();
    void sealingKnownAnswers();
    void counterRaisesOverflowInsteadOfWrapping();

private:
    static void addTables();
    CandidateRoster& roster(Table table) { return table == Table::Plain ? m_roster : m_sealed; }
    // Where a row of the table lies among the sealed rows, which are in a random order: found by its pair.
    int sealedPosition(int row);
    // The row the lookup should find: its number in the plain table, or its position among the sealed rows.
    int expectedRow(Table table, int row) { return table == Table::Plain ? row : sealedPosition(row); }

    QList<TableRow> m_table;
    CandidateRoster m_roster;
    CandidateRoster m_sealed;
    frontend::OpenSslSealing m_sealing;
};

void TestRoster::initTestCase()
{
    m_table = readRosterTable();
    QCOMPARE(m_table.size(), roster::RowCount + 1);
    roster::chushi(m_roster);
    roster::fillIdNumbers(m_roster);
    roster::setSealing(&m_sealing);
    roster::useSealedRows(m_sealed, roster::testing::SealedForTests);
}

int TestRoster::sealedPosition(int row)
{
    CandidateRoster sealed;
    roster::useSealedRows(sealed, roster::testing::SealedForTests);
    Int16Counter CurrentRow;
    roster::FindCandidate(sealed, u16(m_table[row].id), u16(m_table[row].ticket), CurrentRow);
    return CurrentRow;
}

void TestRoster::addTables()
{
    QTest::addColumn<Table>("table");
    QTest::newRow("plain") << Table::Plain;
    QTest::newRow("sealed") << Table::Sealed;
}

void TestRoster::fillOrderAndContents()
{
    CandidateRoster fresh;
    roster::chushi(fresh);
    // chushi writes tickets, names and scores; the identity-card column is the separate step after it.
    for (int row = 1; row <= roster::RowCount; ++row) {
        QCOMPARE(q(fresh.TicketNumber(row)), m_table[row].ticket);
        QCOMPARE(q(fresh.CandidateName(row)), m_table[row].name);
        QCOMPARE(q(fresh.Score(row)), m_table[row].score);
        QVERIFY(fresh.IdNumber(row).empty());
    }
    roster::fillIdNumbers(fresh);
    QSet<QString> tickets, ids;
    for (int row = 1; row <= roster::RowCount; ++row) {
        QCOMPARE(q(fresh.IdNumber(row)), m_table[row].id);
        tickets.insert(q(fresh.TicketNumber(row)));
        ids.insert(q(fresh.IdNumber(row)));
    }
    QCOMPARE(tickets.size(), roster::RowCount);
    QCOMPARE(ids.size(), roster::RowCount);
}

void TestRoster::slotsOutsideTheRowsStayEmpty()
{
    for (const auto* column : {&m_roster.TicketNumber, &m_roster.CandidateName, &m_roster.IdNumber, &m_roster.Score}) {
        QVERIFY((*column)(0).empty());
        QVERIFY((*column)(345).empty());
    }
}

void TestRoster::slotBoundsRaiseSubscriptOutOfRange_data()
{
    QTest::addColumn<int>("slot");
    QTest::newRow("one below") << -1;
    QTest::newRow("one above") << 346;
    QTest::newRow("far above") << 32767;
}

void TestRoster::slotBoundsRaiseSubscriptOutOfRange()
{
    QFETCH(int, slot);
    const CandidateRoster& readOnly = m_roster;
    try {
        (void)readOnly.Score(slot);
        QFAIL("reading an out-of-range slot must raise");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::SubscriptOutOfRange));
        QCOMPARE(q(error.description()), u"下标越界"_s);
    }
    CandidateRoster scratch;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, scratch.TicketNumber(slot) = std::u16string_view(u"x"));
}

void TestRoster::slotsOwnTheirTexts()
{
    // A slot keeps its own copy of any text that is not one of the program's constants.
    CandidateRoster table;
    roster::chushi(table);
    {
        std::u16string passing = u16(m_table[2].name);
        table.CandidateName(1) = std::u16string_view(passing);
        passing.assign(passing.size(), u'某');
    }
    CandidateRoster copy = table;
    table.CandidateName(1) = std::u16string_view(u"");
    QCOMPARE(q(copy.CandidateName(1)), m_table[2].name);
    QCOMPARE(q(copy.Score(344)), m_table[344].score);
    roster::chushi(table);
    QCOMPARE(q(table.CandidateName(1)), m_table[1].name);
}

void TestRoster::lookup_data()
{
    QTest::addColumn<Table>("table");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("ticket");
    QTest::addColumn<int>("expected");

    const QList<TableRow> t = readRosterTable();
    const int xRow = firstRowWhere(t, [](const TableRow& r) { return r.id.endsWith(u'X'); });
    QVERIFY(xRow > 0);
    QString lowerX = t[xRow].id;
    lowerX.back() = u'x';
    QString fullWidthTicket;
    for (QChar c : t[5].ticket)
        fullWidthTicket.append(QChar(c.unicode() - u'0' + 0xFF10));

    // Every case against the plain table and against the same rows sealed.
    for (const Table table : {Table::Plain, Table::Sealed}) {
        const auto row = [table](const char* name, const QString& id, const QString& ticket, int expected) {
            QTest::addRow("%s: %s", table == Table::Plain ? "plain" : "sealed", name)
                << table << id << ticket << expected;
        };
        row("first row", t[1].id, t[1].ticket, 1);
        row("last row", t[344].id, t[344].ticket, 344);
        row("id ending in X", t[xRow].id, t[xRow].ticket, xRow);
        row("id of one row, ticket of another", t[1].id, t[2].ticket, roster::NotFound);
        row("pair in the wrong fields", t[7].ticket, t[7].id, roster::NotFound);
        row("both empty", QString(), QString(), roster::NotFound);
        row("id empty", QString(), t[9].ticket, roster::NotFound);
        row("ticket empty", t[9].id, QString(), roster::NotFound);
        row("lower-case x", lowerX, t[xRow].ticket, roster::NotFound);
        row("leading space", u" "_s + t[3].id, t[3].ticket, roster::NotFound);
        row("trailing space", t[3].id, t[3].ticket + u" "_s, roster::NotFound);
        row("full-width digits", t[5].id, fullWidthTicket, roster::NotFound);
        row("id one character short", t[11].id.chopped(1), t[11].ticket, roster::NotFound);
        row("id one character more", t[11].id + u"0"_s, t[11].ticket, roster::NotFound);
        row("ticket one character short", t[12].id, t[12].ticket.chopped(1), roster::NotFound);
        row("ticket one character more", t[12].id, t[12].ticket + u"1"_s, roster::NotFound);
    }
}

void TestRoster::lookup()
{
    QFETCH(Table, table);
    QFETCH(QString, id);
    QFETCH(QString, ticket);
    QFETCH(int, expected);
    Int16Counter CurrentRow;
    CurrentRow = -7;
    roster::FindCandidate(roster(table), u16(id), u16(ticket), CurrentRow);
    if (expected == roster::NotFound) {
        QCOMPARE(int(CurrentRow), expected);
        return;
    }
    QCOMPARE(int(CurrentRow), expectedRow(table, expected));
    QCOMPARE(q(roster(table).CandidateName(CurrentRow)), m_table[expected].name);
}

void TestRoster::everyPairFindsItsRow_data()
{
    addTables();
}

void TestRoster::everyPairFindsItsRow()
{
    QFETCH(Table, table);
    CandidateRoster& searched = roster(table);
    Int16Counter CurrentRow;
    QSet<int> found;
    for (int row = 1; row <= roster::RowCount; ++row) {
        roster::FindCandidate(searched, u16(m_table[row].id), u16(m_table[row].ticket), CurrentRow);
        if (table == Table::Plain)
            QCOMPARE(int(CurrentRow), row);
        QVERIFY(CurrentRow >= 1 && CurrentRow <= roster::RowCount);
        QCOMPARE(q(searched.CandidateName(CurrentRow)), m_table[row].name);
        QCOMPARE(q(searched.Score(CurrentRow)), m_table[row].score);
        found.insert(CurrentRow);
    }
    QCOMPARE(found.size(), roster::RowCount);
}

void TestRoster::sealedRowsLieInARandomOrder()
{
    // The roster's order is a ranking (group, highest score first); sealed, a row's position tells nothing of it.
    int inPlace = 0;
    for (int row = 1; row <= roster::RowCount; ++row)
        inPlace += sealedPosition(row) == row;
    QVERIFY2(inPlace < 10, qPrintable(u"%1 rows sealed at their own row number"_s.arg(inPlace)));
}

void TestRoster::lookupAfterAFailedOneStartsAgain_data()
{
    addTables();
}

void TestRoster::lookupAfterAFailedOneStartsAgain()
{
    QFETCH(Table, table);
    Int16Counter CurrentRow;
    roster::FindCandidate(roster(table), u16(m_table[200].id), u16(m_table[201].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), roster::NotFound);
    roster::FindCandidate(roster(table), u16(m_table[2].id), u16(m_table[2].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), expectedRow(table, 2));
}

void TestRoster::firstOfTwoMatchingRowsIsFound_data()
{
    addTables();
}

void TestRoster::firstOfTwoMatchingRowsIsFound()
{
    QFETCH(Table, table);
    CandidateRoster twice = roster(table);
    // Row 300 made a copy of row 30. Sealed: the last position made a copy of the one where row 30 (or, if that lies
    // last, row 31) lies; its tag, nonce and record, which name the earlier position and so would not open at the
    // last.
    twice.TicketNumber(300) = std::u16string_view(u16(m_table[30].ticket));
    twice.IdNumber(300) = std::u16string_view(u16(m_table[30].id));
    const int row = table == Table::Sealed && sealedPosition(30) == roster::RowCount ? 31 : 30;
    const int first = expectedRow(table, row);
    std::vector<roster::SealedRow> rows(roster::testing::SealedForTests.rows.begin(),
                                        roster::testing::SealedForTests.rows.end());
    rows[roster::RowCount - 1] = rows[std::size_t(first - 1)];
    roster::SealedTable copied = roster::testing::SealedForTests;
    copied.rows = rows;
    if (table == Table::Sealed)
        roster::useSealedRows(twice, copied);
    Int16Counter CurrentRow;
    roster::FindCandidate(twice, u16(m_table[row].id), u16(m_table[row].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), first);
    QCOMPARE(q(twice.CandidateName(first)), m_table[row].name);
}

void TestRoster::sealedLookupOpensOnlyTheRowFoundLast()
{
    CandidateRoster sealed;
    roster::useSealedRows(sealed, roster::testing::SealedForTests);
    for (int row = 0; row <= roster::RowCount + 1; ++row)
        QVERIFY(sealed.TicketNumber(row).empty() && sealed.IdNumber(row).empty() && sealed.CandidateName(row).empty());
    const int five = sealedPosition(5), nine = sealedPosition(9), ten = sealedPosition(10);
    Int16Counter CurrentRow;
    roster::FindCandidate(sealed, u16(m_table[5].id), u16(m_table[5].ticket), CurrentRow);
    QCOMPARE(q(sealed.Score(five)), m_table[5].score);
    roster::FindCandidate(sealed, u16(m_table[9].id), u16(m_table[9].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), nine);
    QVERIFY(sealed.CandidateName(five).empty() && sealed.Score(five).empty());
    roster::FindCandidate(sealed, u16(m_table[9].id), u16(m_table[10].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), roster::NotFound);
    QVERIFY(sealed.CandidateName(nine).empty() && sealed.Score(nine).empty());
    // The window lets go of a shown row when it goes back to entry: nothing is open any more.
    roster::FindCandidate(sealed, u16(m_table[10].id), u16(m_table[10].ticket), CurrentRow);
    QCOMPARE(q(sealed.CandidateName(ten)), m_table[10].name);
    roster::forgetOpenedRow(sealed);
    QCOMPARE(sealed.openedRow, 0);
    QVERIFY(sealed.CandidateName(ten).empty() && sealed.Score(ten).empty());
}

void TestRoster::alteredSealedRecordIsAnInvalidFileFormat_data()
{
    QTest::addColumn<bool>("moved");
    QTest::newRow("a byte of the record changed") << false;
    QTest::newRow("the row moved to another position") << true;
}

void TestRoster::alteredSealedRecordIsAnInvalidFileFormat()
{
    QFETCH(bool, moved);
    const roster::SealedTable& original = roster::testing::SealedForTests;
    const std::size_t at = std::size_t(sealedPosition(17) - 1);
    std::vector<std::uint8_t> record(original.rows[at].sealed.begin(), original.rows[at].sealed.end());
    record[3] ^= 0x01;
    std::vector<roster::SealedRow> rows(original.rows.begin(), original.rows.end());
    const std::size_t neighbour = at == 0 ? 1 : at - 1;
    if (moved) // row 17 changes places with its neighbour, tag, nonce and record together
        std::swap(rows[at], rows[neighbour]);
    else
        rows[at].sealed = record;
    // A row that stays where it was.
    const int other = moved && std::size_t(sealedPosition(18) - 1) == neighbour ? 19 : 18;
    roster::SealedTable altered = original;
    altered.rows = rows;
    CandidateRoster sealed;
    roster::useSealedRows(sealed, altered);
    Int16Counter CurrentRow;
    // Only the altered row's own pair opens it; every other lookup goes on as before.
    roster::FindCandidate(sealed, u16(m_table[17].id), u16(m_table[other].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), roster::NotFound);
    roster::FindCandidate(sealed, u16(m_table[other].id), u16(m_table[other].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), sealedPosition(other));
    QCOMPARE(q(sealed.CandidateName(CurrentRow)), m_table[other].name);
    try {
        roster::FindCandidate(sealed, u16(m_table[17].id), u16(m_table[17].ticket), CurrentRow);
        QFAIL("an altered record must raise");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::InvalidFileFormat));
        QCOMPARE(q(error.description()), u"无效的文件格式（CandidateRoster）"_s);
    }
    QCOMPARE(sealed.openedRow, 0);
    for (int row = 1; row <= roster::RowCount; ++row)
        QVERIFY(sealed.CandidateName(row).empty());
}

namespace {

// Counts the wipes it is asked for, and does them, as the platform's library would.
class CountingWipe final : public frontend::OpenSslSealing {
public:
    void wipe(std::span<std::uint8_t> bytes) override
    {
        wiped.emplace_back(bytes.begin(), bytes.end());
        OpenSslSealing::wipe(bytes);
        wipedAfter.emplace_back(bytes.begin(), bytes.end());
    }
    std::vector<std::vector<std::uint8_t>> wiped, wipedAfter;
};

bool holds(const std::vector<std::uint8_t>& bytes, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).contains(utf16);
}

} // namespace

void TestRoster::heldTextsAreWiped()
{
    // What held a typed or shown text is wiped before it goes: a held text (what the window reads from a box) and
    // an opened name and score when the roster lets go of them.
    CountingWipe counting;
    roster::setSealing(&counting);
    const int row = 40;
    {
        const roster::HeldText typed{u16(m_table[row].id)};
        QCOMPARE(q(std::u16string_view(typed)), m_table[row].id);
    }
    QVERIFY(holds(counting.wiped.back(), m_table[row].id));
    QVERIFY(!holds(counting.wipedAfter.back(), m_table[row].id));
    QCOMPARE(std::count(counting.wipedAfter.back().begin(), counting.wipedAfter.back().end(), 0),
             qsizetype(counting.wipedAfter.back().size()));

    CandidateRoster sealed;
    roster::useSealedRows(sealed, roster::testing::SealedForTests);
    Int16Counter CurrentRow;
    roster::FindCandidate(sealed, u16(m_table[row].id), u16(m_table[row].ticket), CurrentRow);
    counting.wiped.clear();
    roster::forgetOpenedRow(sealed);
    const auto wipedText = [&](const QString& text) {
        return std::any_of(counting.wiped.begin(), counting.wiped.end(),
                           [&](const auto& bytes) { return holds(bytes, text); });
    };
    QVERIFY(wipedText(m_table[row].name));
    QVERIFY(wipedText(m_table[row].score));
    roster::setSealing(&m_sealing);
}

void TestRoster::sealingKnownAnswers_data()
{
    for (const char* column : {"pair", "salt", "iterations", "lookupTag", "rowKey", "row", "nonce", "record", "sealed"})
        QTest::addColumn<QString>(column);
    QFile file(QStringLiteral(SEALING_VECTORS_PATH));
    QVERIFY(file.open(QIODevice::ReadOnly));
    int line = 0;
    for (const QString& text : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        if (text.startsWith(u'#') || line++ == 0)
            continue;
        const QStringList f = text.split(u'\t');
        QCOMPARE(f.size(), 11);
        QTest::addRow("vector %d", line - 1) << f[2] << f[3] << f[4] << f[5] << f[6] << f[7] << f[8] << f[9] << f[10];
    }
}

void TestRoster::sealingKnownAnswers()
{
    QFETCH(QString, pair);
    QFETCH(QString, salt);
    QFETCH(QString, iterations);
    QFETCH(QString, lookupTag);
    QFETCH(QString, rowKey);
    QFETCH(QString, row);
    QFETCH(QString, nonce);
    QFETCH(QString, record);
    QFETCH(QString, sealed);
    roster::PairKeys keys{};
    m_sealing.derivePairKeys(bytes(pair), bytes(salt), iterations.toUInt(), keys);
    QCOMPARE(std::vector(keys.lookupTag.begin(), keys.lookupTag.end()), bytes(lookupTag));
    QCOMPARE(std::vector(keys.rowKey.begin(), keys.rowKey.end()), bytes(rowKey));
    const std::array<std::uint8_t, 2> rowNumber{std::uint8_t(row.toUInt()), std::uint8_t(row.toUInt() >> 8)};
    std::vector<std::uint8_t> opened(bytes(record).size());
    QVERIFY(m_sealing.openRecord(keys.rowKey, bytes(nonce), rowNumber, bytes(sealed), opened));
    QCOMPARE(opened, bytes(record));
    // The same record under another row number, or with its tag's last byte changed, does not open.
    const std::array<std::uint8_t, 2> otherRow{std::uint8_t(rowNumber[0] ^ 1), rowNumber[1]};
    QVERIFY(!m_sealing.openRecord(keys.rowKey, bytes(nonce), otherRow, bytes(sealed), opened));
    std::vector<std::uint8_t> badTag = bytes(sealed);
    badTag.back() ^= 0x80;
    QVERIFY(!m_sealing.openRecord(keys.rowKey, bytes(nonce), rowNumber, badTag, opened));
}

void TestRoster::counterRaisesOverflowInsteadOfWrapping()
{
    Int16Counter counter;
    counter = 32766;
    counter.step();
    QCOMPARE(int(counter), 32767);
    try {
        counter.step();
        QFAIL("stepping past 32767 must raise");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
    QCOMPARE(int(counter), 32767);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, counter = -32769);
}

QTEST_APPLESS_MAIN(TestRoster)
#include "tst_roster.moc"
