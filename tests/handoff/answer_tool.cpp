// A stand-in for the passage picker and the image cropper, installed in a test's
// install folder as urk/Fennick and urk/Tolvard (links to this program). Its channel
// word comes from the name it was started by. It copies the request it read to
// $VARNEL_TEST_REQUEST_FILE and answers $VARNEL_TEST_ANSWER; without that variable it
// ends at once without answering.
#include <cstdlib>
#include <fstream>
#include <string>

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
    const char* answer = std::getenv("VARNEL_TEST_ANSWER");
    if (!answer)
        return 0;
    return channel->Answer(answer) ? 0 : 3;
}
