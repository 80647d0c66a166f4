#include "query_window/Form1.h"
#include "shell/Program.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    shell::initialiseToolkit();
    return shell::runProgram([] {
        // Created and loaded (Form_Load centres it and fills the roster) before it is first shown.
        Form1& window = Form1::instance();
        window.show();
        window.activateWindow();
    });
}
