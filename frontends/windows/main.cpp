// The Windows program: the core's start-up and event loop on the plain Windows API. The command line is never
// read, and the program writes nothing: no file, no registry value.

#include "core/shell/Program.h"
#include "frontends/windows/WinRuntime.h"
#ifdef SCOREQUERY_SEALED
#include "frontends/windows/CngSealing.h"
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    frontend::WinRuntime runtime(instance);
#ifdef SCOREQUERY_SEALED
    // The program for publishing: its rows open only for the pair that was typed.
    frontend::CngSealing sealing;
    roster::setSealing(&sealing);
#endif
    return shell::runProgram(runtime);
}
