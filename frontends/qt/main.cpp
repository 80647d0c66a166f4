#include "shell/Program.h"
#include "shell/StartUp.h"
#include "shell/WindowSystem.h"

#include <QApplication>

int main(int, char* argv[])
{
    if (!shell::windowsystem::prepareToolkit())
        return 1;
    // The program takes no command line: only its name reaches the toolkit, so none of Qt's own options
    // (-platform, -style, -stylesheet, -geometry, ...) can change it.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    shell::initialiseToolkit();
    return shell::runProgram(shell::startUp);
}
