#pragma once

// The operations the program needs of the platform's windowing runtime, and nothing more. A front end (Qt on Linux,
// the Windows API on Windows) implements them; the procedures in the core call them through shell::runtime().
//
// Every operation either does what it says or raises RuntimeError (toolkitFailure, invalidFloatingPoint) at once;
// the shell turns that into the fatal-error report. Geometry is the outer frame of a top-level window (title bar
// and borders included), in single-precision twips; the front end rounds to its own pixels only at the boundary.
// What the user does reaches the core the other way, through the event entry points of Program.h.

#include "core/shell/Layout.h"

#include <string>
#include <string_view>

namespace shell {

enum class FormId { Form1, Form2 };
enum class Edge { Left, Top, Width, Height };

class Runtime {
public:
    virtual ~Runtime() = default;

    // Makes the window and its controls as `layout` gives them, hidden, at the platform's default place; a timer of
    // the layout starts ticking. Called again after the platform has closed the window.
    virtual void createWindow(FormId form, const FormLayout& layout) = 0;

    virtual bool isWindowVisible(FormId form) = 0;
    virtual void setWindowVisible(FormId form, bool visible) = 0;
    // Brings a shown window to the front with the keyboard focus on its first control in tab order.
    virtual void activateWindow(FormId form) = 0;

    virtual float windowEdge(FormId form, Edge edge) = 0;
    virtual void setWindowEdge(FormId form, Edge edge, float twips) = 0;
    // The whole primary screen, not its work area: Edge::Width or Edge::Height.
    virtual float screenSize(Edge edge) = 0;

    virtual void setControlVisible(FormId form, ControlIndex control, bool visible) = 0;
    virtual std::u16string controlText(FormId form, ControlIndex control) = 0;
    virtual void setControlText(FormId form, ControlIndex control, std::u16string_view text) = 0;

    // The application-modal message box: the prompt, an OK button only, no icon; returns when it is closed.
    virtual void showMessage(std::u16string_view caption, std::u16string_view prompt) = 0;
    // The platform's report of an unhandled run-time error, modal; returns when it is closed.
    virtual void showFatalErrorReport(std::u16string_view caption, std::u16string_view text) = 0;

    // Runs the one event loop until the process ends.
    virtual int runEventLoop() = 0;
    // Every window vanishes and the process exits with `status` at once. Returns only where a test records the end.
    virtual void endProcess(int status) = 0;
};

} // namespace shell
