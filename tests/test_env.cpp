// Sets the test programs' environment before main: the source and build folders (for
// shared samples and staged files) and the offscreen platform, unless the caller set them.
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment()
    {
        setenv("VARNEL_SOURCE_DIR", VARNEL_TEST_SOURCE_DIR, 0);
        setenv("VARNEL_BINARY_DIR", VARNEL_TEST_BINARY_DIR, 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
} const g_testEnvironment;

} // namespace
