#include "core/shell/Program.h"

#include "core/instructions_panel/Form2.h"
#include "core/query_window/Form1.h"
#include "core/shell/AppInfo.h"
#include "core/shell/RuntimeError.h"

namespace shell {

namespace {

Runtime* g_runtime = nullptr;
bool g_ended = false;
bool g_reporting = false;
int g_exitStatus = 0;

// Thrown only where the runtime's endProcess returns (a test), to unwind the procedure that ended the program.
struct ProgramEndedUnwind {};

[[noreturn]] void endProcess(int status)
{
    g_ended = true;
    g_exitStatus = status;
    runtime().endProcess(status);
    throw ProgramEndedUnwind{};
}

void showFatalErrorReport(const RuntimeError& error)
{
    g_reporting = true;
    runtime().showFatalErrorReport(applicationTitle(), error.reportText());
    g_reporting = false;
}

} // namespace

Runtime& runtime()
{
    if (!g_runtime)
        throw RuntimeError::toolkitFailure(u"Runtime");
    return *g_runtime;
}

void setRuntime(Runtime* runtime)
{
    g_runtime = runtime;
    g_ended = false;
    g_reporting = false;
    g_exitStatus = 0;
}

std::u16string_view applicationTitle()
{
    return appinfo::Name;
}

void startUp()
{
    Form1::instance().Show();
    runtime().activateWindow(Form1::Id);
}

int runProgram(Runtime& runtime)
{
    setRuntime(&runtime);
    runEventProcedure(startUp);
    if (g_ended)
        return g_exitStatus;
    return runtime.runEventLoop();
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

void showMessage(std::u16string_view prompt)
{
    runtime().showMessage(applicationTitle(), prompt);
    // A fatal error in a tick that ran inside the box's loop has ended the program; go no further.
    if (g_ended)
        throw ProgramEndedUnwind{};
}

bool programEnded()
{
    return g_ended;
}

void controlClicked(FormId form, ControlIndex control)
{
    runEventProcedure([&] {
        if (Form1* window = form == Form1::Id ? Form1::holder().loaded() : nullptr)
            window->onClick(control);
    });
}

void timerTicked(FormId form, ControlIndex timer)
{
    runEventProcedure([&] {
        if (Form1* window = form == Form1::Id ? Form1::holder().loaded() : nullptr)
            window->onTick(timer);
    });
}

bool windowCloseRequested(FormId form)
{
    if (form == Form1::Id) {
        // Form_Unload never refuses: the program ends with the window.
        runEventProcedure([] { Form1::instance().Form_Unload(); });
        return false;
    }
    // The panel has no unload procedure; it is loaded again at its next reference.
    Form2::holder().unloaded();
    return !g_ended;
}

} // namespace shell
