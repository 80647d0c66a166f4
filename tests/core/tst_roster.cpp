// The roster table, its fill and the credential lookup, without any window.

#include "core/roster/CandidateRoster.h"
#include "tests/RosterTable.h"
#include "tests/core/CoreProgram.h"

#include <QSet>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using roster::CandidateRoster;

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
    void lookupAfterAFailedOneStartsAgain();
    void firstOfTwoMatchingRowsIsFound();
    void counterRaisesOverflowInsteadOfWrapping();

private:
    QList<TableRow> m_table;
    CandidateRoster m_roster;
};

void TestRoster::initTestCase()
{
    m_table = readRosterTable();
    QCOMPARE(m_table.size(), roster::RowCount + 1);
    roster::chushi(m_roster);
    roster::fillIdNumbers(m_roster);
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

    QTest::newRow("first row") << t[1].id << t[1].ticket << 1;
    QTest::newRow("last row") << t[344].id << t[344].ticket << 344;
    QTest::newRow("id ending in X") << t[xRow].id << t[xRow].ticket << xRow;
    QTest::newRow("id of one row, ticket of another") << t[1].id << t[2].ticket << roster::NotFound;
    QTest::newRow("pair in the wrong fields") << t[7].ticket << t[7].id << roster::NotFound;
    QTest::newRow("both empty") << QString() << QString() << roster::NotFound;
    QTest::newRow("id empty") << QString() << t[9].ticket << roster::NotFound;
    QTest::newRow("ticket empty") << t[9].id << QString() << roster::NotFound;
    QTest::newRow("lower-case x") << lowerX << t[xRow].ticket << roster::NotFound;
    QTest::newRow("leading space") << u" "_s + t[3].id << t[3].ticket << roster::NotFound;
    QTest::newRow("trailing space") << t[3].id << t[3].ticket + u" "_s << roster::NotFound;
    QTest::newRow("full-width digits") << t[5].id << fullWidthTicket << roster::NotFound;
    QTest::newRow("id one character short") << t[11].id.chopped(1) << t[11].ticket << roster::NotFound;
    QTest::newRow("id one character more") << t[11].id + u"0"_s << t[11].ticket << roster::NotFound;
    QTest::newRow("ticket one character short") << t[12].id << t[12].ticket.chopped(1) << roster::NotFound;
    QTest::newRow("ticket one character more") << t[12].id << t[12].ticket + u"1"_s << roster::NotFound;
}

void TestRoster::lookup()
{
    QFETCH(QString, id);
    QFETCH(QString, ticket);
    QFETCH(int, expected);
    Int16Counter CurrentRow;
    CurrentRow = -7;
    roster::FindCandidate(m_roster, u16(id), u16(ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), expected);
}

void TestRoster::lookupAfterAFailedOneStartsAgain()
{
    Int16Counter CurrentRow;
    roster::FindCandidate(m_roster, u16(m_table[200].id), u16(m_table[201].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), roster::NotFound);
    roster::FindCandidate(m_roster, u16(m_table[2].id), u16(m_table[2].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), 2);
}

void TestRoster::firstOfTwoMatchingRowsIsFound()
{
    CandidateRoster twice = m_roster;
    twice.TicketNumber(300) = std::u16string_view(u16(m_table[30].ticket));
    twice.IdNumber(300) = std::u16string_view(u16(m_table[30].id));
    Int16Counter CurrentRow;
    roster::FindCandidate(twice, u16(m_table[30].id), u16(m_table[30].ticket), CurrentRow);
    QCOMPARE(int(CurrentRow), 30);
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
