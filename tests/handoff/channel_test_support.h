// Shared by the channel tests: unique channel names per test, leftover clean-up.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"

// A channel word no other test (or test run) uses at the same time.
inline std::string UniqueWord(const char* tag)
{
    static std::atomic<int> counter{0};
    return "VARNEL_TEST_" + std::string(tag) + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

inline void RemoveChannel(const std::string& word)
{
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    platform::RemoveSharedBlock(names.block);
    platform::RemoveNamedEvent(names.event);
}

inline bool ChannelNamesExist(const std::string& word)
{
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    return platform::OpenSharedBlock(names.block) != nullptr ||
           platform::OpenNamedEvent(names.event, platform::OpenMode::OpenExisting) != nullptr;
}

template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
