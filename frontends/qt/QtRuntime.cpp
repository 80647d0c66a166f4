#include "shell/Program.h"

#include "shell/AppInfo.h"
#include "shell/RuntimeError.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace shell {

namespace {

ExitHandler g_exitHandler;
bool g_ended = false;
bool g_reporting = false;
int g_exitStatus = 0;

// Thrown only when a test's exit handler returns, to unwind the procedure that ended the program.
struct ProgramEndedUnwind {};

[[noreturn]] void endProcess(int status)
{
    g_ended = true;
    g_exitStatus = status;
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    if (!g_exitHandler)
        std::_Exit(status); // at once: no destructor, timer or close handler runs any more
    g_exitHandler(status);
    throw ProgramEndedUnwind{};
}

QString applicationTitle()
{
    return QCoreApplication::applicationName();
}

// The platform's message boxes show plain buttons; some Qt styles give standard buttons an icon.
void showTextOnly(QAbstractButton* button)
{
    button->setIcon(QIcon());
}

void showFatalErrorReport(const RuntimeError& error)
{
    g_reporting = true;
    QMessageBox report(QMessageBox::Critical, applicationTitle(),
                       u"运行时错误 '%1'：\n\n%2"_s.arg(error.number()).arg(error.description()), QMessageBox::Ok);
    report.setWindowModality(Qt::ApplicationModal);
    showTextOnly(report.button(QMessageBox::Ok));
    report.exec();
    g_reporting = false;
}

} // namespace

void setApplicationMetadata()
{
    QCoreApplication::setApplicationName(QString::fromUtf16(appinfo::Name));
    QCoreApplication::setApplicationVersion(QString::fromUtf16(appinfo::Version));
    QCoreApplication::setOrganizationName(QString::fromUtf16(appinfo::Organization));
}

void initialiseToolkit()
{
    setApplicationMetadata();

    const QLocale prc(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(prc);
    static QTranslator qtTexts;
    if (qtTexts.load(prc, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // The layout names the Windows faces and relies on their metrics: Latin characters half an em wide, Chinese
    // ones a full em. The first face of each list has those metrics; the second draws the rare characters of
    // names that the first lacks.
    QFont::insertSubstitutions(u"宋体"_s, {u"AR PL UMing CN"_s, u"Noto Serif CJK SC"_s});
    QFont::insertSubstitutions(u"黑体"_s, {u"Noto Sans Mono CJK SC"_s, u"Noto Sans CJK SC"_s});
    // Every widget first lays out in the application font; the program's own face spares opening a Latin one,
    // and the message boxes speak in it too.
    QFont applicationFont = QApplication::font();
    applicationFont.setFamily(u"宋体"_s);
    QApplication::setFont(applicationFont);

    // The program ends only through EndProgram, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);
}

int runProgram(const std::function<void()>& startUp)
{
    runEventProcedure(startUp);
    if (g_ended)
        return g_exitStatus;
    return QApplication::exec();
}

void runEventProcedure(const std::function<void()>& procedure)
{
    if (g_ended || g_reporting)
        return;
    try {
        try {
            procedure();
        } catch (const RuntimeError& error) {
            showFatalErrorReport(error);
            endProcess(1);
        }
    } catch (const ProgramEndedUnwind&) {
    }
}

void EndProgram()
{
    endProcess(0);
}

void showMessage(const QString& prompt)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), prompt, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    showTextOnly(box.button(QMessageBox::Ok));
    box.exec();
    // A fatal error in a tick that ran inside the box's loop has ended the program; go no further.
    if (g_ended)
        throw ProgramEndedUnwind{};
}

bool programEnded()
{
    return g_ended;
}

void setExitHandler(ExitHandler handler)
{
    g_exitHandler = std::move(handler);
    g_ended = false;
    g_reporting = false;
    g_exitStatus = 0;
}

} // namespace shell
