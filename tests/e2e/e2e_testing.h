// Whole-system test support: a temporary data folder and install folder, the scripted
// dialog (varnel-driver) and the launcher run as real processes, and checks of what a
// save leaves on disk.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/named_event.h"
#include "platform/shared_block.h"

namespace e2e {

namespace fs = std::filesystem;

std::string Quote(const std::string& text);
// Runs `command` in the shell; its exit status and what it printed (stdout and stderr).
struct ShellResult {
    int status = -1;
    std::string output;
};
ShellResult Shell(const std::string& command);

// A started program: killed and reaped when dropped.
class Child {
public:
    Child(pid_t pid) : m_pid(pid) {}
    ~Child();
    pid_t Pid() const { return m_pid; }
    // Exit status, 128 + signal for a signal, or -1 when it is still running at the timeout.
    int Wait(std::chrono::milliseconds timeout);
    bool Running();
    void Kill(int signal);

private:
    pid_t m_pid;
    bool m_reaped = false;
    int m_status = -1;
};

std::unique_ptr<Child> Start(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment);

// Processes whose program (or script) lies below `folder`, such as the sibling programs
// an editor of the test started: they go on after that editor was killed.
std::vector<pid_t> ProgramsRunningFrom(const fs::path& folder);

// The lines of the driver's log that start with `prefix` (the prefix cut off).
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix);

// One test's world: <root>/data (XDG_DATA_HOME), <root>/opt (VARNEL_PROGRAM_FILES) whose
// urk/ links to the staged install folder's items, <root>/runtime (XDG_RUNTIME_DIR), the
// driver's log, and channel names of its own (VARNEL_CHANNEL_TAG).
class System : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    fs::path Root() const { return m_root; }
    fs::path DataFolder() const { return m_root / "data" / "korvane" / "telquin"; }
    fs::path Workspace(unsigned school = 0, unsigned user = 0) const
    {
        return DataFolder() / std::to_string(school) / std::to_string(user);
    }
    fs::path Urk() const { return m_root / "opt" / "korvane" / "telquin" / "urk"; }
    // XDG_RUNTIME_DIR of the programs the test starts: the run lock lies there.
    fs::path RuntimeFolder() const { return m_root / "runtime"; }
    // Puts a shell script in place of the staged tool `name` (Tolvard, Fennick).
    void ReplaceTool(const std::string& name, const std::string& script);

    // The driver with this script, waited for; its log lines. `more` adds environment.
    std::map<std::string, std::string> DriverEnvironment(const std::string& script,
                                                         const std::map<std::string, std::string>& more = {}) const;
    std::unique_ptr<Child> StartDriver(const std::string& script, const std::map<std::string, std::string>& more = {});
    std::vector<std::string> RunDriver(const std::string& script, const std::map<std::string, std::string>& more = {},
                                       int* exitStatus = nullptr);
    std::vector<std::string> Log() const;
    void ClearLog() const;

    // The Launcher's side written by the test itself: the block holds `record` (the
    // block is made large enough), the event exists. Dropped by ReleaseLauncherSide.
    void MakeLauncherSide(const std::string& record, std::size_t blockSize = 4096);
    void ReleaseLauncherSide();
    // The answer the editor left at 2048, or empty.
    std::string LauncherAnswer() const;

    fs::path m_root;
    fs::path m_log;
    // VARNEL_CHANNEL_TAG of this test, in this process and the programs it starts.
    std::string m_tag;
    std::unique_ptr<platform::SharedBlock> m_block;
    std::unique_ptr<platform::NamedEvent> m_event;
};

// --- checks of what a save left -------------------------------------------------------

// The .dat parses as one JSON object with python3's json module; its text.
::testing::AssertionResult DatParses(const fs::path& dat);
// `unzip -t` accepts the archive; the member names, sorted.
::testing::AssertionResult ArchiveSound(const fs::path& zip, std::vector<std::string>* members = nullptr);
::testing::AssertionResult PngSound(const fs::path& png);
// Every .dat, .zip and .png below `folder` passes its check.
void ExpectEverythingSound(const fs::path& folder);
// hwpjs reads the document and finds each line of `text` in it. Skips (returns success
// with `skipped` set) when node or the oracle is missing.
::testing::AssertionResult OracleFinds(const fs::path& hwp, const std::string& text, bool* skipped = nullptr);

// The state line of the driver's log at `checkpoint` and its panes' texts.
struct DialogState {
    bool found = false;
    std::map<std::string, std::string> values; // key, local, passage, folder, type, ...
    std::map<std::string, std::string> panes;  // question, options, ... (line breaks as "\n")
};
DialogState StateAt(const std::vector<std::string>& log, const std::string& checkpoint);

// The texts the driver types (as it logs them, line breaks as "\n").
extern const char* const kPassageText;
extern const char* const kQuestionText;
extern const char* const kOptionsText;
extern const char* const kAnswerText;
extern const char* const kExplainText;

} // namespace e2e

namespace e2e {

// --- watching a save at work -------------------------------------------------------------

// File events in the watched folders and in every folder made in them afterwards (the
// staged copy of a package), so a test can act the moment a save touches a file.
class FolderWatch {
public:
    struct Event {
        fs::path folder;
        std::string name;
        std::uint32_t mask = 0;
    };
    explicit FolderWatch(const std::vector<fs::path>& folders);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Waits until an event satisfies `wanted`; false when `child` ended or time ran out first.
    bool WaitFor(const std::function<bool(const Event&)>& wanted, Child& child, std::chrono::seconds timeout);

private:
    void Add(const fs::path& folder);
    // Watches `folder` and what it already holds; true when something there is `wanted`.
    bool AddWithContents(const fs::path& folder, const std::function<bool(const Event&)>& wanted);
    int m_fd = -1;
    std::map<int, fs::path> m_folders;
};

// The processes whose parent is `parent` (the editor that a launcher started).
std::vector<pid_t> ChildrenOf(pid_t parent);
// This process becomes the reaper of orphaned descendants: a cropper whose editor was
// killed ends up here and can be waited for.
void AdoptOrphans();
// Waits until every adopted orphan has ended. Only while no Child is still unreaped:
// it waits for any child.
bool ReapOrphans(std::chrono::seconds timeout);

} // namespace e2e
