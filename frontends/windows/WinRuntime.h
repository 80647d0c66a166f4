#pragma once

// The Windows front end: the runtime the program's procedures call, carried out with the plain Windows API.
//
// Data flow: wWinMain hands a WinRuntime to shell::runProgram. createWindow builds a FormWindow from a window's
// layout table (FormWindow.h); its window procedure passes clicks, timer ticks and close requests to the core's
// event entry points (Program.h). runEventLoop is the one message loop; it gives Tab its meaning and keeps Enter
// and Escape inert. Twips become device pixels only here, through each window's own resolution (Display.h), as the
// outer frame the user sees. Nothing here decides what the program does.

#include "core/shell/Runtime.h"
#include "frontends/windows/FormWindow.h"

#include <array>
#include <memory>

namespace frontend {

class WinRuntime final : public shell::Runtime {
public:
    explicit WinRuntime(HINSTANCE instance);
    ~WinRuntime() override;

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

private:
    FormWindow& existing(shell::FormId form) const;
    FormWindow* alive(shell::FormId form) const;
    HWND textBox(shell::FormId form, shell::ControlIndex control) const;
    // The owner of a message box: the query window while it is shown.
    HWND messageBoxOwner() const;
    // Tab, Enter and Escape in one of the program's windows; true when the key has been dealt with.
    bool handleKey(const MSG& message);

    HINSTANCE m_instance;
    bool m_classRegistered = false;
    // The program's icon at the sizes of the title bar and of the taskbar and Alt+Tab.
    IconHandle m_smallIcon;
    IconHandle m_bigIcon;
    std::array<std::unique_ptr<FormWindow>, 2> m_windows;
};

} // namespace frontend
