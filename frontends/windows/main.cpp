// The Windows program: the core's start-up and event loop on the plain Windows API. The command line is never
// read, and the program writes nothing: no file, no registry value.

#include "core/shell/Program.h"
#include "frontends/windows/WinRuntime.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    frontend::WinRuntime runtime(instance);
    return shell::runProgram(runtime);
}
