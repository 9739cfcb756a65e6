#include "app/varnel_app.h"

#include "app/varnel_dlg.h"

CVarnelApp::CVarnelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Varnel"));
    setOrganizationName(QStringLiteral("korvane"));
    // The installed desktop entry: docks and Wayland compositors match windows to it.
    setDesktopFileName(QStringLiteral("com.korvane.Varnel"));
}

bool CVarnelApp::InitInstance()
{
    CVarnelDlg dialog;
    dialog.OnInitDialog();
    dialog.exec();
    return false;
}

int CVarnelApp::ExitInstance() { return 0; }
