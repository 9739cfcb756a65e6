// Faults around a save and bad input at start-up: nothing on disk is lost or torn, the
// dialog stays usable and tells the user where the user must act.
#include "tests/e2e/e2e_testing.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <fstream>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "support/files.h"
#include "support/json.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// Waits until the driver's log holds a line starting with `prefix`, or the child ended.
bool WaitForLogLine(const std::function<std::vector<std::string>()>& log, Child& child, const std::string& prefix,
                    std::size_t count = 1, std::chrono::seconds timeout = std::chrono::seconds(180))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (LinesStartingWith(log(), prefix).size() >= count)
            return true;
        if (!child.Running())
            return LinesStartingWith(log(), prefix).size() >= count;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// The saved question 1 of the local store with its passage is whole: its records parse,
// its archives test clean and hold their members.
void ExpectQuestionOneWhole(const fs::path& workspace)
{
    const fs::path question = workspace / "local_exam" / "ek-1";
    const fs::path passage = workspace / "local_examtext" / "etk-1";
    ASSERT_TRUE(DatParses(question / "1.dat"));
    const JsonOwnedPtr root = ParseJsonUtf8(ReadWholeFile((question / "1.dat").string()));
    EXPECT_EQ(JsonGetInt(JsonObjectOf(root.get()), "exam_key"), 1);
    std::vector<std::string> members;
    EXPECT_TRUE(ArchiveSound(question / "1-exam.zip", &members));
    EXPECT_EQ(members.size(), 4u);
    EXPECT_TRUE(ArchiveSound(question / "1-print.zip", &members));
    EXPECT_EQ(members.size(), 4u);
    EXPECT_TRUE(DatParses(passage / "1.dat"));
    EXPECT_TRUE(ArchiveSound(passage / "1-text.zip", &members));
    EXPECT_EQ(members, std::vector<std::string>{"text.hwp"});
    EXPECT_TRUE(ArchiveSound(passage / "1-print.zip"));
}

class Faults : public System {
protected:
    std::vector<std::string> Run(const std::string& script, const std::map<std::string, std::string>& more = {})
    {
        ClearLog();
        auto log = RunDriver(script, more);
        if (script == "demo")
            m_savedPanes = StateAt(log, "before-save").panes;
        return log;
    }
    std::map<std::string, std::string> m_savedPanes;
    // "문제 불러오기" on question 1 restores its panes, with no message.
    void ExpectReopensQuestionOne(const fs::path& workspace, std::map<std::string, std::string> more = {})
    {
        more["VARNEL_DRIVER_OPEN"] = (workspace / "local_exam" / "ek-1" / "1.dat").string();
        const auto log = Run("reopen", more);
        EXPECT_TRUE(LinesStartingWith(log, "message ").empty());
        const DialogState state = StateAt(log, "reopened");
        ASSERT_TRUE(state.found);
        EXPECT_EQ(state.values.at("key"), "1");
        EXPECT_EQ(state.panes.at("passage"), kPassageText);
        EXPECT_TRUE(state.panes.at("question").starts_with(kQuestionText)) << state.panes.at("question");
        EXPECT_EQ(state.panes.at("options"), kOptionsText);
        EXPECT_EQ(state.panes.at("answer"), m_savedPanes.at("answer"));
        EXPECT_EQ(state.panes.at("explain"), kExplainText);
    }
    // A small file system of its own at <root>/mnt; false when this machine allows none.
    bool MountSmallFileSystem(const std::string& size)
    {
        const fs::path mnt = Root() / "mnt";
        fs::create_directories(mnt);
        return mount("tmpfs", mnt.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
};

// The editor killed at several points of a second save of question 1: each time the
// records and archives are the old ones or the new ones, never torn, and the question
// opens again.
TEST_F(Faults, KillDuringSaveLeavesOldOrNewAndReopens)
{
    Run("demo");
    ExpectQuestionOneWhole(Workspace());
    const fs::path question = Workspace() / "local_exam" / "ek-1";
    const fs::path passage = Workspace() / "local_examtext" / "etk-1";

    // Each point: a part of the file name whose first write, in the staged copy of the
    // package beside the folder, triggers the kill.
    const char* const points[] = {
        "obj-objective.hwp", // the panes are being saved
        "text.hwp",          // the passage document
        "1.dat",             // the record
        "1-exam.zip",        // the documents' archive
        "1-print.zip",       // the print images' archive
    };
    AdoptOrphans();
    for (const std::string trigger : points) {
        SCOPED_TRACE("killed at the first write of " + trigger);
        ClearLog();
        FolderWatch watch({question.parent_path(), passage.parent_path()});
        auto driver = StartDriver("resave", {{"VARNEL_DRIVER_OPEN", (question / "1.dat").string()}});
        const bool seen = watch.WaitFor(
            [&](const FolderWatch::Event& event) {
                return (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) && event.name.find(trigger) != std::string::npos;
            },
            *driver, 180s);
        driver->Kill(SIGKILL);
        EXPECT_TRUE(seen) << "the save never wrote " << trigger;
        driver->Wait(10s);
        // A cropper the killed editor had started goes on writing its images into the
        // folder; what the folder holds is settled once it has ended, however long that takes.
        const auto settled = std::chrono::steady_clock::now() + 180s;
        while (!ProgramsRunningFrom(Root()).empty() && std::chrono::steady_clock::now() < settled)
            std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(ProgramsRunningFrom(Root()).empty()) << "a sibling program of the killed editor never ended";
        ExpectQuestionOneWhole(Workspace());
    }
    ExpectReopensQuestionOne(Workspace());
}

// A cropper that crashes: the save still completes without print heights.
TEST_F(Faults, CrashingCropperStillSaves)
{
    ReplaceTool("Tolvard", "kill -SEGV $$");
    const auto log = Run("objective");
    const DialogState after = StateAt(log, "after-save");
    ASSERT_TRUE(after.found) << "the dialog did not come back from the save";
    EXPECT_EQ(after.values.at("key"), "2");
    const fs::path folder = Workspace() / "local_exam" / "ek-1";
    ASSERT_TRUE(DatParses(folder / "1.dat"));
    const JsonOwnedPtr root = ParseJsonUtf8(ReadWholeFile((folder / "1.dat").string()));
    EXPECT_EQ(JsonObjectOf(root.get()).count(u"obj_list"), 0u) << "heights nobody measured";
    std::vector<std::string> members;
    EXPECT_TRUE(ArchiveSound(folder / "1-exam.zip", &members));
    EXPECT_EQ(members.size(), 4u);
    ExpectEverythingSound(Workspace());
}

// A cropper that hangs: the dialog keeps painting and refuses input while it waits, and
// finishes the save once the cropper is gone.
TEST_F(Faults, HangingCropperKeepsTheDialogPaintingAndRefusingInput)
{
    const fs::path pidFile = Root() / "tolvard.pid";
    ReplaceTool("Tolvard", "echo $$ > " + Quote(pidFile.string()) + "\nwhile :; do sleep 1; done");
    auto driver = StartDriver("busy-probe");
    ASSERT_TRUE(WaitForLogLine([this] { return Log(); }, *driver, "busy ", 8)) << "the dialog never waited";
    const auto busy = LinesStartingWith(Log(), "busy ");
    for (const auto& line : busy)
        EXPECT_NE(line.find("input=refused"), std::string::npos) << line;
    auto paints = [](const std::string& line) { return std::stoi(line.substr(line.find("paints=") + 7)); };
    EXPECT_GT(paints(busy.back()), paints(busy.front())) << "no painting while waiting";

    // The cropper runs once the dialog is busy, but its first line may not have run yet.
    const auto started = std::chrono::steady_clock::now() + 180s;
    auto written = [&] { return ReadWholeFile(pidFile.string()).find('\n') != std::string::npos; };
    while (!written() && std::chrono::steady_clock::now() < started)
        std::this_thread::sleep_for(50ms);
    const pid_t cropper = std::atoi(ReadWholeFile(pidFile.string()).c_str());
    ASSERT_GT(cropper, 1) << "the cropper never started";
    kill(cropper, SIGKILL);
    EXPECT_EQ(driver->Wait(180s), 0);
    const DialogState after = StateAt(Log(), "after-save");
    ASSERT_TRUE(after.found);
    EXPECT_EQ(after.values.at("key"), "2");
    EXPECT_TRUE(DatParses(Workspace() / "local_exam" / "ek-1" / "1.dat"));
}

// A picker that ends without an answer (the real one, asked for an item that is not
// there, as after a cancel) leaves the question as it was.
TEST_F(Faults, CancelledPickerLeavesTheQuestion)
{
    ReplaceTool("Fennick", "exec " + Quote(VARNEL_STAGE "/urk/Fennick") + " --choose local_examtext:99");
    const auto log = Run("pick-only");
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty());
    const DialogState state = StateAt(log, "picked");
    ASSERT_TRUE(state.found);
    EXPECT_EQ(state.values.at("has_passage"), "0");
    EXPECT_EQ(state.values.at("passage"), "0");
    EXPECT_EQ(state.panes.at("question"), kQuestionText);
    EXPECT_EQ(state.panes.at("options"), kOptionsText);
}

// The Launcher's block gone by the time of the save: the question is written, nothing
// is reported and the dialog stays open and usable.
TEST_F(Faults, LauncherBlockRemovedBeforeTheSave)
{
    const fs::path folder = Workspace(1001, 42) / "exam" / "d6-000" / "d4-00" / "d2-10" / "ek-1001";
    fs::create_directories(folder);
    MakeLauncherSide(R"({"user_info":{"user_key":42,"school_key":1001,"web_svr":"http://demo.invalid"},)"
                     R"("exam_info":{"exam_key":1001,"exam_local":"exam","obj_option":"D","sbj_option":"N",)"
                     R"("des_option":"N","difficulty":"d2","stage_id":"elem"}})");
    const fs::path go = Root() / "go";
    auto driver = StartDriver("wait-then-save", {{"VARNEL_DRIVER_GO", go.string()}});
    ASSERT_TRUE(WaitForLogLine([this] { return Log(); }, *driver, "state filled"));
    ReleaseLauncherSide();
    std::ofstream(go.string()) << "go";
    EXPECT_EQ(driver->Wait(180s), 0);
    const auto log = Log();
    const DialogState open = StateAt(log, "still-open");
    ASSERT_TRUE(open.found) << "the dialog closed though nobody was told of the save";
    EXPECT_NE(StateAt(log, "typed").panes["question"].find("usable"), std::string::npos);
    ASSERT_TRUE(DatParses(folder / "1001.dat"));
    std::vector<std::string> members;
    EXPECT_TRUE(ArchiveSound(folder / "1001-exam.zip", &members));
    EXPECT_EQ(members.size(), 4u);
}

// A disk that fills up between opening a question and saving it: the save says it
// failed, the panes keep what was typed, the question saved before is untouched and
// opens again once there is room.
TEST_F(Faults, FullDiskSaysSoAndKeepsTheSavedQuestion)
{
    if (!MountSmallFileSystem("8m"))
        GTEST_SKIP() << "no small file system can be mounted here (needs root and tmpfs): " << std::strerror(errno);
    // Saved where there is room (a save renders its pages through bitmaps of 100 MB), then
    // moved onto the small file system.
    Run("demo");
    const fs::path data = Root() / "mnt" / "data";
    ASSERT_EQ(Shell("cp -a " + Quote((Root() / "data").string()) + " " + Quote(data.string())).status, 0);
    const fs::path workspace = data / "korvane" / "telquin" / "0" / "0";
    ExpectQuestionOneWhole(workspace);
    const std::string before = ReadWholeFile((workspace / "local_exam" / "ek-1" / "1.dat").string());

    const std::map<std::string, std::string> onMount = {{"XDG_DATA_HOME", data.string()}};
    auto more = onMount;
    more["VARNEL_DRIVER_OPEN"] = (workspace / "local_exam" / "ek-1" / "1.dat").string();
    more["VARNEL_DRIVER_GO"] = (Root() / "go").string();
    ClearLog();
    auto driver = StartDriver("resave", more);
    ASSERT_TRUE(WaitForLogLine([this] { return Log(); }, *driver, "state edited"));
    const fs::path filler = Root() / "mnt" / "filler";
    Shell("dd if=/dev/zero of=" + Quote(filler.string()) + " bs=64k 2>/dev/null; sync");
    std::ofstream((Root() / "go").string()) << "go";
    EXPECT_EQ(driver->Wait(180s), 0);

    const auto log = Log();
    EXPECT_FALSE(LinesStartingWith(log, "message ").empty()) << "the user was not told";
    const DialogState typed = StateAt(log, "before-save");
    const DialogState after = StateAt(log, "after-save");
    ASSERT_TRUE(after.found);
    EXPECT_EQ(after.values.at("key"), "1") << "the unsaved question was dropped";
    EXPECT_NE(typed.panes.at("question").find("두 번째 저장"), std::string::npos);
    EXPECT_EQ(after.panes, typed.panes) << "the typed text is gone";
    EXPECT_EQ(before, ReadWholeFile((workspace / "local_exam" / "ek-1" / "1.dat").string()));
    ExpectQuestionOneWhole(workspace);

    fs::remove(filler);
    ExpectReopensQuestionOne(workspace, onMount);
}

// A read-only workspace: the save says it failed and the dialog keeps the question.
TEST_F(Faults, ReadOnlyWorkspaceSaysSo)
{
    if (!MountSmallFileSystem("8m"))
        GTEST_SKIP() << "no small file system can be mounted here (needs root and tmpfs): " << std::strerror(errno);
    const fs::path data = Root() / "mnt" / "data";
    const fs::path workspace = data / "korvane" / "telquin" / "0" / "0";
    fs::create_directories(workspace / "local_exam");
    fs::create_directories(workspace / "local_examtext");
    ASSERT_EQ(mount(nullptr, (Root() / "mnt").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    int status = -1;
    ClearLog();
    const auto log = RunDriver("objective", {{"XDG_DATA_HOME", data.string()}}, &status);
    EXPECT_FALSE(LinesStartingWith(log, "message ").empty()) << "the user was not told";
    const DialogState before = StateAt(log, "before-save");
    const DialogState after = StateAt(log, "after-save");
    ASSERT_TRUE(after.found);
    EXPECT_EQ(after.values.at("key"), "1");
    EXPECT_EQ(after.panes, before.panes) << "the typed text is gone";
}

// Damaged archives of a question: opening it says why, writes nothing outside its
// folder, and the dialog takes input afterwards.
TEST_F(Faults, DamagedArchiveIsReportedAndTheDialogStaysUsable)
{
    const fs::path folder = Workspace() / "local_exam" / "ek-1";
    fs::create_directories(folder);
    std::ofstream(folder / "1.dat") << R"({"exam_key":1,"exam_name":"","difficulty":"d2","obj_option":"D",)"
                                    << R"("sbj_option":"N","des_option":"N","obj_answer":"1","sbj_answer":""})";
    // A sound archive with an entry that climbs out of the folder; cut in half it is damaged.
    Shell("cd " + Quote(Root().string()) + " && python3 -c 'import zipfile; "
          "z=zipfile.ZipFile(\"whole.zip\",\"w\",zipfile.ZIP_DEFLATED); "
          "z.writestr(\"obj-exam.hwp\", \"x\"*5000); z.writestr(\"../../escape.hwp\", \"y\"); z.close()'");
    const std::string whole = ReadWholeFile((Root() / "whole.zip").string());
    ASSERT_FALSE(whole.empty());
    const std::string notZip("PK\x03\x04 this is no archive");
    for (const std::string& bytes : {notZip, whole.substr(0, whole.size() / 2), whole}) {
        SCOPED_TRACE(bytes.size());
        std::ofstream(folder / "1-exam.zip", std::ios::binary | std::ios::trunc) << bytes;
        const auto log = Run("reopen", {{"VARNEL_DRIVER_OPEN", (folder / "1.dat").string()}});
        EXPECT_FALSE(LinesStartingWith(log, "message ").empty()) << "the user was not told";
        EXPECT_NE(StateAt(log, "typed").panes["question"].find("usable"), std::string::npos);
        EXPECT_FALSE(fs::exists(Workspace() / "escape.hwp"));
        EXPECT_FALSE(fs::exists(Workspace() / "local_exam" / "escape.hwp"));
    }
}

// Launch records the Launcher would never send: 100 KB long, not JSON, hostile texts in
// every field. The editor neither crashes nor writes outside the workspace; it either
// opens a question that takes input, or says why and ends.
TEST_F(Faults, OddLaunchRecordsNeverCrashTheEditor)
{
    std::string big = R"({"user_info":{"user_key":7,"school_key":8,"web_svr":")" + std::string(100 * 1024, 'w') +
                      R"("},"exam_info":{"exam_key":3,"exam_local":"local_exam","exam_name":")" +
                      std::string(1000, 'n') + R"("}})";
    const std::string hostile = "../../../../tmp/x\\\"\x01<>'%s%n\xff\xfe";
    const std::vector<std::pair<std::string, std::size_t>> records = {
        {big, 0},
        {std::string(100 * 1024, '{'), 0},
        {std::string(4096, 'x'), 4096}, // no terminator anywhere in the block
        {"not json at all", 0},
        {"[1,2,3]", 0},
        {R"({"user_info":"text","exam_info":[1]})", 0},
        {R"({"user_info":{"user_key":-5,"school_key":"../..","web_svr":null}})", 0},
        {R"({"user_info":{"user_key":99999999999999999999,"school_key":1.5e300,"web_svr":")" + hostile + R"("}})", 0},
        {R"({"user_info":{"user_key":1,"school_key":2,"web_svr":"x"},"exam_info":{"exam_key":"../x","exam_local":"../../../../..)"
         R"(/tmp","difficulty":")" + hostile + R"(","stage_id":")" + hostile + R"(","obj_option":")" + hostile + R"("}})",
         0},
        {R"({"user_info":{"user_key":1,"school_key":2,"web_svr":"x"},"exam_info":{"exam_key":4294967295,"exam_local":"/",)"
         R"("examtext_key":-1,"examtext_local":"../../..","exam_name":")" + hostile + R"("}})",
         0},
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i) + ": " + records[i].first.substr(0, 80));
        MakeLauncherSide(records[i].first, records[i].second);
        if (records[i].second == 4096 && records[i].first.size() == 4096)
            std::memcpy(m_block->Data(), records[i].first.data(), 4096);
        int status = -1;
        ClearLog();
        const auto log = RunDriver("probe", {}, &status);
        EXPECT_EQ(status, 0);
        const bool usable = StateAt(log, "typed").panes["question"].find("usable") != std::string::npos;
        EXPECT_TRUE(usable || !LinesStartingWith(log, "message ").empty()) << "closed without a word";
        ReleaseLauncherSide();
    }
    // Nothing landed outside the temporary data folder's tree.
    for (const auto& entry : fs::directory_iterator(Root())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "data" || name == "opt" || name == "driver.log" || name.starts_with("runtime"))
            << "left " << entry.path();
    }
    for (const auto& entry : fs::recursive_directory_iterator(Root() / "data"))
        EXPECT_EQ(entry.path().string().find(".."), std::string::npos) << entry.path();
}

// Texts with quotes, backslashes, escapes and Hangul given to the launcher reach the
// editor as they were, without changing the record around them.
TEST_F(Faults, HostileTextsThroughTheLauncherArriveIntact)
{
    const std::string server = R"(x","web_svr":"evil\" \u0000 }{ 한글)";
    const fs::path questionFile = Root() / "q.json";
    std::ofstream(questionFile) << R"({"exam_key":7,"exam_local":"local_exam","exam_name":"\"},{\u0041\\"})";
    auto launcher = Start(VARNEL_LAUNCHER,
                          {"--school-key", "1", "--user-key", "2", "--server", server, "--question",
                           questionFile.string(), "--editor", VARNEL_DRIVER},
                          DriverEnvironment("probe"));
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(launcher->Wait(std::chrono::minutes(3)), 1) << "the editor ends without a save";
    const auto log = Log();
    const DialogState state = StateAt(log, "typed");
    ASSERT_TRUE(state.found) << "the editor did not take input";
    EXPECT_EQ(state.values.at("server"), server);
    EXPECT_EQ(state.values.at("school"), "1");
    EXPECT_EQ(state.values.at("user"), "2");
    EXPECT_EQ(state.values.at("key"), "7");
    EXPECT_EQ(state.values.at("local"), "local_exam");
    EXPECT_NE(state.panes.at("question").find("usable"), std::string::npos);
}

} // namespace
} // namespace e2e
