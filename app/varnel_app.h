// CVarnelApp: the application object. It runs the main dialog modally and ends when
// the dialog has closed.
#pragma once

#include <QApplication>

// Qt's own texts in Korean (context menus, the colour and file choosers, message box
// buttons): Qt's translations, what they lack from our own words, and the Korean locale
// for the file types' names. Done once per application; CVarnelApp does it.
void InstallKoreanTexts();

class CVarnelApp : public QApplication {
public:
    CVarnelApp(int& argc, char** argv);

    // Runs the dialog; always false, so the application ends with it.
    bool InitInstance();
    int ExitInstance();
};
