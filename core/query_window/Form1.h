#pragma once

// The query window: the program's start-up window and its two-state query dialogue.
//
// Data flow: the shell creates the window through Form1::instance(); the constructor makes every control of the
// fixed layout (Form1.cpp, one row per control) and starts Timer1. Form_Load centres the window, empties and
// hides the result controls and fills the window's CandidateRoster. In EntryState a click on Command3 runs
// roster::FindCandidate over Text1(0) and Text1(1) into CurrentRow and either shows the found row (ResultState)
// or the wrong-pair message. Command1 returns to EntryState; Command2 and closing the window end the program.
// Command4_Click and Timer1_Timer serve the instructions panel and live in instructions_panel/.

#include "roster/CandidateRoster.h"
#include "shell/FormInstance.h"
#include "shell/Int16Counter.h"

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class Form1 : public QWidget {
    Q_OBJECT

public:
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

    // The text box control array Text1(0) to Text1(3).
    QLineEdit& Text1(int index) const;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QTimer* Timer1;

    // Window-level data.
    Int16Counter CurrentRow;
    roster::CandidateRoster Roster;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    // Shows the found row: ResultState.
    void showResult();
    // Hides the name and score rows and the two result buttons, in that order.
    void hideResult();

    std::array<QLineEdit*, 4> m_text1{};
    Int16Counter m_clearIndex; // Command1_Click's own loop counter
};
