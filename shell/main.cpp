#include "shell/Program.h"
#include "shell/StartUp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    shell::initialiseToolkit();
    return shell::runProgram(shell::startUp);
}
