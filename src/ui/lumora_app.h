// The application shell: starts the window toolkit, runs the main dialog
// modally and ends the application when it closes, whichever way it closed.
// Nothing here closes the controller link on the way out.
#pragma once

namespace lumora::ui {

class CLumoraApp {
public:
    // Starts the toolkit, runs InitInstance and returns the process's exit
    // status: 0 however the dialog was closed.
    int Run(int argc, char** argv);

    // Runs the main dialog modally. Returns false: the application ends when
    // the dialog has closed. Needs the toolkit started.
    bool InitInstance();
};

}  // namespace lumora::ui
