// Form1's two procedures that serve only the instructions panel.

#include "core/instructions_panel/Form2.h"
#include "core/query_window/Form1.h"

void Form1::Command4_Click()
{
    // Referring to the panel loads it first if needed; the timer has already put it in place.
    if (Form2::instance().Visible())
        Form2::instance().Hide();
    else
        Form2::instance().Show();
}

void Form1::Timer1_Timer()
{
    const float width = Form1::instance().Width();
    const float left = Form1::instance().Left();
    Form2::instance().setLeft(width + left);
    Form2::instance().setTop(Form1::instance().Top());
}
