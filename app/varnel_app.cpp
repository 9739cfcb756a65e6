#include "app/varnel_app.h"

#include "app/varnel_dlg.h"

CVarnelApp::CVarnelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Varnel"));
    setOrganizationName(QStringLiteral("korvane"));
}

bool CVarnelApp::InitInstance()
{
    CVarnelDlg dialog;
    dialog.OnInitDialog();
    dialog.exec();
    return false;
}

int CVarnelApp::ExitInstance() { return 0; }
