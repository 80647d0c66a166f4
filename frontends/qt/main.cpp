#include "core/shell/Program.h"
#include "frontends/qt/QtRuntime.h"
#include "frontends/qt/WindowSystem.h"
#ifdef SCOREQUERY_SEALED
#include "frontends/qt/OpenSslSealing.h"
#endif

#include <QApplication>

int main(int, char* argv[])
{
    if (!frontend::windowsystem::prepareToolkit())
        return 1;
    // The program takes no command line: only its name reaches the toolkit, so none of Qt's own options
    // (-platform, -style, -stylesheet, -geometry, ...) can change it.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    frontend::initialiseToolkit();
    frontend::QtRuntime runtime;
#ifdef SCOREQUERY_SEALED
    // The program for publishing: its rows open only for the pair that was typed.
    frontend::OpenSslSealing sealing;
    roster::setSealing(&sealing);
#endif
    return shell::runProgram(runtime);
}
