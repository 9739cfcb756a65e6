#include "support/run.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/named_event.h"
#include "platform/process.h"

std::uint32_t RunAndWaitMilliseconds(std::uint32_t timeoutSeconds)
{
    const std::uint32_t ms = timeoutSeconds * 1000u;
    return ms + ms / 5u;
}

bool RunAndWait(platform::NamedEvent& event, std::uint32_t timeoutSeconds, const std::string& program,
                const std::string& parameters, const std::function<void()>& whileWaiting)
{
    std::vector<std::string> arguments;
    if (!parameters.empty())
        arguments.push_back(parameters);
    auto child = platform::StartProcess(program, arguments);
    if (!child)
        return false;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(RunAndWaitMilliseconds(timeoutSeconds));
    constexpr auto kSlice = std::chrono::milliseconds(15);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return event.Wait(std::chrono::milliseconds(0));
        if (event.Wait(std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(kSlice))))
            return true;
        if (child->HasExited())
            return event.Wait(std::chrono::milliseconds(0)); // an answer set just before the end still counts
        if (whileWaiting)
            whileWaiting();
    }
}
