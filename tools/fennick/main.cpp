// Fennick, the passage picker. Started by the editor with no arguments: it reads the
// request from the picker's channel, lets the user choose a passage or a question of
// the workspace, and answers with the choice. Cancelling ends without an answer, which
// leaves the editor as it was.
//
// `--choose KIND:NUMBER` answers with that item without showing the dialog (scripts,
// tests); it ends without an answer when the workspace holds no such item.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImageReader>

#include <cstdio>
#include <cstring>
#include <string>

#include "handoff/channel.h"
#include "support/folders.h"
#include "tools/fennick/fennick_dialog.h"
#include "tools/fennick/workspace_scan.h"
#ifdef FENNICK_READS_HWP
#include "tools/fennick/hwp_first_line.h"
#endif

namespace {

void PrintUsage()
{
    std::puts("Fennick: the passage picker. The editor starts it without arguments and hands it\n"
              "the school, user and server over the channel __FENNICK_SHARE_MAPPING_NAME__.\n"
              "It lists the passages and questions already in that workspace; nothing is\n"
              "downloaded (no network). Options:\n"
              "  --choose KIND:NUMBER  answer with that item without showing the dialog\n"
              "                        (for example local_examtext:7 or local_exam:12)\n"
              "  --help                this text");
}

const fennick::PickerItem* FindItem(const std::vector<fennick::PickerItem>& items, const std::string& wanted)
{
    for (const auto& item : items) {
        if (item.storeKind + ":" + std::to_string(item.key) == wanted)
            return &item;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    std::string choose;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--choose") == 0 && i + 1 < argc) {
            choose = argv[++i];
        } else {
            std::fprintf(stderr, "Fennick: unknown argument %s (see --help)\n", argv[i]);
            return 2;
        }
    }

    auto channel = handoff::ToolChannel::Open(handoff::kFennickWord);
    if (!channel) {
        std::fputs("Fennick: no request waiting (the editor starts this program)\n", stderr);
        return 2;
    }
    const auto request = fennick::ParsePickerRequest(channel->Request());
    if (!request) {
        std::fputs("Fennick: the request is not a JSON object; nothing to show\n", stderr);
        return 1;
    }
    fennick::FirstLineReader firstLine;
#ifdef FENNICK_READS_HWP
    firstLine = fennick::ReadHwpFirstLine;
#endif
    auto items = fennick::ScanWorkspace(fennick::WorkspaceFor(GetDataFolder(), *request), firstLine);

    if (!choose.empty()) {
        const fennick::PickerItem* item = FindItem(items, choose);
        const std::string answer = item ? fennick::AnswerFor(*item) : std::string();
        if (answer.empty()) {
            std::fprintf(stderr, "Fennick: no item %s to hand over\n", choose.c_str());
            return 1;
        }
        return channel->Answer(answer) ? 0 : 1;
    }

    QApplication app(argc, argv);
    // Exported page images are larger than the reader's default allocation limit.
    QImageReader::setAllocationLimit(512);
    if (QFontDatabase::families().contains(QStringLiteral("NanumGothic")))
        QApplication::setFont(QFont(QStringLiteral("NanumGothic"), 10));

    fennick::CFennickDlg dialog(*request, std::move(items));
    if (dialog.exec() != QDialog::Accepted || dialog.Answer().empty())
        return 0;   // cancelled: no answer
    return channel->Answer(dialog.Answer()) ? 0 : 1;
}
