// Stands in for the editor: reads the launch text from the Launcher's block, keeps it in
// $VARNEL_STAND_IN_RECORD, then does what $VARNEL_STAND_IN_MODE says:
//   save   answer "EXAM_SAVE" and end     quit   end without answering (exit 3)
//   other  answer "CANCELLED" and end     stay   answer "EXAM_SAVE" and keep running
//   close  end without answering (exit 0), as an editor the user closed
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "handoff/channel.h"

int main()
{
    const char* modeText = std::getenv("VARNEL_STAND_IN_MODE");
    const std::string mode = modeText ? modeText : "save";
    auto channel = handoff::LauncherChannel::Open();
    if (!channel)
        return 4;
    if (const char* path = std::getenv("VARNEL_STAND_IN_RECORD")) {
        if (FILE* f = std::fopen(path, "wb")) {
            const std::string text = channel->LaunchText();
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
    if (mode == "quit")
        return 3;
    if (mode == "close")
        return 0;
    if (mode == "other")
        return channel->Answer("CANCELLED") ? 0 : 5;
    if (!channel->Answer("EXAM_SAVE"))
        return 5;
    if (mode == "stay") {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        std::this_thread::sleep_for(std::chrono::seconds(15));
    }
    return 0;
}
