#include "core/query_window/Form1.h"

namespace {

constexpr std::u16string_view WrongPairPrompt = u"身份证号或准考证号错误，请重新输入！";

} // namespace

Form1::Form1()
    : shell::Window(Id)
{
}

Form1& Form1::instance()
{
    return holder().get();
}

shell::FormInstance<Form1>& Form1::holder()
{
    static shell::FormInstance<Form1> form;
    return form;
}

void Form1::onClick(shell::ControlIndex control)
{
    switch (control) {
    case Command1Row:
        return Command1_Click();
    case Command2Row:
        return Command2_Click();
    case Command3Row:
        return Command3_Click();
    case Command4Row:
        return Command4_Click();
    default:
        return;
    }
}

void Form1::onTick(shell::ControlIndex timer)
{
    if (timer == Timer1Row)
        Timer1_Timer();
}

shell::Control Form1::Text1(int index) const
{
    static constexpr shell::ControlIndex rows[] = {Text1_0Row, Text1_1Row, Text1_2Row, Text1_3Row};
    if (index < 0 || index > 3)
        throw RuntimeError::subscriptOutOfRange();
    return control(rows[index]);
}

void Form1::Form_Load()
{
    // Centre by the outer frame on the whole primary screen; halves stay unrounded until the front end.
    const float width = Form1::instance().Width();
    Form1::instance().setLeft((shell::screenWidth() - width) / 2.0f);
    const float height = Form1::instance().Height();
    Form1::instance().setTop((shell::screenHeight() - height) / 2.0f);

    for (CurrentRow = 0; CurrentRow <= 3; CurrentRow.step())
        Text1(CurrentRow).setText(u"");

    hideResult();

    roster::chushi(Roster);
    roster::fillIdNumbers(Roster);
}

void Form1::Form_Unload()
{
    shell::EndProgram();
}

void Form1::Command3_Click()
{
    // The typed numbers are wiped when the procedure ends, however it ends.
    const roster::HeldText idText{Text1(0).Text()};
    const roster::HeldText ticketText{Text1(1).Text()};
    roster::FindCandidate(Roster, idText, ticketText, CurrentRow);
    if (CurrentRow > roster::RowCount) {
        shell::showMessage(WrongPairPrompt);
        Text1(0).setText(u"");
        Text1(1).setText(u"");
        return;
    }
    showResult();
}

void Form1::hideResult()
{
    Text1(2).Hide();
    Text1(3).Hide();
    Label3.Hide();
    Label4.Hide();
    Command1.Hide();
    Command2.Hide();
}

void Form1::showResult()
{
    Command3.Hide();
    Command2.Show();
    Command1.Show();
    Text1(2).setText(Roster.CandidateName(CurrentRow));
    Text1(2).Show();
    Text1(3).setText(Roster.Score(CurrentRow));
    Text1(3).Show();
    Label3.Show();
    Label4.Show();
}

void Form1::Command1_Click()
{
    // The name and score are emptied before their boxes hide, so a later result never shows an earlier one.
    for (m_clearIndex = 0; m_clearIndex <= 3; m_clearIndex.step())
        Text1(m_clearIndex).setText(u"");
    // A sealed program lets go of the opened row as soon as it is no longer shown.
    roster::forgetOpenedRow(Roster);

    hideResult();
    Command3.Show(); // last, after the controls it overlaps are hidden
}

void Form1::Command2_Click()
{
    shell::EndProgram();
}
