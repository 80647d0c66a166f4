#pragma once

// The application shell: start-up, the end of the program and the fatal-error report, and the one door through
// which every event reaches a procedure.
//
// Data flow: a front end's main() prepares its toolkit and calls runProgram with its Runtime. runProgram runs the
// start-up steps (create and load Form1, whose Form_Load centres it and fills the roster; show and activate it) and
// then the runtime's event loop. The front end reports each click, tick and close request through the entry points
// below; each runs the bound procedure through runEventProcedure, the only place that catches a RuntimeError: it
// shows the report captioned with the application title and ends the program. EndProgram ends at once.

#include "core/shell/Runtime.h"

#include <functional>
#include <string_view>

namespace shell {

// The runtime the procedures call. Set by runProgram (or a test) before any procedure runs.
Runtime& runtime();
void setRuntime(Runtime* runtime);

// The application title: the caption of every message box that the program gives no title of its own.
std::u16string_view applicationTitle();

// The start-up steps, run as an event procedure, then the event loop. Returns the process exit status only where
// the runtime's endProcess returns (tests).
int runProgram(Runtime& runtime);
void startUp();

// Runs one event procedure. A RuntimeError it raises shows the fatal-error report and ends the program. Once the
// program has ended (or while the report is open) no procedure runs any more.
void runEventProcedure(const std::function<void()>& procedure);

// Ends the program at once: no further procedure runs, every window vanishes, the process exits with 0.
[[noreturn]] void EndProgram();

// The application-modal message box with an OK button only, no icon, captioned with the application title.
void showMessage(std::u16string_view prompt);

bool programEnded();

// What the front end reports. Events without a procedure run nothing.
void controlClicked(FormId form, ControlIndex control);
void timerTicked(FormId form, ControlIndex timer);
// A request to close the window, from the user or the platform. True when the window may go: the front end then
// destroys it, and the next reference loads it again. Closing Form1 ends the program instead.
bool windowCloseRequested(FormId form);

} // namespace shell
