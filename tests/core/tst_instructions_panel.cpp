// What the procedures that serve the instructions panel decide, on the recording runtime: loading, docking,
// toggling and loading again after the platform closed the panel.

#include "tests/core/CoreProgram.h"

using Strings = std::vector<std::string>;

class TestPanelProcedures : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_program = std::make_unique<CoreProgram>();
        m_program->startUp();
    }
    void cleanup() { m_program.reset(); }

    void firstTickLoadsThePanelHiddenAndDocked();
    void clickBeforeTheFirstTickLoadsAndShows();
    void toggling();
    void followsTheQueryWindowWhileHidden_data();
    void followsTheQueryWindowWhileHidden();
    void reloadedAfterThePlatformClosesIt();

private:
    void verifyDocked();
    std::unique_ptr<CoreProgram> m_program;
};

void TestPanelProcedures::verifyDocked()
{
    // Against the query window's outer frame, as high and half as wide, all unrounded.
    const float* query = m_program->query().edges;
    const float* panel = m_program->panel().edges;
    QCOMPARE(panel[0], query[0] + query[2]);
    QCOMPARE(panel[1], query[1]);
    QCOMPARE(panel[2], query[2] / 2.0f);
    QCOMPARE(panel[3], query[3]);
}

void TestPanelProcedures::firstTickLoadsThePanelHiddenAndDocked()
{
    const std::size_t before = m_program->runtime.log.size();
    m_program->tick();
    // Loading hides, then sizes and places the panel; the tick then places it again.
    const Strings expected = {"Form2 create",
                              "Form2 hide",
                              "Form2 Height=5505.000000",
                              "Form2 Width=4590.000000",
                              "Form2 Left=14190.000000",
                              "Form2 Top=4927.500000",
                              "Form2 Left=14190.000000",
                              "Form2 Top=4927.500000"};
    QCOMPARE(Strings(m_program->runtime.log.begin() + long(before), m_program->runtime.log.end()), expected);
    QVERIFY(!m_program->panel().visible);
    verifyDocked();
    m_program->tick();
    QCOMPARE(m_program->panel().created, 1);
}

void TestPanelProcedures::clickBeforeTheFirstTickLoadsAndShows()
{
    m_program->click(Form1::Command4Row);
    QCOMPARE(m_program->panel().created, 1);
    QVERIFY(m_program->panel().visible);
    verifyDocked();
}

void TestPanelProcedures::toggling()
{
    m_program->tick();
    for (bool shown : {true, false, true}) {
        m_program->click(Form1::Command4Row);
        QCOMPARE(m_program->panel().visible, shown);
    }
    QCOMPARE(m_program->panel().created, 1); // toggling never makes a second panel
    verifyDocked();
}

void TestPanelProcedures::followsTheQueryWindowWhileHidden_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::newRow("moved") << 150.0f << 300.0f;
    QTest::newRow("past the screen's right edge: never clamped") << 18000.0f << 7500.0f;
    QTest::newRow("above and left of the screen") << -750.0f << -45.0f;
    QTest::newRow("half twips") << 100.5f << 7.5f;
}

void TestPanelProcedures::followsTheQueryWindowWhileHidden()
{
    QFETCH(float, left);
    QFETCH(float, top);
    m_program->tick();
    const float width = m_program->panel().edges[2], height = m_program->panel().edges[3];
    m_program->query().edges[0] = left; // the user drags the query window
    m_program->query().edges[1] = top;
    m_program->tick();
    QVERIFY(!m_program->panel().visible);
    verifyDocked();
    QCOMPARE(m_program->panel().edges[2], width); // the tick never resizes
    QCOMPARE(m_program->panel().edges[3], height);
}

void TestPanelProcedures::reloadedAfterThePlatformClosesIt()
{
    m_program->click(Form1::Command4Row);
    QVERIFY(m_program->panel().visible);
    m_program->runtime.platformCloses(Form2::Id);
    QVERIFY(!m_program->panel().exists);
    QVERIFY(m_program->runtime.exits.empty()); // closing the panel never ends the program
    m_program->tick();
    QCOMPARE(m_program->panel().created, 2);
    QVERIFY(!m_program->panel().visible);
    verifyDocked();
    m_program->click(Form1::Command4Row);
    QVERIFY(m_program->panel().visible);
}

QTEST_APPLESS_MAIN(TestPanelProcedures)
#include "tst_instructions_panel.moc"
