#include <QIcon>

#include "app/varnel_app.h"

int main(int argc, char** argv)
{
    CVarnelApp app(argc, argv);
    // Tool bar icons from the breeze theme where the desktop names none; the panes draw
    // their own pictures for any the theme lacks.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("breeze"));
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    app.InitInstance();
    return app.ExitInstance();
}
