#include "core/shell/Program.h"
#include "frontends/qt/QtRuntime.h"
#include "frontends/qt/WindowSystem.h"

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
    return shell::runProgram(runtime);
}
