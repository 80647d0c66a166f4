#pragma once

// The application shell: start-up, the one event loop, the end of the program and the fatal-error report.
//
// Data flow: main() calls initialiseToolkit() and then runProgram(), which loads the start-up window through
// its FormInstance (FormInstance.h), shows it and runs the event loop. Every event procedure is entered through
// runEventProcedure(), the only place that catches a RuntimeError: it shows the report captioned with the
// application title and ends the program. EndProgram() ends at once; the process exit goes through a seam
// (setExitHandler) so that tests can watch it without losing their own process.

#include <QString>
#include <functional>

class QWidget;

namespace shell {

// Application name, version and organisation, set through Qt's application metadata.
void setApplicationMetadata();

// Locale (Chinese, PRC), Qt's own Simplified Chinese texts, font substitutes for "宋体" and "黑体", and the
// application metadata. Call once, after QApplication exists and before any widget is made.
void initialiseToolkit();

// Runs `startUp` (create, load and show the start-up window) as an event procedure, then the event loop.
// Returns the process exit status only where the exit handler returns (tests).
int runProgram(const std::function<void()>& startUp);

// Runs one event procedure. A RuntimeError it raises shows the fatal-error report and ends the program.
// Once the program has ended (or while the report is open) no procedure runs any more.
void runEventProcedure(const std::function<void()>& procedure);

// Ends the program at once: no further procedure runs, every window vanishes, the process exits with 0.
[[noreturn]] void EndProgram();

// The application-modal message box with an OK button only, no icon, captioned with the application title.
void showMessage(const QString& prompt);

bool programEnded();

// The process exit. The default ends the process immediately (std::_Exit). A test installs its own handler,
// which records the status; the shell then unwinds the ended procedure instead of exiting, and further
// procedures are refused. Installing a handler also starts a fresh program life (programEnded() false).
using ExitHandler = std::function<void(int status)>;
void setExitHandler(ExitHandler handler);

} // namespace shell
