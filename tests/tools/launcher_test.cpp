#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/process.h"
#include "platform/shared_block.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"
#include "store/exam_open.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;
};

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-launcher-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_record = m_dir / "record.json";
        // A run lock and channels of this case alone: a stand-in that stays holds them.
        fs::create_directories(m_dir / "runtime");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (m_dir / "runtime").c_str(), 1);
        setenv("VARNEL_CHANNEL_TAG", m_dir.filename().c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        setenv("VARNEL_STAND_IN_RECORD", m_record.c_str(), 1);
        setenv("VARNEL_STAND_IN_MODE", "save", 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static Outcome Run(const std::vector<std::string>& arguments, const std::string& program = VARNEL_LAUNCHER)
    {
        std::string command = Quote(program);
        for (const auto& a : arguments)
            command += " " + Quote(a);
        command += " 2>&1";
        Outcome outcome;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return outcome;
        char buffer[512];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            outcome.output.append(buffer, n);
        const int status = pclose(pipe);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }
    static std::vector<std::string> Base(std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments = {"--school-key", "1001", "--user-key",    "42",
                                              "--server",     "http://exam.example/api",   "--editor",
                                              VARNEL_STAND_IN_EDITOR};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    // The launch record as the editor read it.
    JsonOwnedPtr Record() const { return ParseJsonUtf8(ReadWholeFile(m_record)); }

    static bool ChannelLeft()
    {
        const auto names = handoff::LauncherChannelNames();
        return platform::OpenSharedBlock(names.block) ||
               platform::OpenNamedEvent(names.event, platform::OpenMode::OpenExisting);
    }

    fs::path m_dir;
    fs::path m_record;
};

TEST_F(Launcher, SaveIsReportedAndTheChannelRemoved)
{
    const Outcome outcome = Run(Base());
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("EXAM_SAVE"), std::string::npos) << outcome.output;
    EXPECT_FALSE(ChannelLeft());

    const JsonOwnedPtr record = Record();
    const JsonObject user = JsonGetObject(JsonObjectOf(record.get()), "user_info");
    EXPECT_EQ(JsonGetInt(user, "school_key"), 1001);
    EXPECT_EQ(JsonGetInt(user, "user_key"), 42);
    EXPECT_EQ(JsonGetText(user, "web_svr"), "http://exam.example/api");
    EXPECT_TRUE(JsonGetObject(JsonObjectOf(record.get()), "exam_info").empty());
}

TEST_F(Launcher, EditorEndingWithoutASaveIsNoSave)
{
    setenv("VARNEL_STAND_IN_MODE", "quit", 1);
    Outcome outcome = Run(Base());
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_NE(outcome.output.find("without a save"), std::string::npos) << outcome.output;
    EXPECT_FALSE(ChannelLeft());

    setenv("VARNEL_STAND_IN_MODE", "other", 1);
    outcome = Run(Base());
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_NE(outcome.output.find("CANCELLED"), std::string::npos) << outcome.output;
}

TEST_F(Launcher, LocalModeStartsTheEditorOnTheLocalStoreWithoutAServer)
{
    setenv("VARNEL_STAND_IN_MODE", "close", 1);
    Outcome outcome = Run({"--local", "--editor", VARNEL_STAND_IN_EDITOR});
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("the editor was closed"), std::string::npos) << outcome.output;
    EXPECT_FALSE(ChannelLeft());
    const JsonOwnedPtr record = Record();
    const JsonObject user = JsonGetObject(JsonObjectOf(record.get()), "user_info");
    EXPECT_EQ(JsonGetInt(user, "school_key"), 0);
    EXPECT_EQ(JsonGetInt(user, "user_key"), 0);
    EXPECT_EQ(JsonGetText(user, "web_svr"), "");
    EXPECT_TRUE(JsonGetObject(JsonObjectOf(record.get()), "exam_info").empty()) << "a new local question";

    setenv("VARNEL_STAND_IN_MODE", "quit", 1);
    outcome = Run({"--local", "--school-key", "7", "--user-key", "8", "--editor", VARNEL_STAND_IN_EDITOR});
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_NE(outcome.output.find("the editor failed (exit status 3)"), std::string::npos) << outcome.output;
    EXPECT_EQ(JsonGetInt(JsonGetObject(JsonObjectOf(Record().get()), "user_info"), "school_key"), 7);

    for (const auto& extra : std::vector<std::vector<std::string>>{
             {"--server", "http://exam.example/api"}, {"--exam-key", "3", "--exam-local", "local_exam"}}) {
        std::vector<std::string> arguments = {"--local", "--editor", VARNEL_STAND_IN_EDITOR};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 2) << outcome.output;
        EXPECT_NE(outcome.output.find("--local takes no server and no question"), std::string::npos) << outcome.output;
    }
}

TEST_F(Launcher, SaveEndsTheWaitWhileTheEditorKeepsRunning)
{
    setenv("VARNEL_STAND_IN_MODE", "stay", 1);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Run(Base());
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(Launcher, QuestionFromAFileGoesIntoExamInfo)
{
    const fs::path file = m_dir / "q.json";
    ASSERT_TRUE(WriteWholeFile(file, "{\"exam_key\":1234567,\"obj_option\":\"D\",\"exam_name\":\"광합성\"}\n"));
    Outcome outcome = Run(Base({"--question", file}));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    JsonOwnedPtr record = Record();
    JsonObject exam = JsonGetObject(JsonObjectOf(record.get()), "exam_info");
    EXPECT_EQ(JsonGetInt(exam, "exam_key"), 1234567);
    EXPECT_EQ(JsonGetText(exam, "exam_name"), "광합성");
    EXPECT_EQ(JsonGetText(exam, "exam_local"), "exam"); // the Launcher's own kind when the file names none

    ASSERT_TRUE(WriteWholeFile(file, "{\"exam_key\":5,\"exam_local\":\"local_exam\"}"));
    outcome = Run(Base({"--question", file}));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    record = Record();
    EXPECT_EQ(JsonGetText(JsonGetObject(JsonObjectOf(record.get()), "exam_info"), "exam_local"), "local_exam");
}

TEST_F(Launcher, QuestionByKeyIsReadFromItsFolderInTheWorkspace)
{
    const fs::path workspace = m_dir / "data/korvane/telquin/1001/42";
    fs::create_directories(workspace / "local_exam/ek-12");
    ASSERT_TRUE(WriteWholeFile(workspace / "local_exam/ek-12/12.dat", "{\"exam_key\":12,\"des_option\":\"D\"}"));
    fs::create_directories(workspace / "exam" / QuestionFolderPath(1234567));
    ASSERT_TRUE(WriteWholeFile(workspace / "exam" / QuestionFolderPath(1234567) / "1234567.dat",
                               "{\"exam_key\":1234567,\"exam_local\":\"stale\",\"sbj_option\":\"Y\"}"));

    Outcome outcome = Run(Base({"--exam-key", "12", "--exam-local", "local_exam"}));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    JsonOwnedPtr record = Record();
    JsonObject exam = JsonGetObject(JsonObjectOf(record.get()), "exam_info");
    EXPECT_EQ(JsonGetInt(exam, "exam_key"), 12);
    EXPECT_EQ(JsonGetText(exam, "des_option"), "D");
    EXPECT_EQ(JsonGetText(exam, "exam_local"), "local_exam");

    outcome = Run(Base({"--exam-key=1234567", "--exam-local=exam"}));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    record = Record();
    exam = JsonGetObject(JsonObjectOf(record.get()), "exam_info");
    EXPECT_EQ(JsonGetText(exam, "sbj_option"), "Y");
    EXPECT_EQ(JsonGetText(exam, "exam_local"), "exam");

    fs::remove(m_record);
    outcome = Run(Base({"--exam-key", "99", "--exam-local", "local_exam"}));
    EXPECT_EQ(outcome.status, 2) << outcome.output;
    EXPECT_NE(outcome.output.find("ek-99/99.dat"), std::string::npos) << outcome.output;
    EXPECT_FALSE(fs::exists(m_record)); // the editor was not started
}

TEST_F(Launcher, APointedRecordOpensAsBeforeWithItsPointsAndOneWithoutHasNone)
{
    const fs::path workspace = m_dir / "data/korvane/telquin/1001/42";
    for (const auto& [key, dat] : {std::pair{"13", R"({"exam_key":13,"difficulty":"d3","obj_option":"D","sbj_option":"N","des_option":"N","obj_answer":"2","sbj_answer":"","stage_id":"high","score":3.3})"},
                                   std::pair{"14", R"({"exam_key":14,"difficulty":"d3","obj_option":"D","obj_answer":"2"})"}}) {
        fs::create_directories(workspace / "local_exam" / (std::string("ek-") + key));
        ASSERT_TRUE(WriteWholeFile(workspace / "local_exam" / (std::string("ek-") + key) / (std::string(key) + ".dat"), dat));
        const Outcome outcome = Run(Base({"--exam-key", key, "--exam-local", "local_exam"}));
        ASSERT_EQ(outcome.status, 0) << outcome.output;
        const JsonOwnedPtr record = Record();
        ExamRecord read;
        ReadExamRecordKeys(read, JsonGetObject(JsonObjectOf(record.get()), "exam_info"));
        EXPECT_EQ(read.m_strDifficulty, "d3");
        EXPECT_EQ(read.m_strObjAnswer, "2");
        EXPECT_EQ(read.m_nScoreTenths, std::string(key) == "13" ? std::optional<std::int32_t>(33) : std::nullopt);
    }
}

TEST_F(Launcher, RecordThatDoesNotFitIsRefusedBeforeAnythingStarts)
{
    const fs::path file = m_dir / "long.json";
    ASSERT_TRUE(WriteWholeFile(file, "{\"exam_name\":\"" + std::string(2100, 'x') + "\"}"));
    const Outcome outcome = Run(Base({"--question", file}));
    EXPECT_EQ(outcome.status, 2) << outcome.output;
    EXPECT_NE(outcome.output.find("2047 bytes"), std::string::npos) << outcome.output;
    EXPECT_FALSE(fs::exists(m_record));
    EXPECT_FALSE(ChannelLeft());
}

TEST_F(Launcher, BadArgumentsAndMissingEditorAreRefusedClearly)
{
    EXPECT_EQ(Run({"--school-key", "1"}).status, 2);
    EXPECT_EQ(Run(Base({"--school-key", "12x"})).status, 2);
    EXPECT_EQ(Run(Base({"--school-key", "4294967296"})).status, 2);
    EXPECT_EQ(Run(Base({"--exam-key", "5"})).status, 2);
    EXPECT_EQ(Run(Base({"--exam-key", "5", "--exam-local", "../elsewhere"})).status, 2);
    const fs::path notJson = m_dir / "bad.json";
    ASSERT_TRUE(WriteWholeFile(notJson, "[1,2]"));
    EXPECT_EQ(Run(Base({"--question", notJson})).status, 2);

    const Outcome missing = Run(Base({"--editor", (m_dir / "no-such-editor").string()}));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("no-such-editor"), std::string::npos) << missing.output;
    EXPECT_FALSE(ChannelLeft());

    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--school-key"), std::string::npos);
}

TEST_F(Launcher, ABlockLeftByAKilledLauncherIsNotTakenForALaunch)
{
    // An editor that only waits, so the launcher is still waiting when it is killed.
    const fs::path editor = m_dir / "waiting-editor";
    ASSERT_TRUE(WriteWholeFile(editor, "#!/bin/sh\nsleep 2\n"));
    fs::permissions(editor, fs::perms::owner_all);
    std::vector<std::string> arguments = Base();
    arguments[arguments.size() - 1] = editor.string();
    auto launcher = platform::StartProcess(VARNEL_LAUNCHER, arguments);
    ASSERT_TRUE(launcher);
    const auto names = handoff::LauncherChannelNames();
    int markedPid = 0;
    for (int i = 0; i < 500 && markedPid == 0; ++i) {
        if (auto block = platform::OpenSharedBlock(names.block))
            markedPid = handoff::ReadLauncherPid(block->Data(), block->Size());
        if (markedPid == 0)
            usleep(10 * 1000);
    }
    EXPECT_EQ(markedPid, launcher->Pid()) << "the launcher marks its block with its pid";
    {
        auto channel = handoff::LauncherChannel::Open();
        ASSERT_TRUE(channel) << "its launcher is alive";
        EXPECT_NE(channel->LaunchText().find("\"school_key\":1001"), std::string::npos);
    }

    kill(launcher->Pid(), SIGKILL);
    for (int i = 0; i < 500 && !launcher->HasExited(); ++i)
        usleep(10 * 1000);
    ASSERT_TRUE(platform::OpenSharedBlock(names.block)) << "a killed launcher leaves its block";
    EXPECT_EQ(handoff::LauncherChannel::Open(), nullptr);
    EXPECT_FALSE(ChannelLeft()) << "the editor removes what the dead launcher left";
}

TEST_F(Launcher, FindsTheEditorBesideItselfByDefault)
{
    fs::copy_file(VARNEL_LAUNCHER, m_dir / "varnel-launcher");
    fs::copy_file(VARNEL_STAND_IN_EDITOR, m_dir / "varnel");
    const Outcome outcome = Run({"--school-key", "7", "--user-key", "8", "--server", ""},
                                (m_dir / "varnel-launcher").string());
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(fs::exists(m_record));
}

} // namespace
