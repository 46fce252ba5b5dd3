#pragma once

class Control_Single;
class QWidget;

// Ending the program from the panel: the user's confirmation, the camera's shutdown, and the
// exit itself.
namespace ProgramExit {

// Asks "Exit" / "Confirm the exit?"; true only for Yes.
bool confirmed(QWidget *parent);

// Closes the camera, logging the status.
void shutDown(Control_Single &camera);

// Ends the process at once with code 0, from wherever the user confirmed it: nothing after
// the event loop runs, and no static destructors run while the application object still
// lives.
[[noreturn]] void now();

} // namespace ProgramExit
