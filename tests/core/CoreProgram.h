#pragma once

// A fresh program life per test on the recording runtime, and the user's actions as the front end reports them.

#include "core/instructions_panel/Form2.h"
#include "core/query_window/Form1.h"
#include "tests/core/RecordingRuntime.h"

#include <QString>
#include <QTest>

class CoreProgram {
public:
    CoreProgram()
    {
        Form2::holder().discard();
        Form1::holder().discard();
    }
    ~CoreProgram()
    {
        Form2::holder().discard();
        Form1::holder().discard();
    }

    void startUp() { shell::runEventProcedure(shell::startUp); }
    void click(shell::ControlIndex control) { shell::controlClicked(Form1::Id, control); }
    void tick() { shell::timerTicked(Form1::Id, Form1::Timer1Row); }
    void type(int box, std::u16string_view text) { runtime.type(Form1::Id, textRow(box), text); }
    const std::u16string& text(int box) { return runtime.text(Form1::Id, textRow(box)); }
    bool visible(shell::ControlIndex control) { return runtime.controlVisible(Form1::Id, control); }
    RecordingRuntime::Window& query() { return runtime.window(Form1::Id); }
    RecordingRuntime::Window& panel() { return runtime.window(Form2::Id); }

    static shell::ControlIndex textRow(int box)
    {
        static constexpr shell::ControlIndex rows[] = {Form1::Text1_0Row, Form1::Text1_1Row, Form1::Text1_2Row,
                                                       Form1::Text1_3Row};
        return rows[box];
    }

    RecordingRuntime runtime;
};

inline QString q(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

inline std::u16string u16(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}
