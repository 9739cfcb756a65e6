// A sibling tool whose behaviour the request chooses ("mode:argument"). The channel word
// comes from $VARNEL_TEST_CHANNEL_WORD; when $VARNEL_TEST_MARKER names a file, it is
// created first so that a test can tell whether the tool ran at all.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/object_names.h"
#include "platform/shared_block.h"

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Writes straight into the answer area, bypassing the channel's checks.
void WriteRaw(const std::string& word, const std::string& bytes, bool terminate)
{
    auto block = platform::OpenSharedBlock(handoff::ChannelNamesFor(word).block);
    if (!block)
        std::exit(4);
    std::memcpy(block->Data() + handoff::kAnswerOffset, bytes.data(), bytes.size());
    if (terminate)
        block->Data()[handoff::kAnswerOffset + bytes.size()] = 0;
}

std::string Mode(const char* path)
{
    struct stat st {};
    if (stat(path, &st) != 0)
        return "none";
    char text[16];
    std::snprintf(text, sizeof text, "%o", static_cast<unsigned>(st.st_mode & 0777));
    return text;
}

void DetachFromOutput()
{
    // Lingering on after the test ended must not hold the test runner's pipes.
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
}

} // namespace

int main()
{
    const std::string marker = Env("VARNEL_TEST_MARKER");
    if (!marker.empty())
        close(open(marker.c_str(), O_CREAT | O_WRONLY, 0600));
    const std::string word = Env("VARNEL_TEST_CHANNEL_WORD");
    auto channel = handoff::ToolChannel::Open(word);
    if (!channel)
        return 3;
    const std::string request = channel->Request();
    const std::size_t colon = request.find(':');
    const std::string mode = request.substr(0, colon);
    const std::string argument = colon == std::string::npos ? "" : request.substr(colon + 1);

    if (mode == "answer")
        return channel->Answer(argument) ? 0 : 5;
    if (mode == "late") {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return channel->Answer(argument) ? 0 : 5;
    }
    if (mode == "no-set") {
        WriteRaw(word, argument, true);
        return 0;
    }
    if (mode == "set-and-stay") {
        channel->Answer(argument);
        DetachFromOutput();
        std::this_thread::sleep_for(std::chrono::seconds(15));
        return 0;
    }
    if (mode == "exit")
        return 0;
    if (mode == "crash") {
        WriteRaw(word, argument, true);
        rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
        return 0;
    }
    if (mode == "unterminated") {
        WriteRaw(word, std::string(handoff::kToolBlockSize - handoff::kAnswerOffset, 'x'), false);
        auto event = platform::OpenNamedEvent(handoff::ChannelNamesFor(word).event, platform::OpenMode::OpenExisting);
        return event && event->Set() ? 0 : 6;
    }
    if (mode == "check-zero") {
        auto block = platform::OpenSharedBlock(handoff::ChannelNamesFor(word).block);
        // The program's view is the first 4096 bytes, whatever size a leftover block has.
        bool clean = block && block->Size() >= handoff::kToolBlockSize;
        for (std::size_t i = request.size(); clean && i < handoff::kToolBlockSize; ++i)
            clean = block->Data()[i] == 0;
        return channel->Answer(clean ? "clean" : "dirty") ? 0 : 5;
    }
    if (mode == "too-long") {
        // An answer of 2048 bytes leaves no room for its terminator.
        if (channel->Answer(std::string(handoff::kToolBlockSize - handoff::kAnswerOffset, 'y')))
            return 8;
        return channel->Answer("refused") ? 0 : 5;
    }
    if (mode == "modes") {
        const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
        const std::string block = Mode(("/dev/shm" + platform::SystemObjectName(names.block)).c_str());
        const std::string event = Mode(("/dev/shm/sem." + platform::SystemObjectName(names.event).substr(1)).c_str());
        return channel->Answer(block + " " + event) ? 0 : 5;
    }
    return 7;
}
