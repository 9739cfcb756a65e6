// Sets the test programs' environment before main: the source and build folders (for
// shared samples and staged files), the offscreen platform and a channel tag of this
// process (its channels and run lock are its own, so test programs may run side by side),
// unless the caller set them.
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct TestEnvironment {
    TestEnvironment()
    {
        setenv("VARNEL_SOURCE_DIR", VARNEL_TEST_SOURCE_DIR, 0);
        setenv("VARNEL_BINARY_DIR", VARNEL_TEST_BINARY_DIR, 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("VARNEL_CHANNEL_TAG", ("test" + std::to_string(getpid())).c_str(), 0);
    }
} const g_testEnvironment;

} // namespace
