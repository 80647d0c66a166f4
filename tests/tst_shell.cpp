// The application shell: window instances, twips, the end of the program and the fatal-error report.

#include "shell/FormInstance.h"
#include "shell/Program.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "tests/GuiTestSupport.h"

#include <QFontInfo>
#include <QGlyphRun>
#include <QLocale>
#include <QTextLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

// A window that records how it is loaded and refers to itself by name while loading.
class ProbeForm : public QWidget {
public:
    static shell::FormInstance<ProbeForm>& holder()
    {
        static shell::FormInstance<ProbeForm> instance;
        return instance;
    }
    ProbeForm() { ++created; }
    void Form_Load()
    {
        ++loads;
        selfDuringLoad = &holder().get();
        resize(100, 50);
    }

    static inline int created = 0;
    static inline int loads = 0;
    ProbeForm* selfDuringLoad = nullptr;
};

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        shell::initialiseToolkit();
        QApplication::setStyle(new DesktopButtonStyle);
    }
    void init()
    {
        shell::setExitHandler([this](int status) { m_exits.append(status); });
    }
    void cleanup() { m_exits.clear(); }

    void toolkitSpeaksChinese();
    void instanceIsCreatedAndLoadedOnFirstReference();
    void closedWindowIsLoadedAgainAtTheNextReference();
    void twipsConversion_data();
    void twipsConversion();
    void geometryFaultsRaiseRunTimeErrors_data();
    void geometryFaultsRaiseRunTimeErrors();
    void outerGeometryRoundTrips();
    void endProgramEndsAtOnce();
    void fatalErrorReportEndsTheProgram_data();
    void fatalErrorReportEndsTheProgram();

private:
    QList<int> m_exits;
};

void TestShell::toolkitSpeaksChinese()
{
    QCOMPARE(QLocale().name(), u"zh_CN"_s);
    QCOMPARE(QCoreApplication::applicationName(), u"工程1"_s);
    QCOMPARE(QCoreApplication::applicationVersion(), u"1.00"_s);
    QCOMPARE(QCoreApplication::organizationName(), u"China"_s);
    QCOMPARE(QFontInfo(shell::pointFont(u"宋体"_s, 18)).family(), u"AR PL UMing CN"_s);
    QCOMPARE(QFontInfo(shell::pointFont(u"黑体"_s, 18, true)).family(), u"Noto Sans Mono CJK SC"_s);
    // A rare character of a name that the Ming face lacks is drawn in the serif face that has it.
    QTextLayout rareName(u"𠮷"_s, shell::pointFont(u"宋体"_s, 18));
    rareName.beginLayout();
    rareName.createLine();
    rareName.endLayout();
    QCOMPARE(rareName.glyphRuns().value(0).rawFont().familyName(), u"Noto Serif CJK SC"_s);
    QVERIFY(!QApplication::quitOnLastWindowClosed());
}

void TestShell::instanceIsCreatedAndLoadedOnFirstReference()
{
    ProbeForm::holder().discard();
    ProbeForm::created = ProbeForm::loads = 0;
    QVERIFY(!ProbeForm::holder().isLoaded());
    ProbeForm& form = ProbeForm::holder().get();
    QCOMPARE(ProbeForm::created, 1);
    QCOMPARE(ProbeForm::loads, 1);
    QCOMPARE(form.selfDuringLoad, &form);  // the name already stood for the window being loaded
    QCOMPARE(form.size(), QSize(100, 50)); // the load ran before the reference took effect
    QVERIFY(!form.isVisible());            // loading never shows
    QCOMPARE(&ProbeForm::holder().get(), &form);
    QCOMPARE(ProbeForm::loads, 1);
    ProbeForm::holder().discard();
}

void TestShell::closedWindowIsLoadedAgainAtTheNextReference()
{
    ProbeForm::holder().discard();
    ProbeForm::created = ProbeForm::loads = 0;
    QPointer<ProbeForm> first = &ProbeForm::holder().get();
    first->show();
    QVERIFY(first->close());
    QVERIFY(!ProbeForm::holder().isLoaded());
    ProbeForm& second = ProbeForm::holder().get();
    QCOMPARE(ProbeForm::created, 2);
    QCOMPARE(ProbeForm::loads, 2);
    QVERIFY(!second.isVisible());
    QTRY_VERIFY(first.isNull()); // Qt deletes the closed window itself
    QVERIFY(ProbeForm::holder().isLoaded());
    ProbeForm::holder().discard();
}

void TestShell::twipsConversion_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("client width") << 9090.0f << 606;
    QTest::newRow("client height") << 5025.0f << 335;
    QTest::newRow("cut by frame") << 9135.0f << 609;
    QTest::newRow("half twip up") << 4597.5f << 307;
    QTest::newRow("just under half a pixel") << 4597.0f << 306;
    QTest::newRow("negative") << -1500.0f << -100;
}

void TestShell::twipsConversion()
{
    QFETCH(float, twips);
    QFETCH(int, pixels);
    QCOMPARE(shell::pixelsFromTwips(twips), pixels);
}

void TestShell::geometryFaultsRaiseRunTimeErrors_data()
{
    QTest::addColumn<float>("twips");
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("beyond any pixel position") << 1e30f;
}

void TestShell::geometryFaultsRaiseRunTimeErrors()
{
    QFETCH(float, twips);
    QWidget window;
    window.resize(100, 100);
    const QPoint before = window.pos();
    try {
        shell::setOuterLeft(window, twips);
        QFAIL("a position that is no finite number of pixels must raise");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
    QCOMPARE(window.pos(), before); // the edge being computed is not set
}

void TestShell::outerGeometryRoundTrips()
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.resize(40, 30);
    shell::setOuterLeft(window, 1500.0f);
    shell::setOuterTop(window, -300.0f); // never clamped to the screen
    shell::setOuterWidth(window, 3000.0f);
    shell::setOuterHeight(window, 750.0f);
    QCOMPARE(shell::outerLeft(window), 1500.0f);
    QCOMPARE(shell::outerTop(window), -300.0f);
    QCOMPARE(shell::outerWidth(window), 3000.0f);
    QCOMPARE(shell::outerHeight(window), 750.0f);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry(), QRect(100, -20, 200, 50));

    shell::setScreenSizeOverride(QSizeF(19200, 14400));
    QCOMPARE(shell::screenWidth(), 19200.0f);
    shell::setScreenSizeOverride(std::nullopt);
    QCOMPARE(shell::screenWidth(), shell::twipsFromPixels(QGuiApplication::primaryScreen()->geometry().width()));
}

void TestShell::endProgramEndsAtOnce()
{
    QWidget a, b;
    a.show();
    b.show();
    bool wentOn = false;
    int laterRuns = 0;
    shell::runEventProcedure([&] {
        shell::EndProgram();
        wentOn = true;
    });
    QVERIFY(!wentOn);
    QCOMPARE(m_exits, QList<int>{0});
    QVERIFY(!a.isVisible() && !b.isVisible());
    shell::runEventProcedure([&] { ++laterRuns; });
    QCOMPARE(laterRuns, 0);
}

void TestShell::fatalErrorReportEndsTheProgram_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("subscript") << int(RuntimeError::SubscriptOutOfRange) << u"下标越界"_s;
    QTest::newRow("overflow") << int(RuntimeError::Overflow) << u"溢出"_s;
    QTest::newRow("toolkit") << int(RuntimeError::InvalidCall) << u"无效的过程调用或参数（Screen）"_s;
}

void TestShell::fatalErrorReportEndsTheProgram()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    MessageBoxAnswerer answerer([this] { QVERIFY(m_exits.isEmpty()); }); // the report comes before the end
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
            throw RuntimeError::toolkitFailure(u"Screen"_s);
        }
        wentOn = true;
    });
    QVERIFY(!wentOn);
    QCOMPARE(answerer.seen.size(), 1);
    const SeenMessageBox& report = answerer.seen.first();
    QCOMPARE(report.title, u"工程1"_s);
    QVERIFY2(report.text.contains(QString::number(number)), qPrintable(report.text));
    QVERIFY2(report.text.contains(description), qPrintable(report.text));
    QCOMPARE(report.buttons, QStringList{u"确定"_s});
    QVERIFY(!report.buttonIcons);
    QCOMPARE(report.modality, Qt::ApplicationModal);
    QCOMPARE(m_exits, QList<int>{1});
    shell::runEventProcedure([&] { ++laterRuns; });
    QCOMPARE(laterRuns, 0);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
