// A stand-in for the passage picker and the image cropper, installed in a test's
// install folder as urk/Fennick and urk/Tolvard (links to this program). Its channel
// word comes from the name it was started by. It copies the request it read to
// $VARNEL_TEST_REQUEST_FILE and answers $VARNEL_TEST_ANSWER, after $VARNEL_TEST_DELAY_MS
// milliseconds when that is set; without an answer it ends at once without answering.
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "handoff/channel.h"

int main(int, char** argv)
{
    std::string name = argv[0];
    name = name.substr(name.rfind('/') + 1);
    const char* word = name == "Fennick" ? handoff::kFennickWord : handoff::kTolvardWord;
    auto channel = handoff::ToolChannel::Open(word);
    if (!channel)
        return 2;
    if (const char* file = std::getenv("VARNEL_TEST_REQUEST_FILE"))
        std::ofstream(file) << channel->Request();
    if (const char* delay = std::getenv("VARNEL_TEST_DELAY_MS"))
        usleep(static_cast<useconds_t>(std::atoi(delay)) * 1000u);
    const char* answer = std::getenv("VARNEL_TEST_ANSWER");
    if (!answer)
        return 0;
    return channel->Answer(answer) ? 0 : 3;
}
