#include "tests/e2e/e2e_testing.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "handoff/channel.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"

namespace e2e {

const char* const kPassageText = "봄이 오면 들판에 노란 민들레가 핍니다.\\n"
                                 "민들레 씨앗은 바람을 타고 멀리 날아가 새 자리에 뿌리를 내립니다.";
const char* const kQuestionText = "민들레 씨앗이 멀리 퍼지는 까닭은 무엇입니까?";
const char* const kOptionsText = "① 바람을 타고 날아가서\\n② 물에 떠내려가서\\n③ 동물이 옮겨서\\n"
                                 "④ 사람이 심어서\\n⑤ 땅속으로 뻗어서";
const char* const kAnswerText = "①";
const char* const kExplainText = "지문 둘째 문장에서 씨앗이 바람을 타고 날아간다고 하였습니다.";

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ShellResult Shell(const std::string& command)
{
    ShellResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// --- processes -----------------------------------------------------------------------

Child::~Child()
{
    if (!m_reaped) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
}

bool Child::Running()
{
    if (m_reaped)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

int Child::Wait(std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_status;
}

void Child::Kill(int signal)
{
    if (!m_reaped)
        ::kill(m_pid, signal);
}

std::unique_ptr<Child> Start(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment)
{
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const pid_t pid = fork();
    if (pid < 0)
        return nullptr;
    if (pid == 0) {
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return std::make_unique<Child>(pid);
}

std::vector<pid_t> ProgramsRunningFrom(const fs::path& folder)
{
    const std::string prefix = folder.string() + "/";
    std::vector<pid_t> found;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // The program, or the script that an interpreter runs.
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string program, script;
        std::getline(cmdline, program, '\0');
        std::getline(cmdline, script, '\0');
        if (program.starts_with(prefix) || script.starts_with(prefix))
            found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return found;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& line : lines) {
        if (line.starts_with(prefix))
            out.push_back(line.substr(prefix.size()));
    }
    return out;
}

// --- the world of one test -------------------------------------------------------------

void System::SetUp()
{
    char pattern[] = "/tmp/varnel-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
    m_log = m_root / "driver.log";
    // Channels, run lock and runtime folder of this test alone: tests may run side by side.
    m_tag = "e2e" + m_root.filename().string().substr(std::string("varnel-e2e-").size());
    setenv("VARNEL_CHANNEL_TAG", m_tag.c_str(), 1);
    fs::create_directories(RuntimeFolder());
    fs::permissions(RuntimeFolder(), fs::perms::owner_all);
    fs::create_directories(DataFolder());
    fs::create_directories(Urk());
    for (const auto& entry : fs::directory_iterator(VARNEL_STAGE "/urk"))
        fs::create_symlink(entry.path(), Urk() / entry.path().filename());
}

void System::TearDown()
{
    ReleaseLauncherSide();
    if (!m_root.empty()) {
        // Sibling programs that outlived an editor the test killed (a hanging cropper).
        for (const pid_t pid : ProgramsRunningFrom(m_root))
            ::kill(pid, SIGKILL);
        // A read-only or mounted piece of the tree would stop the removal.
        Shell("umount -l " + Quote((m_root / "mnt").string()) + " 2>/dev/null");
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

void System::ReplaceTool(const std::string& name, const std::string& script)
{
    const fs::path path = Urk() / name;
    fs::remove(path);
    std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::map<std::string, std::string> System::DriverEnvironment(const std::string& script,
                                                             const std::map<std::string, std::string>& more) const
{
    std::map<std::string, std::string> environment = {
        {"VARNEL_PROGRAM_FILES", (m_root / "opt").string()},
        {"XDG_DATA_HOME", (m_root / "data").string()},
        {"XDG_RUNTIME_DIR", RuntimeFolder().string()},
        {"VARNEL_CHANNEL_TAG", m_tag},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"VARNEL_DRIVER_SCRIPT", script},
        {"VARNEL_DRIVER_LOG", m_log.string()},
        {"VARNEL_DRIVER_STEP_MS", "30"},
    };
    for (const auto& [name, value] : more)
        environment[name] = value;
    return environment;
}

std::unique_ptr<Child> System::StartDriver(const std::string& script, const std::map<std::string, std::string>& more)
{
    return Start(VARNEL_DRIVER, {}, DriverEnvironment(script, more));
}

std::vector<std::string> System::RunDriver(const std::string& script, const std::map<std::string, std::string>& more,
                                           int* exitStatus)
{
    auto child = StartDriver(script, more);
    EXPECT_NE(child, nullptr);
    if (!child)
        return {};
    const int status = child->Wait(std::chrono::minutes(3));
    std::string log;
    for (const auto& line : Log())
        log += line + "\n";
    EXPECT_EQ(status, 0) << "the driver (script " << script << ") did not end cleanly; its log:\n" << log;
    if (exitStatus)
        *exitStatus = status;
    return Log();
}

std::vector<std::string> System::Log() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_log);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void System::ClearLog() const
{
    std::error_code ignored;
    fs::remove(m_log, ignored);
}

void System::MakeLauncherSide(const std::string& record, std::size_t blockSize)
{
    const handoff::ChannelNames names = handoff::LauncherChannelNames();
    m_event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    ASSERT_NE(m_event, nullptr);
    m_event->SetUnlinkOnClose(true);
    m_event->Drain();
    blockSize = std::max(blockSize, record.size() + 1);
    platform::RemoveSharedBlock(names.block);
    m_block = platform::CreateSharedBlock(names.block, blockSize);
    ASSERT_NE(m_block, nullptr);
    m_block->SetUnlinkOnClose(true);
    std::memset(m_block->Data(), 0, blockSize);
    std::memcpy(m_block->Data(), record.data(), record.size());
}

void System::ReleaseLauncherSide()
{
    m_block.reset();
    m_event.reset();
}

std::string System::LauncherAnswer() const
{
    if (!m_block || m_block->Size() <= handoff::kAnswerOffset)
        return {};
    return handoff::ReadBoundedText(m_block->Data() + handoff::kAnswerOffset, m_block->Size() - handoff::kAnswerOffset);
}

// --- checks ------------------------------------------------------------------------------

::testing::AssertionResult DatParses(const fs::path& dat)
{
    const ShellResult r = Shell("python3 -c 'import json,sys; d=json.load(open(sys.argv[1],\"rb\")); "
                                "assert isinstance(d, dict)' " + Quote(dat.string()));
    if (r.status != 0)
        return ::testing::AssertionFailure() << dat << " is not one JSON object: " << r.output;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ArchiveSound(const fs::path& zip, std::vector<std::string>* members)
{
    const ShellResult test = Shell("unzip -t " + Quote(zip.string()));
    // An archive without entries is sound too; unzip only warns about it.
    const bool empty = test.status == 1 && test.output.find("zipfile is empty") != std::string::npos;
    if (test.status != 0 && !empty)
        return ::testing::AssertionFailure() << "unzip -t " << zip << ":\n" << test.output;
    if (members) {
        members->clear();
        const ShellResult list = Shell("unzip -Z1 " + Quote(zip.string()));
        std::istringstream in(list.output);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty())
                members->push_back(line);
        }
        std::sort(members->begin(), members->end());
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PngSound(const fs::path& png)
{
    const ShellResult r = Shell("pngcheck -q " + Quote(png.string()));
    if (r.status != 0)
        return ::testing::AssertionFailure() << "pngcheck " << png << ":\n" << r.output;
    return ::testing::AssertionSuccess();
}

void ExpectEverythingSound(const fs::path& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string ext = entry.path().extension().string();
        if (ext == ".dat") {
            EXPECT_TRUE(DatParses(entry.path()));
        } else if (ext == ".zip") {
            EXPECT_TRUE(ArchiveSound(entry.path()));
        } else if (ext == ".png") {
            EXPECT_TRUE(PngSound(entry.path()));
        }
    }
}

::testing::AssertionResult OracleFinds(const fs::path& hwp, const std::string& text, bool* skipped)
{
    const fs::path oracle = fs::path(VARNEL_ORACLE);
    if (!fs::exists(oracle / "node_modules" / "@ohah" / "hwpjs") || Shell("node --version").status != 0) {
        if (skipped)
            *skipped = true;
        return ::testing::AssertionSuccess();
    }
    const ShellResult r = Shell("node " + Quote((oracle / "dump-texts.js").string()) + " " + Quote(hwp.string()));
    if (r.status != 0)
        return ::testing::AssertionFailure() << "hwpjs refuses " << hwp << ": " << r.output;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("\\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && r.output.find(line) == std::string::npos)
            return ::testing::AssertionFailure() << "hwpjs does not find \"" << line << "\" in " << hwp << ": "
                                                 << r.output;
        start = end + 2;
    }
    return ::testing::AssertionSuccess();
}

DialogState StateAt(const std::vector<std::string>& log, const std::string& checkpoint)
{
    DialogState state;
    const std::string head = "state " + checkpoint;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i] != head && !log[i].starts_with(head + " "))
            continue;
        state = DialogState();
        state.found = true;
        std::istringstream words(log[i].substr(head.size()));
        for (std::string word; words >> word;) {
            const auto eq = word.find('=');
            if (eq != std::string::npos)
                state.values[word.substr(0, eq)] = word.substr(eq + 1);
        }
        for (std::size_t j = i + 1; j < log.size(); ++j) {
            if (log[j].starts_with("launch ")) {
                // The server comes last and may hold anything.
                const auto server = log[j].find(" server=");
                std::istringstream keys(log[j].substr(7, server - 7));
                for (std::string word; keys >> word;)
                    state.values[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
                if (server != std::string::npos)
                    state.values["server"] = log[j].substr(server + 8);
                continue;
            }
            if (!log[j].starts_with("pane "))
                break;
            const std::string rest = log[j].substr(5);
            const auto space = rest.find(' ');
            state.panes[rest.substr(0, space)] = space == std::string::npos ? std::string() : rest.substr(space + 1);
        }
    }
    return state;
}

} // namespace e2e

namespace e2e {

namespace {
constexpr std::uint32_t kWatched = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
}

FolderWatch::FolderWatch(const std::vector<fs::path>& folders) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    EXPECT_GE(m_fd, 0) << "no inotify: " << std::strerror(errno);
    for (const auto& folder : folders)
        Add(folder);
}

FolderWatch::~FolderWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

void FolderWatch::Add(const fs::path& folder)
{
    const int watch = inotify_add_watch(m_fd, folder.c_str(), kWatched);
    // A folder removed meanwhile is no fault; running out of watches is.
    EXPECT_TRUE(watch >= 0 || errno == ENOENT) << folder << ": " << std::strerror(errno);
    if (watch >= 0)
        m_folders[watch] = folder;
}

bool FolderWatch::AddWithContents(const fs::path& folder, const std::function<bool(const Event&)>& wanted)
{
    Add(folder);
    // What the folder got before its watch began is seen by listing it: a staged copy is
    // often written whole before this thread reads the folder's creation.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const bool isFolder = entry.is_directory(error);
        const Event event{folder, entry.path().filename().string(),
                          isFolder ? std::uint32_t(IN_CREATE | IN_ISDIR) : std::uint32_t(IN_CREATE | IN_CLOSE_WRITE)};
        if (wanted(event) || (isFolder && AddWithContents(entry.path(), wanted)))
            return true;
    }
    return false;
}

bool FolderWatch::WaitFor(const std::function<bool(const Event&)>& wanted, Child& child, std::chrono::seconds timeout)
{
    // A staged copy's files are seen sooner when this thread reads the events ahead of the
    // busy machine's other work (where it may; root may); the children started later get
    // the usual priority back.
    struct Priority {
        int before = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        Priority() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10); }
        ~Priority() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), before); }
    } const priority;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (bool running = true; running && std::chrono::steady_clock::now() < end;) {
        // Once the child has ended, what it did before is still read: a slow reader under
        // load must not miss the event.
        running = child.Running();
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, running ? 100 : 0) <= 0)
            continue;
        alignas(inotify_event) char buffer[16384];
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* raw = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + raw->len);
            const auto folder = m_folders.find(raw->wd);
            if (folder == m_folders.end() || raw->len == 0)
                continue;
            const Event event{folder->second, raw->name, raw->mask};
            if (wanted(event))
                return true;
            if ((raw->mask & IN_ISDIR) && (raw->mask & (IN_CREATE | IN_MOVED_TO)) &&
                AddWithContents(event.folder / event.name, wanted))
                return true;
        }
        // After the child's end, reading goes on while events come.
        running = running || got > 0;
    }
    return false;
}

std::vector<pid_t> ChildrenOf(pid_t parent)
{
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // "pid (comm) state ppid …": the name may hold spaces and parentheses.
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent)
            children.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return children;
}

void AdoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

bool ReapOrphans(std::chrono::seconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0)
            continue;
        if (pid < 0)
            return errno == ECHILD;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace e2e
