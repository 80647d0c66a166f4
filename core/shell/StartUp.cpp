#include "shell/StartUp.h"

#include "query_window/Form1.h"

namespace shell {

void startUp()
{
    Form1& window = Form1::instance();
    window.show();
    window.activateWindow();
}

} // namespace shell
