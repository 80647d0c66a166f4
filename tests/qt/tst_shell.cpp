// The Qt front end's share of the shell, in process on the offscreen platform: the toolkit's language and faces,
// outer geometry in twips, and how the end of the program and the fatal-error report look.

#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"
#include "tests/GuiTestSupport.h"

#include <QFontInfo>
#include <QGlyphRun>
#include <QLocale>
#include <QScreen>
#include <QTextLayout>

using namespace Qt::Literals::StringLiterals;

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        frontend::initialiseToolkit();
        QApplication::setStyle(new DesktopButtonStyle);
    }
    void init() { m_life = std::make_unique<QtProgram>(); }
    void cleanup() { m_life.reset(); }

    void toolkitSpeaksChinese();
    void geometryFaultsSetNothing();
    void outerGeometryRoundTrips();
    void endProgramHidesEveryWindow();
    void fatalErrorReport();

private:
    std::unique_ptr<QtProgram> m_life;
};

void TestShell::toolkitSpeaksChinese()
{
    QCOMPARE(QLocale().name(), u"zh_CN"_s);
    QCOMPARE(QCoreApplication::applicationName(), u"工程1"_s);
    QCOMPARE(QCoreApplication::applicationVersion(), u"1.00"_s);
    QCOMPARE(QCoreApplication::organizationName(), u"China"_s);
    QCOMPARE(QFontInfo(frontend::pointFont(u"宋体"_s, 18)).family(), u"AR PL UMing CN"_s);
    QCOMPARE(QFontInfo(frontend::pointFont(u"黑体"_s, 18, true)).family(), u"Noto Sans Mono CJK SC"_s);
    // A rare character of a name that the Ming face lacks is drawn in the serif face that has it.
    QTextLayout rareName(u"𠮷"_s, frontend::pointFont(u"宋体"_s, 18));
    rareName.beginLayout();
    rareName.createLine();
    rareName.endLayout();
    QCOMPARE(rareName.glyphRuns().value(0).rawFont().familyName(), u"Noto Serif CJK SC"_s);
    QVERIFY(!QApplication::quitOnLastWindowClosed());
}

void TestShell::geometryFaultsSetNothing()
{
    const float twips = 1e30f; // beyond any pixel position
    QWidget window;
    window.resize(100, 100);
    const QPoint before = window.pos();
    try {
        frontend::setOuterLeft(window, twips);
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
    frontend::setOuterLeft(window, 1500.0f);
    frontend::setOuterTop(window, -300.0f); // never clamped to the screen
    frontend::setOuterWidth(window, 3000.0f);
    frontend::setOuterHeight(window, 750.0f);
    QCOMPARE(frontend::outerLeft(window), 1500.0f);
    QCOMPARE(frontend::outerTop(window), -300.0f);
    QCOMPARE(frontend::outerWidth(window), 3000.0f);
    QCOMPARE(frontend::outerHeight(window), 750.0f);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry(), QRect(100, -20, 200, 50));

    frontend::setScreenSizeOverride(QSizeF(19200, 14400));
    QCOMPARE(frontend::screenWidth(), 19200.0f);
    frontend::setScreenSizeOverride(std::nullopt);
    QCOMPARE(frontend::screenWidth(), frontend::twipsFromPixels(QGuiApplication::primaryScreen()->geometry().width()));
}

void TestShell::endProgramHidesEveryWindow()
{
    QWidget a, b;
    a.show();
    b.show();
    shell::runEventProcedure([] { shell::EndProgram(); });
    QCOMPARE(m_life->exitStatuses, QList<int>{0});
    QVERIFY(!a.isVisible() && !b.isVisible());
}

void TestShell::fatalErrorReport()
{
    MessageBoxAnswerer answerer([this] { QVERIFY(m_life->exitStatuses.isEmpty()); }); // the report comes first
    shell::runEventProcedure([] { throw RuntimeError::subscriptOutOfRange(); });
    QCOMPARE(answerer.seen.size(), 1);
    const SeenMessageBox& report = answerer.seen.first();
    QCOMPARE(report.title, u"工程1"_s);
    QCOMPARE(report.text, u"运行时错误 '9'：\n\n下标越界"_s);
    QCOMPARE(report.icon, QMessageBox::Critical);
    QCOMPARE(report.buttons, QStringList{u"确定"_s});
    QVERIFY(!report.buttonIcons);
    QCOMPARE(report.modality, Qt::ApplicationModal);
    QCOMPARE(m_life->exitStatuses, QList<int>{1});
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
