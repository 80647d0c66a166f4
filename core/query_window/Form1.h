#pragma once

// The query window: the program's start-up window and its two-state query dialogue.
//
// Data flow: the shell creates the window through Form1::instance(), which has the runtime build it from Layout
// (Form1Layout.cpp, one row per control; Timer1 starts ticking) and runs Form_Load: it centres the window, empties
// and hides the result controls and fills the window's CandidateRoster. In EntryState a click on Command3 runs
// roster::FindCandidate over Text1(0) and Text1(1) into CurrentRow and either shows the found row (ResultState) or
// the wrong-pair message. Command1 returns to EntryState; Command2 and closing the window end the program.
// Command4_Click and Timer1_Timer serve the instructions panel and live in instructions_panel/.

#include "core/roster/CandidateRoster.h"
#include "core/shell/Form.h"
#include "core/shell/FormInstance.h"
#include "core/shell/Int16Counter.h"

class Form1 : public shell::Window {
public:
    static constexpr shell::FormId Id = shell::FormId::Form1;
    static const shell::FormLayout Layout;

    // The rows of Layout, in order.
    enum Controls : shell::ControlIndex {
        Label5Row,
        Label1Row,
        Text1_0Row,
        Label6Row,
        Command4Row,
        Label2Row,
        Text1_1Row,
        Label7Row,
        Label3Row,
        Text1_2Row,
        Command3Row,
        Label4Row,
        Text1_3Row,
        Command1Row,
        Command2Row,
        Label8Row,
        Timer1Row,
        ControlCount
    };

    Form1();

    // The program-wide window, created and loaded on first reference.
    static Form1& instance();
    static shell::FormInstance<Form1>& holder();

    // Event procedures.
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Timer1_Timer();

    // Runs the procedure bound to a control's click or tick; other controls have none.
    void onClick(shell::ControlIndex control);
    void onTick(shell::ControlIndex timer);

    // The text box control array Text1(0) to Text1(3).
    shell::Control Text1(int index) const;

    const shell::Control Label3{Id, Label3Row};
    const shell::Control Label4{Id, Label4Row};
    const shell::Control Command1{Id, Command1Row};
    const shell::Control Command2{Id, Command2Row};
    const shell::Control Command3{Id, Command3Row};

    // Window-level data.
    Int16Counter CurrentRow;
    roster::CandidateRoster Roster;

private:
    // Shows the found row: ResultState.
    void showResult();
    // Hides the name and score rows and the two result buttons, in that order.
    void hideResult();

    Int16Counter m_clearIndex; // Command1_Click's own loop counter
};
