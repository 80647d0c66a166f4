#pragma once

// The instructions panel: a frameless window without a taskbar entry that stands against the query window's right
// edge, as high as the query window and half as wide.
//
// Data flow: the first reference (Form1's first Timer1 tick, or an earlier Command4 click) creates and loads the
// panel through Form2::instance(); its Form_Load hides it and sizes and places it from the query window's outer
// geometry. Every tick of Form1's Timer1 (Form1_panel.cpp) puts the panel's left and top edges back against the
// query window; Command4_Click toggles its visibility. If the platform closes the panel, the next reference loads
// it again.

#include "core/shell/Form.h"
#include "core/shell/FormInstance.h"

class Form2 : public shell::Window {
public:
    static constexpr shell::FormId Id = shell::FormId::Form2;
    static const shell::FormLayout Layout;

    enum Controls : shell::ControlIndex { Label1Row, ControlCount };

    Form2();

    static Form2& instance();
    static shell::FormInstance<Form2>& holder();

    void Form_Load();
};
