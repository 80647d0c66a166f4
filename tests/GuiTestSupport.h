#pragma once

// Shared by the in-process window tests: a fresh program life per test, and message boxes answered as a
// person would answer them.

#include "instructions_panel/Form2.h"
#include "query_window/Form1.h"
#include "shell/Program.h"
#include "shell/StartUp.h"
#include "shell/Twips.h"

#include <QAbstractButton>
#include <QApplication>
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

// Starts a fresh program life: no windows from an earlier test, exits recorded instead of ending the process.
class ProgramLife {
public:
    ProgramLife()
    {
        Form2::holder().discard();
        Form1::holder().discard();
        shell::setScreenSizeOverride(std::nullopt);
        shell::setExitHandler([this](int status) { exitStatuses.append(status); });
    }
    ~ProgramLife()
    {
        Form2::holder().discard();
        Form1::holder().discard();
        shell::setScreenSizeOverride(std::nullopt);
    }

    // The start-up steps of the program: create and load the query window, show and activate it.
    Form1& startUp()
    {
        shell::runEventProcedure(shell::startUp);
        return Form1::instance();
    }

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
