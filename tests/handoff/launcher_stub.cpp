// A Launcher-like process: makes its block (of the given size, every byte 0xA5 apart from
// the launch text) and event, creates the ready file, then waits for the answer and checks
// it. Exit 0 when "EXAM_SAVE" arrived at 2048, nothing else changed and the event was set
// exactly once.
//   handoff_launcher_stub WORD SIZE LAUNCH_TEXT READY_FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const handoff::ChannelNames names = handoff::ChannelNamesFor(argv[1]);
    const std::size_t size = std::strtoul(argv[2], nullptr, 10);
    const std::string text = argv[3];

    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    auto block = platform::CreateSharedBlock(names.block, size);
    if (!event || !block || text.size() + 1 > size)
        return 3;
    std::vector<std::uint8_t> expected(size, 0xA5);
    std::memcpy(expected.data(), text.c_str(), text.size() + 1);
    std::memcpy(block->Data(), expected.data(), size);
    close(open(argv[4], O_CREAT | O_WRONLY, 0600));

    if (!event->Wait(std::chrono::seconds(20))) {
        std::fprintf(stderr, "no answer\n");
        return 10;
    }
    std::memcpy(expected.data() + handoff::kAnswerOffset, "EXAM_SAVE", 10);
    for (std::size_t i = 0; i < size; ++i) {
        if (block->Data()[i] != expected[i]) {
            std::fprintf(stderr, "byte %zu is %u, expected %u\n", i, block->Data()[i], expected[i]);
            return 11;
        }
    }
    if (event->Wait(std::chrono::milliseconds(300))) {
        std::fprintf(stderr, "event set twice\n");
        return 12;
    }
    return 0;
}
