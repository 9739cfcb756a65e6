// A stand-in sibling tool for RunAndWait tests.
//   run_helper EVENT set-and-stay PIDFILE   sets the event, then keeps running for 3 s
//   run_helper EVENT exit PIDFILE           ends at once without setting it
//   run_helper EVENT sleep PIDFILE          sleeps 2 s without setting it
//   run_helper EVENT set-and-exit PIDFILE   sets the event and ends
// The one argument RunAndWait passes is "EVENT MODE PIDFILE" joined by spaces.
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/named_event.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::istringstream in(argv[1]);
    std::string event, mode, pidFile;
    in >> event >> mode >> pidFile;
    std::ofstream(pidFile) << getpid() << "\n";
    using namespace std::chrono_literals;
    if (mode == "exit")
        return 0;
    if (mode == "sleep") {
        std::this_thread::sleep_for(2s);
        return 0;
    }
    auto e = platform::OpenNamedEvent(event, platform::OpenMode::OpenExisting);
    if (!e)
        return 3;
    e->Set();
    if (mode == "set-and-stay")
        std::this_thread::sleep_for(3s);
    return 0;
}
