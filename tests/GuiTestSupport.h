#pragma once

// Shared by the in-process window tests: a fresh program life per test, and message boxes answered as a
// person would answer them.

#include "core/instructions_panel/Form2.h"
#include "core/query_window/Form1.h"
#include "frontends/qt/FormWidget.h"
#include "frontends/qt/Geometry.h"
#include "frontends/qt/QtRuntime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

// What a message box showed when it came up.
struct SeenMessageBox {
    QString title;
    QString text;
    QStringList buttons;
    bool buttonIcons = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
};

// Answers every message box that comes up by clicking its OK button once the box runs its own loop, and keeps
// what each box showed. `whileOpen` runs while the box is still open (to look at the windows behind it).
class MessageBoxAnswerer : public QObject {
public:
    explicit MessageBoxAnswerer(std::function<void()> whileOpen = {})
        : m_whileOpen(std::move(whileOpen))
    {
        qApp->installEventFilter(this);
    }
    ~MessageBoxAnswerer() override { qApp->removeEventFilter(this); }

    QList<SeenMessageBox> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) {
            QStringList buttons;
            bool buttonIcons = false;
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
                buttonIcons |= !b->icon().isNull();
            }
            seen.append({box->windowTitle(), box->text(), buttons, buttonIcons, box->icon(), box->windowModality()});
            QPointer<QMessageBox> guard(box);
            QTimer::singleShot(0, box, [this, guard] {
                if (m_whileOpen)
                    m_whileOpen();
                if (guard && guard->button(QMessageBox::Ok))
                    guard->button(QMessageBox::Ok)->click();
            });
        }
        return false;
    }

private:
    std::function<void()> m_whileOpen;
};

// The style as desktops other than the offscreen platform make it: standard dialog buttons carry icons.
class DesktopButtonStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The query window's widgets by their names.
struct QueryWindow {
    explicit QueryWindow(frontend::FormWidget* window)
        : form(window)
    {
        for (int i = 0; i < 4; ++i)
            text1[std::size_t(i)] = form->findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i));
    }
    QLineEdit& Text1(int index) const { return *text1[std::size_t(index)]; }
    template <class T = QWidget> T* named(const char* name) const { return form->findChild<T*>(QLatin1String(name)); }

    frontend::FormWidget* form;
    std::array<QLineEdit*, 4> text1{};
    QLabel* Label1 = named<QLabel>("Label1");
    QLabel* Label2 = named<QLabel>("Label2");
    QLabel* Label3 = named<QLabel>("Label3");
    QLabel* Label4 = named<QLabel>("Label4");
    QLabel* Label5 = named<QLabel>("Label5");
    QLabel* Label6 = named<QLabel>("Label6");
    QLabel* Label7 = named<QLabel>("Label7");
    QLabel* Label8 = named<QLabel>("Label8");
    QPushButton* Command1 = named<QPushButton>("Command1");
    QPushButton* Command2 = named<QPushButton>("Command2");
    QPushButton* Command3 = named<QPushButton>("Command3");
    QPushButton* Command4 = named<QPushButton>("Command4");
    QTimer* Timer1 = form->findChild<QTimer*>(QStringLiteral("Timer1"));
};

// A fresh program life on the Qt front end: no windows from an earlier test, exits recorded instead of ending the
// process.
class QtProgram {
public:
    QtProgram()
    {
        Form2::holder().discard();
        Form1::holder().discard();
        frontend::setScreenSizeOverride(std::nullopt);
        runtime.setExitRecorder([this](int status) { exitStatuses.append(status); });
        shell::setRuntime(&runtime);
    }
    ~QtProgram()
    {
        Form2::holder().discard();
        Form1::holder().discard();
        shell::setRuntime(nullptr);
        frontend::setScreenSizeOverride(std::nullopt);
    }

    // The start-up steps of the program: create and load the query window, show and activate it.
    QueryWindow startUp()
    {
        shell::runEventProcedure(shell::startUp);
        return query();
    }
    QueryWindow query() const { return QueryWindow(runtime.window(shell::FormId::Form1)); }
    // The panel's window while it exists.
    frontend::FormWidget* panel() const { return runtime.window(shell::FormId::Form2); }

    frontend::QtRuntime runtime;
    QList<int> exitStatuses;
};

// The offscreen platform warns about every message box it cannot size natively; thousands of boxes would drown
// the test's own output.
inline void silenceOffscreenSizeHintWarnings()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
            return;
        previous(type, context, message);
    });
}

inline void typeInto(QLineEdit& box, const QString& text)
{
    QTest::mouseClick(&box, Qt::LeftButton);
    QTest::keyClicks(&box, text);
}
