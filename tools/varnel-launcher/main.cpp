// varnel-launcher: starts the editor the way the Launcher does. It leaves a launch record
// in the Launcher's channel block, starts the editor, waits for the save notification or
// the editor's end, and says which of the two happened.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/shared_block.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"
#include "support/json_build.h"

namespace {

constexpr const char* kSaveAnswer = "EXAM_SAVE";
// Record at 0 with its terminator before the answer area, answer area up to 4096, then
// our process id and start time, so that an editor started after we crashed does not
// take our block for a launch, nor another process given our pid later for us.
constexpr std::size_t kBlockSize = handoff::kLauncherPidOffset + handoff::kLauncherPidAreaSize;

// 0 save, 1 no save, 2 nothing was started (bad arguments, unusable question, no editor).
enum ExitCode { kSaved = 0, kNotSaved = 1, kRefused = 2 };

const char* const kHelp =
    "usage: varnel-launcher --school-key N --user-key N --server ADDRESS\n"
    "                       [--question FILE | --exam-key N --exam-local KIND] [--editor PROGRAM]\n"
    "       varnel-launcher --local [--school-key N --user-key N] [--editor PROGRAM]\n"
    "\n"
    "Hands the editor a launch record for the school, user and server, and optionally a\n"
    "question to open: a JSON file (given \"exam_local\":\"exam\" when it names no store kind),\n"
    "or question N of store kind KIND (local_exam, exam, ...) read from its .dat in the\n"
    "workspace. Then starts the editor (by default `varnel` beside this program) and waits\n"
    "until it reports a save or ends.\n"
    "\n"
    "--local starts the editor on the local store, as a teacher without a question bank\n"
    "works: no server, a new question of the local store (school and user 0 unless given);\n"
    "its saves stay in the workspace and the editor stays open until it is closed.\n"
    "\n"
    "One editor runs per user at a time: while one is open (started by a launcher or on its\n"
    "own), a second launch is refused.\n"
    "\n"
    "Exit status: 0 the question was saved (\"EXAM_SAVE\"), 1 the editor ended without a\n"
    "save, 2 nothing was started (bad arguments, a record over 2047 bytes, no editor, an\n"
    "editor of this user already open). With --local: 0 the editor was closed, 1 it failed,\n"
    "2 as above.\n";

struct Options {
    std::optional<std::uint32_t> schoolKey;
    std::optional<std::uint32_t> userKey;
    std::optional<std::string> server;
    std::string questionFile;
    std::optional<std::uint32_t> examKey;
    std::string examLocal;
    std::string editor;
    bool local = false;
};

std::atomic<bool> g_interrupted{false};

void OnSignal(int) { g_interrupted = true; }

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "varnel-launcher: %s\n", message.c_str());
    return kRefused;
}

std::optional<std::uint32_t> ParseKey(const std::string& text)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// Fills `options`; an empty result means success, otherwise it is the complaint.
std::string ParseArguments(int argc, char** argv, Options& options, bool& help)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            help = true;
            return {};
        }
        if (name == "--local" && !value) {
            options.local = true;
            continue;
        }
        if (!value) {
            if (i + 1 >= argc)
                return name + " needs a value (see --help)";
            value = argv[++i];
        }
        if (name == "--school-key" || name == "--user-key" || name == "--exam-key") {
            const auto key = ParseKey(*value);
            if (!key)
                return name + " takes an unsigned 32-bit number, not \"" + *value + "\"";
            (name == "--school-key" ? options.schoolKey : name == "--user-key" ? options.userKey : options.examKey) = key;
        } else if (name == "--server") {
            options.server = *value;
        } else if (name == "--question") {
            options.questionFile = *value;
        } else if (name == "--exam-local") {
            options.examLocal = *value;
        } else if (name == "--editor") {
            options.editor = *value;
        } else {
            return "unknown option " + name + " (see --help)";
        }
    }
    if (options.local) {
        if (options.server || !options.questionFile.empty() || options.examKey || !options.examLocal.empty())
            return "--local takes no server and no question: the teacher opens questions in the editor";
        // The workspace of the editor started without a launcher: school 0, user 0.
        options.schoolKey = options.schoolKey.value_or(0);
        options.userKey = options.userKey.value_or(0);
        options.server = "";
    }
    if (!options.schoolKey || !options.userKey || !options.server)
        return "--school-key, --user-key and --server are required (see --help)";
    if (!options.questionFile.empty() && (options.examKey || !options.examLocal.empty()))
        return "give the question either as --question FILE or as --exam-key with --exam-local";
    if (options.examKey.has_value() != !options.examLocal.empty())
        return "--exam-key and --exam-local go together";
    if (!options.examLocal.empty() &&
        (options.examLocal == "." || options.examLocal == ".." || options.examLocal.find('/') != std::string::npos))
        return "--exam-local names a folder of the workspace, not \"" + options.examLocal + "\"";
    return {};
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The object text of the question file, or nullopt with `error` set.
std::optional<std::string> ReadQuestionObject(const std::string& path, std::string& error)
{
    const std::string text = Trim(ReadWholeFile(path));
    if (text.empty()) {
        error = "no question in " + path + " (missing, unreadable or empty)";
        return std::nullopt;
    }
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object) {
        error = path + " does not hold one JSON object";
        return std::nullopt;
    }
    // An object without members gets its first one from the builders, which need "".
    return root->objectValue.empty() ? std::string() : text;
}

std::optional<std::string> BuildLaunchRecord(const Options& options, std::string& error)
{
    std::string userInfo;
    JsonAppendUInt(userInfo, "user_key", *options.userKey);
    JsonAppendUInt(userInfo, "school_key", *options.schoolKey);
    JsonAppendText(userInfo, "web_svr", *options.server);
    std::string record;
    JsonAppendRaw(record, "user_info", userInfo);

    if (!options.questionFile.empty()) {
        auto question = ReadQuestionObject(options.questionFile, error);
        if (!question)
            return std::nullopt;
        if (!question->empty() && JsonObjectOf(ParseJsonUtf8(*question).get()).count(u"exam_local") != 0) {
            JsonAppendRaw(record, "exam_info", *question);
        } else {
            JsonAppendText(*question, "exam_local", "exam");
            JsonAppendRaw(record, "exam_info", *question);
        }
    } else if (options.examKey) {
        const std::string workspace = GetDataFolder() + "/" + std::to_string(*options.schoolKey) + "/" +
                                      std::to_string(*options.userKey);
        const std::uint32_t key = *options.examKey;
        const std::string folder = options.examLocal == "local_exam"
                                       ? workspace + "/local_exam/ek-" + std::to_string(key)
                                       : workspace + "/" + options.examLocal + "/" +
                                             QuestionFolderPath(static_cast<std::int32_t>(key));
        auto question = ReadQuestionObject(folder + "/" + std::to_string(key) + ".dat", error);
        if (!question)
            return std::nullopt;
        // Appended last, so these win over any copy the file holds.
        JsonAppendUInt(*question, "exam_key", key);
        JsonAppendText(*question, "exam_local", options.examLocal);
        JsonAppendRaw(record, "exam_info", *question);
    }
    return record;
}

std::string EditorBesideUs()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "varnel";
    std::string self(path, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/') + 1) + "varnel";
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    if (const std::string complaint = ParseArguments(argc, argv, options, help); !complaint.empty())
        return Refuse(complaint);
    if (help) {
        std::fputs(kHelp, stdout);
        return kSaved;
    }

    std::string error;
    const auto record = BuildLaunchRecord(options, error);
    if (!record)
        return Refuse(error);
    if (record->size() >= handoff::kAnswerOffset)
        return Refuse("the launch record is " + std::to_string(record->size()) + " bytes; with its terminator it must end before the answer area at offset " + std::to_string(handoff::kAnswerOffset) + ", so at most " + std::to_string(handoff::kAnswerOffset - 1) + " bytes");

    const std::string editor = options.editor.empty() ? EditorBesideUs() : options.editor;
    if (access(editor.c_str(), X_OK) != 0)
        return Refuse("no editor program at " + editor + (options.editor.empty() ? " (name one with --editor)" : ""));

    // One run per user: its channel names are the user's, so a second one would cross the first.
    platform::RunLockAttempt lock = platform::TakeRunLock(handoff::kRunLockName);
    if (!lock.lock && lock.error.empty())
        return Refuse("an editor of this user is already open" +
                      (lock.holder > 0 ? " (process " + std::to_string(lock.holder) + ")" : std::string()) +
                      "; finish and close it, then launch again");
    if (!lock.lock)
        return Refuse("cannot take the run lock: " + lock.error);
    handoff::RemoveStaleChannels();

    const handoff::ChannelNames names = handoff::LauncherChannelNames();
    if (auto other = platform::OpenSharedBlock(names.block)) {
        // Left by a launcher that takes no run lock, and still in use.
        const auto mark = handoff::ReadLauncherMark(other->Data(), other->Size());
        if (mark && handoff::LauncherAlive(*mark))
            return Refuse("the launcher channel is in use by process " + std::to_string(mark->pid));
    }
    // The event first, so that it exists before the editor can answer. Both names are
    // ours for this run, also when a crashed run left them behind.
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    if (!event)
        return Refuse("cannot make the event " + names.event + " (is it another user's?)");
    event->SetUnlinkOnClose(true);
    event->Drain();
    auto block = platform::CreateSharedBlock(names.block, kBlockSize);
    if (!block)
        return Refuse("cannot make the shared block " + names.block + " (is it another user's?)");
    block->SetUnlinkOnClose(true);
    std::memset(block->Data(), 0, kBlockSize);
    std::memcpy(block->Data(), record->c_str(), record->size() + 1);
    handoff::WriteLauncherPid(block->Data(), block->Size(), platform::CurrentProcessId());

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // The editor holds the lock with us and goes on holding it should we end first.
    lock.lock->ShareWithNextChild();
    auto child = platform::StartProcess(editor, {});
    if (!child)
        return Refuse("cannot start the editor " + editor);

    bool answered = false;
    for (;;) {
        if (event->Wait(std::chrono::milliseconds(50))) {
            answered = true;
            break;
        }
        if (child->HasExited()) {
            answered = event->Wait(std::chrono::milliseconds(0)); // an answer just before the end counts
            break;
        }
        if (g_interrupted) {
            std::printf("interrupted; the editor (process %d) keeps running, no save was reported\n", child->Pid());
            return kNotSaved;
        }
    }

    if (!answered && options.local) {
        // Local saves start the next question in the same editor; closing it ends the work.
        if (child->ExitStatus() != 0) {
            std::printf("the editor failed (exit status %d)\n", child->ExitStatus());
            return kNotSaved;
        }
        std::printf("the editor was closed\n");
        return kSaved;
    }
    if (!answered) {
        std::printf("the editor ended without a save (exit status %d)\n", child->ExitStatus());
        return kNotSaved;
    }
    const std::string answer =
        handoff::ReadBoundedText(block->Data() + handoff::kAnswerOffset, handoff::kLauncherPidOffset - handoff::kAnswerOffset);
    if (answer != kSaveAnswer) {
        std::printf("the editor answered \"%s\", not \"%s\": no save\n", answer.c_str(), kSaveAnswer);
        return kNotSaved;
    }
    std::printf("the editor saved the question (\"%s\" at offset %zu)\n", kSaveAnswer, handoff::kAnswerOffset);
    return kSaved;
}
