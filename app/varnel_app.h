// CVarnelApp: the application object. It runs the main dialog modally and ends when
// the dialog has closed.
#pragma once

#include <QApplication>

class CVarnelApp : public QApplication {
public:
    CVarnelApp(int& argc, char** argv);

    // Runs the dialog; always false, so the application ends with it.
    bool InitInstance();
    int ExitInstance();
};
