#include "app/varnel_app.h"

int main(int argc, char** argv)
{
    CVarnelApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();
}
