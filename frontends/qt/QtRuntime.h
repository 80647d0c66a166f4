#pragma once

// The Qt front end: the runtime the program's procedures call, carried out with Qt widgets.
//
// Data flow: main() prepares the window system (WindowSystem.h), makes the QApplication, calls initialiseToolkit
// and hands a QtRuntime to shell::runProgram. createWindow builds a FormWidget from a window's layout table; the
// widgets' clicks, the timers' ticks and close requests go back to the core's event entry points (Program.h).
// Geometry in twips goes through Geometry.h, which alone knows frames and device pixels. Nothing here decides what
// the program does.

#include "core/shell/Runtime.h"

#include <QPointer>
#include <QString>
#include <array>
#include <functional>

class QWidget;

namespace frontend {

class FormWidget;

// Locale (Chinese, PRC), Qt's own Simplified Chinese texts, font substitutes for the layouts' faces, and the
// application metadata. Call once, after QApplication exists and before any widget is made.
void initialiseToolkit();

QString toQString(std::u16string_view text);

class QtRuntime final : public shell::Runtime {
public:
    QtRuntime();
    ~QtRuntime() override;

    void createWindow(shell::FormId form, const shell::FormLayout& layout) override;
    bool isWindowVisible(shell::FormId form) override;
    void setWindowVisible(shell::FormId form, bool visible) override;
    void activateWindow(shell::FormId form) override;
    float windowEdge(shell::FormId form, shell::Edge edge) override;
    void setWindowEdge(shell::FormId form, shell::Edge edge, float twips) override;
    float screenSize(shell::Edge edge) override;
    void setControlVisible(shell::FormId form, shell::ControlIndex control, bool visible) override;
    std::u16string controlText(shell::FormId form, shell::ControlIndex control) override;
    void setControlText(shell::FormId form, shell::ControlIndex control, std::u16string_view text) override;
    void showMessage(std::u16string_view caption, std::u16string_view prompt) override;
    void showFatalErrorReport(std::u16string_view caption, std::u16string_view text) override;
    int runEventLoop() override;
    void endProcess(int status) override;

    // The window of a form while it exists; nullptr before it is made and after the platform has closed it.
    FormWidget* window(shell::FormId form) const;
    // A test records the end instead of losing its own process.
    void setExitRecorder(std::function<void(int status)> recorder) { m_exitRecorder = std::move(recorder); }

private:
    FormWidget& existing(shell::FormId form) const;
    QWidget& control(shell::FormId form, shell::ControlIndex index) const;

    std::array<QPointer<FormWidget>, 2> m_windows;
    std::function<void(int)> m_exitRecorder;
};

} // namespace frontend
