// What the query window's procedures decide, on the recording runtime: the load step, both states of the dialogue,
// the order of every change, and every way to end.

#include "frontends/qt/OpenSslSealing.h"
#include "tests/RosterTable.h"
#include "tests/core/CoreProgram.h"

#include <limits>
#include <vector>

namespace roster::testing {
extern const SealedTable SealedForTests;
}

using namespace Qt::Literals::StringLiterals;
using Strings = std::vector<std::string>;

class TestQueryWindowProcedures : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_table = readRosterTable(); }
    void init()
    {
        m_program = std::make_unique<CoreProgram>();
        m_program->startUp();
    }
    void cleanup() { m_program.reset(); }

    void startUp();
    void centring_data();
    void centring();
    void foundPair_data();
    void foundPair();
    void wrongPair();
    void continueAndSecondQuery();
    void ending_data();
    void ending();
    void errorDuringLoadEndsBeforeTheWindowShows();
    void sealedRows_data();
    void sealedRows();

private:
    void query(int idRow, int ticketRow);
    void verifyEntryState();
    void verifyResultState();
    Strings logSince(std::size_t from) const
    {
        return {m_program->runtime.log.begin() + long(from), m_program->runtime.log.end()};
    }

    QList<TableRow> m_table;
    std::unique_ptr<CoreProgram> m_program;
};

void TestQueryWindowProcedures::query(int idRow, int ticketRow)
{
    m_program->type(0, u16(m_table[idRow].id));
    m_program->type(1, u16(m_table[ticketRow].ticket));
    m_program->click(Form1::Command3Row);
}

void TestQueryWindowProcedures::verifyEntryState()
{
    CoreProgram& p = *m_program;
    QVERIFY(p.visible(Form1::Text1_0Row) && p.visible(Form1::Text1_1Row) && p.visible(Form1::Command3Row));
    for (auto hidden : {Form1::Text1_2Row, Form1::Text1_3Row, Form1::Label3Row, Form1::Label4Row, Form1::Command1Row,
                        Form1::Command2Row})
        QVERIFY2(!p.visible(hidden), p.query().names[hidden].c_str());
    QVERIFY(p.text(2).empty() && p.text(3).empty());
}

void TestQueryWindowProcedures::verifyResultState()
{
    CoreProgram& p = *m_program;
    QVERIFY(!p.visible(Form1::Command3Row));
    for (auto shown : {Form1::Text1_2Row, Form1::Text1_3Row, Form1::Label3Row, Form1::Label4Row, Form1::Command1Row,
                       Form1::Command2Row})
        QVERIFY2(p.visible(shown), p.query().names[shown].c_str());
}

void TestQueryWindowProcedures::startUp()
{
    // Made, centred, emptied and put in the entry state before it is shown and activated; the panel is not made yet.
    const Strings expected = {"Form1 create",
                              "Form1 Left=5010.000000",
                              "Form1 Top=4927.500000",
                              "Form1 text Text1(0) empty",
                              "Form1 text Text1(1) empty",
                              "Form1 text Text1(2) empty",
                              "Form1 text Text1(3) empty",
                              "Form1 hide Text1(2)",
                              "Form1 hide Text1(3)",
                              "Form1 hide Label3",
                              "Form1 hide Label4",
                              "Form1 hide Command1",
                              "Form1 hide Command2",
                              "Form1 show",
                              "Form1 activate"};
    QCOMPARE(m_program->runtime.log, expected);
    verifyEntryState();
    QVERIFY(m_program->text(0).empty() && m_program->text(1).empty());
    QVERIFY(m_program->query().visible);
    QVERIFY(!Form2::holder().isLoaded());
    Form1& w = Form1::instance();
    QCOMPARE(int(w.CurrentRow), 4);
    for (int row : {1, 344}) {
        QCOMPARE(q(w.Roster.TicketNumber(row)), m_table[row].ticket);
        QCOMPARE(q(w.Roster.IdNumber(row)), m_table[row].id);
    }
}

void TestQueryWindowProcedures::centring_data()
{
    QTest::addColumn<float>("screenWidth");
    QTest::addColumn<float>("screenHeight");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    // The outer frame is 9180 x 5505 twips here.
    QTest::newRow("odd difference keeps half a twip") << 19201.0f << 15360.0f << 5010.5f << 4927.5f;
    QTest::newRow("screen smaller than the window") << 6000.0f << 3000.0f << -1590.0f << -1252.5f;
}

void TestQueryWindowProcedures::centring()
{
    QFETCH(float, screenWidth);
    QFETCH(float, screenHeight);
    QFETCH(float, left);
    QFETCH(float, top);
    m_program.reset(); // one program life at a time
    m_program = std::make_unique<CoreProgram>();
    m_program->runtime.screen[0] = screenWidth;
    m_program->runtime.screen[1] = screenHeight;
    m_program->startUp();
    QCOMPARE(m_program->query().edges[0], left);
    QCOMPARE(m_program->query().edges[1], top);
    // Centred once only: a later change of the screen moves nothing.
    m_program->runtime.screen[0] = 30000.0f;
    m_program->tick();
    QCOMPARE(m_program->query().edges[0], left);
}

void TestQueryWindowProcedures::foundPair_data()
{
    QTest::addColumn<int>("row");
    auto add = [this](const char* name, auto pred) {
        const int row = firstRowWhere(m_table, pred);
        QVERIFY2(row > 0, name);
        QTest::newRow(name) << row;
    };
    add("first row", [](const TableRow&) { return true; });
    add("absent candidate", [](const TableRow& r) { return r.score == u"缺考"_s; });
    add("two-decimal score", [](const TableRow& r) { return r.score.size() == 5 && r.score[2] == u'.'; });
    add("three-digit score", [](const TableRow& r) { return r.score.size() == 3 && !r.score.contains(u'.'); });
    add("id ending in X", [](const TableRow& r) { return r.id.endsWith(u'X'); });
    add("four-character name", [](const TableRow& r) { return r.name.size() == 4; });
    QTest::newRow("last row") << 344;
}

void TestQueryWindowProcedures::foundPair()
{
    QFETCH(int, row);
    const std::size_t before = m_program->runtime.log.size();
    query(row, row);
    const Strings expected = {"Form1 hide Command3", "Form1 show Command2", "Form1 show Command1",
                              "Form1 text Text1(2)", "Form1 show Text1(2)", "Form1 text Text1(3)",
                              "Form1 show Text1(3)", "Form1 show Label3",   "Form1 show Label4"};
    QCOMPARE(logSince(before), expected);
    QVERIFY(m_program->runtime.messages.empty());
    QCOMPARE(int(Form1::instance().CurrentRow), row);
    verifyResultState();
    QCOMPARE(q(m_program->text(2)), m_table[row].name);
    QCOMPARE(q(m_program->text(3)), m_table[row].score);
    QCOMPARE(q(m_program->text(0)), m_table[row].id);
    QCOMPARE(q(m_program->text(1)), m_table[row].ticket);
}

void TestQueryWindowProcedures::wrongPair()
{
    CoreProgram& p = *m_program;
    std::vector<std::u16string> inputsWhileOpen;
    p.runtime.whileMessageOpen = [&] {
        inputsWhileOpen = {p.text(0), p.text(1)};
    };
    const std::size_t before = p.runtime.log.size();
    query(10, 11);
    QCOMPARE(logSince(before), (Strings{"Form1 message", "Form1 text Text1(0) empty", "Form1 text Text1(1) empty"}));
    QCOMPARE(p.runtime.messages, std::vector<std::u16string>{u"身份证号或准考证号错误，请重新输入！"});
    QCOMPARE(p.runtime.messageCaptions, std::vector<std::u16string>{u"工程1"});
    // The inputs are emptied only once the box has gone.
    QCOMPARE(inputsWhileOpen, (std::vector<std::u16string>{u16(m_table[10].id), u16(m_table[11].ticket)}));
    QCOMPARE(int(Form1::instance().CurrentRow), roster::NotFound);
    verifyEntryState();

    // Looked up as typed: a right pair with spaces around it is a second wrong pair; without them it is found.
    p.type(0, u16(m_table[12].id + u" "_s));
    p.type(1, u16(u" "_s + m_table[12].ticket));
    p.click(Form1::Command3Row);
    QCOMPARE(p.runtime.messages.size(), std::size_t(2));
    query(12, 12);
    QCOMPARE(p.runtime.messages.size(), std::size_t(2));
    QCOMPARE(q(p.text(2)), m_table[12].name);
}

void TestQueryWindowProcedures::continueAndSecondQuery()
{
    CoreProgram& p = *m_program;
    query(20, 20);
    verifyResultState();
    p.type(0, u"9"); // typing over the numbers in the result state starts nothing
    p.tick();
    verifyResultState();

    const std::size_t before = p.runtime.log.size();
    p.click(Form1::Command1Row);
    // Everything emptied before anything hides, and the confirm button shown last, over the rows it covers.
    const Strings expected = {"Form1 text Text1(0) empty", "Form1 text Text1(1) empty", "Form1 text Text1(2) empty",
                              "Form1 text Text1(3) empty", "Form1 hide Text1(2)",       "Form1 hide Text1(3)",
                              "Form1 hide Label3",         "Form1 hide Label4",         "Form1 hide Command1",
                              "Form1 hide Command2",       "Form1 show Command3"};
    QCOMPARE(logSince(before), expected);
    verifyEntryState();

    query(300, 300);
    verifyResultState();
    QCOMPARE(q(p.text(2)), m_table[300].name);
    QCOMPARE(q(p.text(3)), m_table[300].score);
}

void TestQueryWindowProcedures::ending_data()
{
    QTest::addColumn<bool>("resultState");
    QTest::addColumn<bool>("panelShown");
    QTest::addColumn<bool>("exitButton");
    QTest::newRow("close in entry state") << false << false << false;
    QTest::newRow("close in result state, panel shown") << true << true << false;
    QTest::newRow("exit button") << true << false << true;
    QTest::newRow("exit button, panel shown") << true << true << true;
}

void TestQueryWindowProcedures::ending()
{
    QFETCH(bool, resultState);
    QFETCH(bool, panelShown);
    QFETCH(bool, exitButton);
    CoreProgram& p = *m_program;
    if (resultState)
        query(40, 40);
    p.tick();
    if (panelShown)
        p.click(Form1::Command4Row);
    QCOMPARE(p.panel().visible, panelShown);
    const float panelLeft = p.panel().edges[0];

    if (exitButton)
        p.click(Form1::Command2Row);
    else
        p.runtime.platformCloses(Form1::Id);

    QCOMPARE(p.runtime.exits, std::vector<int>{0});
    QVERIFY(shell::programEnded());
    QVERIFY(!p.query().visible && !p.panel().visible);
    // No procedure runs after the end: the timer no longer docks the panel, and clicks do nothing.
    p.query().edges[0] += 600;
    p.tick();
    QCOMPARE(p.panel().edges[0], panelLeft);
    p.click(Form1::Command1Row);
    p.runtime.platformCloses(Form1::Id);
    QCOMPARE(p.runtime.exits, std::vector<int>{0});
}

void TestQueryWindowProcedures::errorDuringLoadEndsBeforeTheWindowShows()
{
    m_program.reset(); // one program life at a time
    m_program = std::make_unique<CoreProgram>();
    // A screen size the centring cannot turn into a position: a floating-point fault inside Form_Load.
    m_program->runtime.screen[0] = std::numeric_limits<float>::infinity();
    QCOMPARE(shell::runProgram(m_program->runtime), 1);
    QCOMPARE(m_program->runtime.exits, std::vector<int>{1});
    QVERIFY(!m_program->query().visible);
    QCOMPARE(m_program->runtime.log, (Strings{"Form1 create", "Form1 report"}));
    QCOMPARE(m_program->runtime.reportCaptions, std::vector<std::u16string>{u"工程1"});
    QCOMPARE(q(m_program->runtime.reports.at(0)), u"运行时错误 '6'：\n\n浮点运算溢出或无效（Left）"_s);
}

void TestQueryWindowProcedures::sealedRows_data()
{
    QTest::addColumn<bool>("altered");
    QTest::newRow("as sealed") << false;
    QTest::newRow("a byte of row 17 changed") << true;
}

void TestQueryWindowProcedures::sealedRows()
{
    // The window as a program for publishing runs it: the same dialogue over the sealed rows.
    QFETCH(bool, altered);
    frontend::OpenSslSealing sealing;
    roster::setSealing(&sealing);
    const roster::SealedTable& sealed = roster::testing::SealedForTests;
    std::vector<roster::SealedRow> rows(sealed.rows.begin(), sealed.rows.end());
    // The rows lie in a random order: row 17's position, found by its pair.
    roster::CandidateRoster probe;
    roster::useSealedRows(probe, sealed);
    Int16Counter position;
    roster::FindCandidate(probe, u16(m_table[17].id), u16(m_table[17].ticket), position);
    QVERIFY(position <= roster::RowCount);
    const std::size_t at = std::size_t(position - 1);
    std::vector<std::uint8_t> record(rows[at].sealed.begin(), rows[at].sealed.end());
    record.back() ^= 0x40;
    if (altered)
        rows[at].sealed = record;
    roster::SealedTable table = sealed;
    table.rows = rows;
    roster::useSealedRows(Form1::instance().Roster, table);
    CoreProgram& p = *m_program;

    query(17, 18);
    QCOMPARE(p.runtime.messages, std::vector<std::u16string>{u"身份证号或准考证号错误，请重新输入！"});
    verifyEntryState();
    query(17, 17);
    if (!altered) {
        verifyResultState();
        QCOMPARE(q(p.text(2)), m_table[17].name);
        QCOMPARE(q(p.text(3)), m_table[17].score);
        QCOMPARE(Form1::instance().Roster.openedRow, int(position));
        // 继续查询 lets go of the opened row: the roster holds nothing of it any more.
        p.click(Form1::Command1Row);
        verifyEntryState();
        QCOMPARE(Form1::instance().Roster.openedRow, 0);
        QVERIFY(Form1::instance().Roster.CandidateName(position).empty());
        QVERIFY(Form1::instance().Roster.Score(position).empty());
    } else {
        QCOMPARE(p.runtime.reportCaptions, std::vector<std::u16string>{u"工程1"});
        QCOMPARE(q(p.runtime.reports.at(0)), u"运行时错误 '321'：\n\n无效的文件格式（CandidateRoster）"_s);
        QVERIFY(shell::programEnded());
    }
    roster::setSealing(nullptr);
}

QTEST_APPLESS_MAIN(TestQueryWindowProcedures)
#include "tst_query_window.moc"
