// The application shell without a toolkit: window instances, twips, the end of the program and the fatal-error
// report.

#include "core/shell/Form.h"
#include "core/shell/FormInstance.h"
#include "core/shell/Twips.h"
#include "tests/core/CoreProgram.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

// A window that records how it is loaded and refers to itself by name while loading.
class ProbeForm : public shell::Window {
public:
    static constexpr shell::FormId Id = shell::FormId::Form2;
    static inline const shell::FormLayout Layout{"Probe", u"", shell::Border::None, false, false, 1500, 750, {}, {}};
    static shell::FormInstance<ProbeForm>& holder()
    {
        static shell::FormInstance<ProbeForm> instance;
        return instance;
    }
    ProbeForm()
        : shell::Window(Id)
    {
        ++created;
    }
    void Form_Load()
    {
        ++loads;
        selfDuringLoad = &holder().get();
        holder().get().setLeft(300.0f);
    }

    static inline int created = 0;
    static inline int loads = 0;
    ProbeForm* selfDuringLoad = nullptr;
};

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_program = std::make_unique<CoreProgram>();
        ProbeForm::holder().discard();
        ProbeForm::created = ProbeForm::loads = 0;
    }
    void cleanup()
    {
        ProbeForm::holder().discard();
        m_program.reset();
    }

    void instanceIsCreatedAndLoadedOnFirstReference();
    void closedWindowIsLoadedAgainAtTheNextReference();
    void devicePixels_data();
    void devicePixels();
    void geometryFaultsRaiseRunTimeErrors_data();
    void geometryFaultsRaiseRunTimeErrors();
    void endProgramEndsAtOnce();
    void fatalErrorReportEndsTheProgram_data();
    void fatalErrorReportEndsTheProgram();

private:
    std::unique_ptr<CoreProgram> m_program;
};

void TestShell::instanceIsCreatedAndLoadedOnFirstReference()
{
    RecordingRuntime& runtime = m_program->runtime;
    QVERIFY(!ProbeForm::holder().isLoaded());
    ProbeForm& form = ProbeForm::holder().get();
    QCOMPARE(ProbeForm::created, 1);
    QCOMPARE(ProbeForm::loads, 1);
    QCOMPARE(form.selfDuringLoad, &form); // the name already stood for the window being loaded
    // The window was made before the load ran, and the load ran before the reference took effect; loading never shows.
    QCOMPARE(runtime.log, (std::vector<std::string>{"Form2 create", "Form2 Left=300.000000"}));
    QVERIFY(!runtime.window(ProbeForm::Id).visible);
    QCOMPARE(&ProbeForm::holder().get(), &form);
    QCOMPARE(ProbeForm::loads, 1);
}

void TestShell::closedWindowIsLoadedAgainAtTheNextReference()
{
    ProbeForm* first = &ProbeForm::holder().get();
    first->Show();
    m_program->runtime.window(ProbeForm::Id).exists = false; // the platform closed it
    ProbeForm::holder().unloaded();
    QVERIFY(!ProbeForm::holder().isLoaded());
    ProbeForm& second = ProbeForm::holder().get();
    QCOMPARE(&second, first); // the instance and its data remain; only the window is made again
    QCOMPARE(ProbeForm::created, 1);
    QCOMPARE(ProbeForm::loads, 2);
    QCOMPARE(m_program->runtime.window(ProbeForm::Id).created, 2);
    QVERIFY(!second.Visible());
}

void TestShell::devicePixels_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<float>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("client width") << 9090.0f << 96.0f << 606;
    QTest::newRow("client height") << 5025.0f << 96.0f << 335;
    QTest::newRow("cut by frame") << 9135.0f << 96.0f << 609;
    QTest::newRow("half twip up") << 4597.5f << 96.0f << 307;
    QTest::newRow("just under half a pixel") << 4597.0f << 96.0f << 306;
    QTest::newRow("negative") << -1500.0f << 96.0f << -100;
    QTest::newRow("144 dpi") << 9090.0f << 144.0f << 909;
    QTest::newRow("120 dpi, half a pixel up") << 4590.0f << 120.0f << 383;
}

void TestShell::devicePixels()
{
    QFETCH(float, twips);
    QFETCH(float, dpi);
    QFETCH(int, pixels);
    QCOMPARE(shell::devicePixels(twips, dpi, u"Left"), pixels);
    QCOMPARE(shell::twipsFromDevicePixels(pixels, dpi), float(pixels) * 1440.0f / dpi);
}

void TestShell::geometryFaultsRaiseRunTimeErrors_data()
{
    QTest::addColumn<float>("twips");
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
}

void TestShell::geometryFaultsRaiseRunTimeErrors()
{
    QFETCH(float, twips);
    ProbeForm& form = ProbeForm::holder().get();
    const std::size_t calls = m_program->runtime.log.size();
    try {
        form.setTop(twips);
        QFAIL("a position that is no finite number must raise");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
    QCOMPARE(m_program->runtime.log.size(), calls); // the edge being computed is not set
    QVERIFY_THROWS_EXCEPTION(RuntimeError, shell::devicePixels(1e30f, 96.0f, u"Left"));
}

void TestShell::endProgramEndsAtOnce()
{
    m_program->startUp();
    m_program->click(Form1::Command4Row);
    bool wentOn = false;
    int laterRuns = 0;
    shell::runEventProcedure([&] {
        shell::EndProgram();
        wentOn = true;
    });
    QVERIFY(!wentOn);
    QCOMPARE(m_program->runtime.exits, std::vector<int>{0});
    QVERIFY(!m_program->query().visible && !m_program->panel().visible);
    shell::runEventProcedure([&] { ++laterRuns; });
    QCOMPARE(laterRuns, 0);
}

void TestShell::fatalErrorReportEndsTheProgram_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("report");
    QTest::newRow("subscript") << int(RuntimeError::SubscriptOutOfRange) << u"运行时错误 '9'：\n\n下标越界"_s;
    QTest::newRow("overflow") << int(RuntimeError::Overflow) << u"运行时错误 '6'：\n\n溢出"_s;
    QTest::newRow("toolkit") << int(RuntimeError::InvalidCall)
                             << u"运行时错误 '5'：\n\n无效的过程调用或参数（Screen）"_s;
}

void TestShell::fatalErrorReportEndsTheProgram()
{
    QFETCH(int, number);
    QFETCH(QString, report);
    RecordingRuntime& runtime = m_program->runtime;
    bool wentOn = false;
    int laterRuns = 0;
    shell::runEventProcedure([&] {
        switch (number) {
        case RuntimeError::SubscriptOutOfRange: {
            roster::CandidateRoster roster;
            (void)roster.Score(346);
            break;
        }
        case RuntimeError::Overflow: {
            Int16Counter counter;
            counter = 32767;
            counter.step();
            break;
        }
        default:
            throw RuntimeError::toolkitFailure(u"Screen");
        }
        wentOn = true;
    });
    QVERIFY(!wentOn);
    QCOMPARE(runtime.reportCaptions, std::vector<std::u16string>{u"工程1"});
    QCOMPARE(q(runtime.reports.at(0)), report);
    QCOMPARE(runtime.exits, std::vector<int>{1}); // after the report was closed
    shell::runEventProcedure([&] { ++laterRuns; });
    QCOMPARE(laterRuns, 0);
}

QTEST_APPLESS_MAIN(TestShell)
#include "tst_shell.moc"
