// Form1's two procedures that serve only the instructions panel.

#include "instructions_panel/Form2.h"
#include "query_window/Form1.h"
#include "shell/Twips.h"

void Form1::Command4_Click()
{
    // Referring to the panel loads it first if needed; the timer has already put it in place.
    if (Form2::instance().isVisible())
        Form2::instance().hide();
    else
        Form2::instance().show();
}

void Form1::Timer1_Timer()
{
    const float width = shell::outerWidth(Form1::instance());
    const float left = shell::outerLeft(Form1::instance());
    shell::setOuterLeft(Form2::instance(), width + left);
    shell::setOuterTop(Form2::instance(), shell::outerTop(Form1::instance()));
}
