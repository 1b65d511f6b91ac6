// Program start: the Qt application that realises the windows of the models.
#pragma once

namespace kestrune::app {

// Runs the program: creates the QApplication, opens the setup dialog and
// runs the event loop. Returns the process exit code.
int Run(int argc, char** argv);

}  // namespace kestrune::app
