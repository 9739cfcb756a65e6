// Running a sibling tool and waiting for its answer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {
class NamedEvent;
}

// Starts `program` (with `parameters` as its one argument when not empty) and waits for
// the event, the program's end or the deadline of timeout × 1.2 seconds (32-bit
// milliseconds, as the tools always had). True only when the event was set; when the
// program also ended, the event wins. False when the program cannot start. The program
// is never stopped and is collected when it ends, also after we stopped waiting.
//
// `whileWaiting`, when given, runs every few milliseconds during the wait, so a window
// can keep painting.
bool RunAndWait(platform::NamedEvent& event, std::uint32_t timeoutSeconds, const std::string& program,
                const std::string& parameters, const std::function<void()>& whileWaiting = {});

// timeout × 1000 + timeout × 1000 / 5, in unsigned 32-bit arithmetic.
std::uint32_t RunAndWaitMilliseconds(std::uint32_t timeoutSeconds);
