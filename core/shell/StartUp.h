#pragma once

namespace shell {

// The program's start-up steps: create and load the query window (its Form_Load centres it and fills the
// roster), then show and activate it. Run as an event procedure by runProgram (Program.h).
void startUp();

} // namespace shell
