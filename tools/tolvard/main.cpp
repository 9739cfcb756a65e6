// Tolvard, the image cropper. Started by the editor with no arguments after it has
// exported a question's page images; it reads the request from the cropper's channel,
// crops and measures the images, and answers with the heights.
#include <cstdio>
#include <cstring>

#include "handoff/channel.h"
#include "tools/tolvard/cropper.h"

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("Tolvard: crops a question's exported page images and measures their heights.\n"
                  "The editor starts it without arguments and hands it the question over the\n"
                  "channel __TOLVARD_SHARE_MAPPING_NAME__; run on its own it has nothing to do.");
        return 0;
    }
    auto channel = handoff::ToolChannel::Open(handoff::kTolvardWord);
    if (!channel) {
        std::fputs("Tolvard: no request waiting (the editor starts this program)\n", stderr);
        return 2;
    }
    const std::string answer = tolvard::HandleCropRequest(channel->Request());
    if (!channel->Answer(answer)) {
        std::fputs("Tolvard: the answer does not fit the channel\n", stderr);
        return 1;
    }
    return 0;
}
