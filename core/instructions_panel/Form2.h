#pragma once

// The instructions panel: a frameless window without a taskbar entry that stands against the query window's
// right edge, as high as the query window and half as wide.
//
// Data flow: the first reference (Form1's first Timer1 tick, or an earlier Command4 click) creates and loads the
// panel through Form2::instance(); its Form_Load hides it and sizes and places it from the query window's outer
// geometry. Every tick of Form1's Timer1 (Form1_panel.cpp) puts the panel's left and top edges back against the
// query window; Command4_Click toggles its visibility. If the platform closes the panel, the next reference
// loads it again.

#include "shell/FormInstance.h"

#include <QWidget>

class QLabel;

class Form2 : public QWidget {
    Q_OBJECT

public:
    Form2();

    static Form2& instance();
    static shell::FormInstance<Form2>& holder();

    void Form_Load();

    QLabel* Label1;

protected:
    void showEvent(QShowEvent* event) override;
};
