#include "frontends/qt/QtRuntime.h"

#include "core/roster/Sealing.h"
#include "core/shell/AppInfo.h"
#include "core/shell/RuntimeError.h"
#include "frontends/qt/FormWidget.h"
#include "frontends/qt/Geometry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace frontend {

namespace {

// The platform's message boxes show plain buttons; some Qt styles give standard buttons an icon.
void showTextOnly(QAbstractButton* button)
{
    button->setIcon(QIcon());
}

void runModalBox(QMessageBox::Icon icon, std::u16string_view caption, std::u16string_view text)
{
    QMessageBox box(icon, toQString(caption), toQString(text), QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    showTextOnly(box.button(QMessageBox::Ok));
    box.exec();
}

std::size_t slotOf(shell::FormId form)
{
    return form == shell::FormId::Form1 ? 0 : 1;
}

} // namespace

QString toQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

void initialiseToolkit()
{
    QCoreApplication::setApplicationName(toQString(shell::appinfo::Name));
    QCoreApplication::setApplicationVersion(toQString(shell::appinfo::Version));
    QCoreApplication::setOrganizationName(toQString(shell::appinfo::Organization));

    const QLocale prc(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(prc);
    static QTranslator qtTexts;
    if (qtTexts.load(prc, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // The layouts name the Windows faces and rely on their metrics: Latin characters half an em wide, Chinese
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

QtRuntime::QtRuntime() = default;

QtRuntime::~QtRuntime()
{
    for (QPointer<FormWidget>& window : m_windows)
        delete window.data();
}

FormWidget* QtRuntime::window(shell::FormId form) const
{
    return m_windows[slotOf(form)].data();
}

FormWidget& QtRuntime::existing(shell::FormId form) const
{
    FormWidget* w = window(form);
    if (!w)
        throw RuntimeError::toolkitFailure(u"Form");
    return *w;
}

QWidget& QtRuntime::control(shell::FormId form, shell::ControlIndex index) const
{
    return existing(form).control(index);
}

void QtRuntime::createWindow(shell::FormId form, const shell::FormLayout& layout)
{
    m_windows[slotOf(form)] = new FormWidget(form, layout);
}

bool QtRuntime::isWindowVisible(shell::FormId form)
{
    return existing(form).isVisible();
}

void QtRuntime::setWindowVisible(shell::FormId form, bool visible)
{
    existing(form).setVisible(visible);
}

void QtRuntime::activateWindow(shell::FormId form)
{
    existing(form).activateWindow();
}

float QtRuntime::windowEdge(shell::FormId form, shell::Edge edge)
{
    const QWidget& w = existing(form);
    switch (edge) {
    case shell::Edge::Left:
        return frontend::outerLeft(w);
    case shell::Edge::Top:
        return frontend::outerTop(w);
    case shell::Edge::Width:
        return frontend::outerWidth(w);
    case shell::Edge::Height:
        return frontend::outerHeight(w);
    }
    throw RuntimeError::toolkitFailure(u"Edge");
}

void QtRuntime::setWindowEdge(shell::FormId form, shell::Edge edge, float twips)
{
    QWidget& w = existing(form);
    switch (edge) {
    case shell::Edge::Left:
        return frontend::setOuterLeft(w, twips);
    case shell::Edge::Top:
        return frontend::setOuterTop(w, twips);
    case shell::Edge::Width:
        return frontend::setOuterWidth(w, twips);
    case shell::Edge::Height:
        return frontend::setOuterHeight(w, twips);
    }
}

float QtRuntime::screenSize(shell::Edge edge)
{
    return edge == shell::Edge::Width ? frontend::screenWidth() : frontend::screenHeight();
}

void QtRuntime::setControlVisible(shell::FormId form, shell::ControlIndex index, bool visible)
{
    control(form, index).setVisible(visible);
}

std::u16string QtRuntime::controlText(shell::FormId form, shell::ControlIndex index)
{
    auto* box = qobject_cast<QLineEdit*>(&control(form, index));
    if (!box)
        throw RuntimeError::toolkitFailure(u"Text");
    const QString text = box->text();
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}

void QtRuntime::setControlText(shell::FormId form, shell::ControlIndex index, std::u16string_view text)
{
    auto* box = qobject_cast<QLineEdit*>(&control(form, index));
    if (!box)
        throw RuntimeError::toolkitFailure(u"Text");
    // Setting a text also clears the box's undo history, so Ctrl+Z gives back no earlier text. The earlier text
    // itself, once the box has let go of it, is wiped before it is freed: it may be a candidate's numbers or name.
    QString earlier = box->text();
    box->setText(toQString(text));
    if (earlier.isDetached())
        roster::wipeHeld(std::span(reinterpret_cast<std::uint8_t*>(earlier.data()),
                                   std::size_t(earlier.capacity()) * sizeof(QChar)));
}

void QtRuntime::showMessage(std::u16string_view caption, std::u16string_view prompt)
{
    runModalBox(QMessageBox::NoIcon, caption, prompt);
}

void QtRuntime::showFatalErrorReport(std::u16string_view caption, std::u16string_view text)
{
    runModalBox(QMessageBox::Critical, caption, text);
}

int QtRuntime::runEventLoop()
{
    return QApplication::exec();
}

void QtRuntime::endProcess(int status)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    if (!m_exitRecorder)
        std::_Exit(status); // at once: no destructor, timer or close handler runs any more
    m_exitRecorder(status);
}

} // namespace frontend
