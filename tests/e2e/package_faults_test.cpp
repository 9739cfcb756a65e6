// A question package changes all at once. A question of the Launcher's kind with a passage
// is saved once through the launcher (the old package), then saved again with a line
// added to its question and its passage (the new one) while the editor is killed at
// points spread over the save, or while the disk has only a little room left. Each time
// the question's folder and the passage's folder each hold exactly the old package or
// exactly the new one (the documents' text, loose and archived, is what was typed for
// it; no file of the old package is left where the new one differs), the next start
// makes them agree and leaves no staged copy, and the launcher was told "EXAM_SAVE"
// only when the new package was complete.
#include "tests/e2e/e2e_testing.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace e2e {
namespace {

using namespace std::chrono_literals;
using Files = std::map<std::string, std::string>; // name -> bytes

const char kQuestionMark[] = "두 번째 저장";
const char kPassageMark[] = "지문도 고쳤습니다.";

Files FilesOf(const fs::path& folder)
{
    Files files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : "<not a file>";
    }
    return files;
}

std::string HwpText(const fs::path& hwp)
{
    return Shell(std::string(VARNEL_HWP) + " text " + Quote(hwp.string())).output;
}

// Names in `folder` that start with '.': staged copies, old packages, temporaries.
std::vector<std::string> Hidden(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    }
    return names;
}

// One folder of the package: the old and the new files, and the document whose text says
// which of the two it is.
struct Package {
    std::string name;
    fs::path folder;      // relative to the data folder
    std::string document; // a part document that the second save changes
    std::string archive;  // the archive that carries it
    std::string mark;     // what the second save typed into it
    Files old;
    Files fresh;          // a complete second save, made apart
};

// "old", "new", or what is wrong.
std::string StateOf(const Package& package, const fs::path& data, const fs::path& scratch)
{
    const fs::path folder = data / package.folder;
    const Files now = FilesOf(folder);
    if (now == package.old)
        return "old";
    std::string wrong;
    for (const auto& [name, bytes] : package.fresh) {
        if (!now.count(name))
            wrong += " missing " + name;
    }
    for (const auto& [name, bytes] : now) {
        const auto old = package.old.find(name);
        if (!package.fresh.count(name))
            wrong += " stray " + name;
        else if (old != package.old.end() && old->second != package.fresh.at(name) && bytes == old->second)
            wrong += " old " + name;
        const std::string extension = fs::path(name).extension().string();
        if ((extension == ".zip" && !ArchiveSound(folder / name)) || (extension == ".png" && !PngSound(folder / name)) ||
            (extension == ".dat" && !DatParses(folder / name)))
            wrong += " torn " + name;
    }
    if (HwpText(folder / package.document).find(package.mark) == std::string::npos)
        wrong += " old text in " + package.document;
    const fs::path unpacked = scratch / package.document;
    Shell("unzip -p " + Quote((folder / package.archive).string()) + " " + Quote(package.document) + " > " +
          Quote(unpacked.string()));
    if (HwpText(unpacked).find(package.mark) == std::string::npos)
        wrong += " old text in " + package.archive + ":" + package.document;
    return wrong.empty() ? "new" : "mixed:" + wrong;
}

class PackageFaults : public System {
protected:
    void SetUp() override
    {
        System::SetUp();
        AdoptOrphans();
        m_question = {"question", "korvane/telquin/1001/42/exam/d6-000/d4-00/d2-10/ek-1001", "obj-exam.hwp",
                      "1001-exam.zip", kQuestionMark, {}, {}};
        m_passage = {"passage", "korvane/telquin/1001/42/local_examtext/etk-1", "text.hwp", "1-text.zip", kPassageMark,
                     {}, {}};
    }

    // The launcher with the driver's `script` on the data folder `data` (XDG_DATA_HOME):
    // the first time with the question handed over, afterwards with the saved one.
    std::unique_ptr<Child> StartLauncher(const fs::path& data, const std::string& script, bool first = false)
    {
        // A launcher ends when it is told of the save while its editor is still closing, and
        // a second launch of the same user is refused until that editor has.
        EXPECT_TRUE(ReapOrphans(180s)) << "an editor of an earlier launch never closed";
        const fs::path question = Root() / "q.json";
        std::ofstream(question) << R"({"exam_key":1001,"exam_local":"exam","obj_option":"D","sbj_option":"N",)"
                                << R"("des_option":"N","difficulty":"d2"})";
        std::vector<std::string> arguments = {"--school-key", "1001", "--user-key", "42", "--server", "http://x.invalid",
                                              "--editor", VARNEL_DRIVER};
        const std::vector<std::string> which = first ? std::vector<std::string>{"--question", question.string()}
                                                     : std::vector<std::string>{"--exam-key", "1001", "--exam-local", "exam"};
        arguments.insert(arguments.end(), which.begin(), which.end());
        return Start(VARNEL_LAUNCHER, arguments, DriverEnvironment(script, {{"XDG_DATA_HOME", data.string()}}));
    }

    // The old package saved in `data`, kept apart in <root>/old, and a complete second
    // save made from a copy of it.
    void SaveOldAndNew(const fs::path& data)
    {
        fs::create_directories(data / m_question.folder);
        auto first = StartLauncher(data, "demo", true);
        ASSERT_EQ(first->Wait(180s), 0) << "the first save was not reported";
        ASSERT_EQ(Shell("cp -a " + Quote(data.string()) + " " + Quote((Root() / "old").string())).status, 0);
        const fs::path apart = Root() / "apart";
        ASSERT_EQ(Shell("cp -a " + Quote(data.string()) + " " + Quote(apart.string())).status, 0);
        auto second = StartLauncher(apart, "append");
        ASSERT_EQ(second->Wait(180s), 0) << "the second save was not reported";
        for (Package* package : {&m_question, &m_passage}) {
            package->old = FilesOf(data / package->folder);
            package->fresh = FilesOf(apart / package->folder);
            ASSERT_EQ(StateOf(*package, apart, Root()), "new");
        }
    }

    // The data folder as the first save left it.
    void BackToOld(const fs::path& data)
    {
        ASSERT_EQ(Shell("rm -rf " + Quote(data.string()) + " && cp -a " + Quote((Root() / "old").string()) + " " +
                        Quote(data.string()))
                      .status,
                  0);
    }

    // Both folders as the next start leaves them: the same package in both, nothing
    // staged or scratch beside them, no journal left.
    void ExpectOneWholePackageAfterTheNextStart(const fs::path& data, bool told)
    {
        ClearLog();
        RunDriver("probe", {{"XDG_DATA_HOME", data.string()}});
        const std::string question = StateOf(m_question, data, Root());
        EXPECT_EQ(StateOf(m_passage, data, Root()), question);
        EXPECT_TRUE(question == "old" || question == "new") << question;
        if (told) {
            EXPECT_EQ(question, "new") << "\"EXAM_SAVE\" for a package that is not there";
        }
        for (const Package* package : {&m_question, &m_passage})
            EXPECT_EQ(Hidden((data / package->folder).parent_path()), std::vector<std::string>{}) << package->name;
        const fs::path journals = data / "korvane/telquin/save-journal";
        EXPECT_TRUE(!fs::exists(journals) || fs::is_empty(journals));
    }

    Package m_question;
    Package m_passage;
};

// The editor killed at twelve points spread over the save: while the passage is staged,
// the documents, page images, crops, records and archives are written, between the two
// folders' switches and after the last.
TEST_F(PackageFaults, AKilledSaveLeavesTheOldPackageOrTheNewOneNeverAMix)
{
    const fs::path data = Root() / "data";
    SaveOldAndNew(data);
    if (HasFatalFailure())
        return;
    struct Point {
        const char* name;
        std::uint32_t mask;
        bool folderItself; // the name is the item folder's own (its switch)
    };
    const Point points[] = {
        {".etk-1.saving-", IN_CREATE, false},       {"text.hwp", IN_CLOSE_WRITE | IN_MOVED_TO, false},
        {"1-print-text001.png", IN_CLOSE_WRITE, false}, {"obj-objective.hwp", IN_CLOSE_WRITE | IN_MOVED_TO, false},
        {"1001-print-obj-answer001.png", IN_CLOSE_WRITE, false}, {"1001-examprint-obj001.png", IN_CLOSE_WRITE, false},
        {"1001-print-obj-exam.png", IN_CLOSE_WRITE | IN_MOVED_TO, false}, // the cropper at work
        {"1001.dat", IN_CLOSE_WRITE | IN_MOVED_TO, false}, {"1001-exam.zip", IN_CLOSE_WRITE | IN_MOVED_TO, false},
        {"1001-print.zip", IN_CLOSE_WRITE | IN_MOVED_TO, false}, {"etk-1", IN_MOVED_TO, true},
        {"ek-1001", IN_MOVED_TO, true},
    };
    std::map<std::string, int> states;
    for (const Point& point : points) {
        SCOPED_TRACE(std::string("killed at ") + point.name);
        BackToOld(data);
        ClearLog();
        FolderWatch watch({(data / m_question.folder).parent_path(), (data / m_passage.folder).parent_path()});
        auto launcher = StartLauncher(data, "append");
        const bool seen = watch.WaitFor(
            [&](const FolderWatch::Event& event) {
                return (event.mask & point.mask) &&
                       (point.folderItself ? event.name == point.name : event.name.find(point.name) != std::string::npos);
            },
            *launcher, 180s);
        for (pid_t editor : ChildrenOf(launcher->Pid()))
            kill(editor, SIGKILL);
        EXPECT_TRUE(seen) << "the save never got there";
        const int status = launcher->Wait(60s);
        EXPECT_TRUE(status == 0 || status == 1) << status;
        ASSERT_TRUE(ReapOrphans(60s)) << "a cropper of the killed editor did not end";
        // Each folder on its own is whole at once, before anything repairs it.
        for (const Package* package : {&m_question, &m_passage}) {
            const std::string state = StateOf(*package, data, Root());
            EXPECT_TRUE(state == "old" || state == "new") << package->name << ": " << state;
        }
        ExpectOneWholePackageAfterTheNextStart(data, status == 0);
        ++states[StateOf(m_question, data, Root())];
    }
    EXPECT_GT(states["old"], 0) << "no kill landed before the switch";
    EXPECT_GT(states["new"], 0) << "no kill landed after the switch";
}

// The disk fills up during the save, at sizes from a few pages to most of the package:
// the save says why and where, keeps the panes as typed, tells the launcher nothing, and
// leaves the old package and no scratch file.
TEST_F(PackageFaults, AFullDiskLeavesTheOldPackageAndSaysWhy)
{
    const fs::path mnt = Root() / "mnt";
    fs::create_directories(mnt);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64m") != 0)
        GTEST_SKIP() << "no small file system can be mounted here (needs root and tmpfs): " << std::strerror(errno);
    const fs::path data = mnt / "data";
    SaveOldAndNew(data);
    if (HasFatalFailure())
        return;
    std::uintmax_t package = 0;
    for (const Package* p : {&m_question, &m_passage})
        for (const auto& [name, bytes] : p->fresh)
            package += bytes.size();

    // From a few pages to more than the package needs: the writes fail at documents, page
    // images, crops, records and archives in turn, and the last save fits.
    const std::uintmax_t sizes[] = {8 << 10,       40 << 10,          120 << 10,          package / 4,
                                    package / 2,   package * 3 / 4,   package * 9 / 10,
                                    package,       package * 11 / 10, package * 3 / 2};
    int failed = 0;
    for (const std::uintmax_t room : sizes) {
        SCOPED_TRACE(std::to_string(room) + " bytes left of a package of " + std::to_string(package));
        BackToOld(data);
        struct statvfs space {};
        ASSERT_EQ(statvfs(mnt.c_str(), &space), 0);
        const std::uintmax_t available = static_cast<std::uintmax_t>(space.f_bavail) * space.f_frsize;
        ASSERT_GT(available, room);
        const int filler = open((mnt / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(posix_fallocate(filler, 0, static_cast<off_t>(available - room)), 0);
        close(filler);

        ClearLog();
        auto launcher = StartLauncher(data, "append");
        const int status = launcher->Wait(180s);
        fs::remove(mnt / "filler");
        const auto log = Log();
        if (status == 0) {
            // It fitted: then the package is the whole new one.
            for (const Package* p : {&m_question, &m_passage})
                EXPECT_EQ(StateOf(*p, data, Root()), "new") << p->name;
            continue;
        }
        ++failed;
        EXPECT_EQ(status, 1) << "the launcher was not told of a failed save";
        const auto messages = LinesStartingWith(log, "message ");
        std::string said;
        for (const std::string& message : messages)
            said += message + "\n";
        ASSERT_EQ(messages.size(), 1u) << said;
        EXPECT_NE(messages[0].find("디스크 공간이 부족합니다"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find("/1001/42/"), std::string::npos) << "no file named: " << messages[0];
        EXPECT_EQ(messages[0].find(".saving-"), std::string::npos) << "a name the user never saw: " << messages[0];
        const DialogState before = StateAt(log, "before-save");
        const DialogState after = StateAt(log, "after-save");
        ASSERT_TRUE(after.found);
        EXPECT_EQ(after.panes, before.panes) << "the typed text is gone";
        EXPECT_NE(after.panes.at("question").find(kQuestionMark), std::string::npos);
        for (const Package* p : {&m_question, &m_passage}) {
            EXPECT_EQ(StateOf(*p, data, Root()), "old") << p->name;
            EXPECT_EQ(Hidden((data / p->folder).parent_path()), std::vector<std::string>{}) << p->name;
        }
    }
    EXPECT_GE(failed, 3) << "the disk never ran full";
}

// The school level goes into the question's record and comes back with it.
TEST_F(PackageFaults, AnElementaryQuestionReopensAsElementary)
{
    const fs::path data = Root() / "data";
    fs::create_directories(data / m_question.folder);
    auto first = StartLauncher(data, "demo", true);
    ASSERT_EQ(first->Wait(180s), 0);
    ClearLog();
    auto again = StartLauncher(data, "probe");
    again->Wait(180s);
    const DialogState opened = StateAt(Log(), "opened");
    ASSERT_TRUE(opened.found);
    EXPECT_EQ(opened.values.at("level"), "elem");
}

} // namespace
} // namespace e2e
