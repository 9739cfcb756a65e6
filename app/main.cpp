#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/varnel_app.h"

int main(int argc, char** argv)
{
    CVarnelApp app(argc, argv);
    // The program speaks Korean: Qt's own texts too (context menus, the colour and file
    // choosers, message box buttons), from the translations installed with Qt.
    QTranslator qtKorean;
    if (qtKorean.load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtKorean);
    // Tool bar icons from the breeze theme where the desktop names none; the panes draw
    // their own pictures for any the theme lacks.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("breeze"));
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    app.InitInstance();
    return app.ExitInstance();
}
