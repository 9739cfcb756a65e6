// varnel-hwp: look into HWP 5.0 documents, draw their pages and write them back with our
// writer; `varnel-hwp --help` and the manual page varnel-hwp(1) say how.
#include "tools/varnel-hwp/cli.h"

int main(int argc, char** argv)
{
    return RunCommandLine(argc, argv);
}
