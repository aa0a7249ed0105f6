// The application object: prepares the process and runs the main controller modally for the
// whole life of the terminal.
#pragma once

#include <QApplication>

class CFenwixApp : public QApplication {
    Q_OBJECT
public:
    CFenwixApp(int& argc, char** argv);

    // Runs the terminal from logging start-up to the end of the main window; always false, so the
    // process ends without another message loop.
    bool InitInstance();
};
