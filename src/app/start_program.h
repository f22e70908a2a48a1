// start_program: the process's entry into the program's logic.
#pragma once

namespace mvsearch {

// Prepares the run time, empties the result store, registers its release as exit routine,
// loads main_window and runs the message loop; returns 0 once the window has been closed.
int start_program();

}  // namespace mvsearch
