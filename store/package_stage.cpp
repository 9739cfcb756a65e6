#include "store/package_stage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/files.h"
#include "support/folders.h"
#include "support/write_failure.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kStagedMark = ".saving-";
constexpr const char* kJournalSuffix = ".journal";

std::string ParentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomName(std::size_t length)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string name;
    for (std::size_t i = 0; i < length; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

// Only a staged copy of `live`, beside it, is ever switched in or removed: a journal
// that names anything else is not ours to follow.
bool IsStagedCopyOf(const std::string& staged, const std::string& live)
{
    return !live.empty() && live.front() == '/' && ParentOf(staged) == ParentOf(live) &&
           NameOf(staged).starts_with("." + NameOf(live) + kStagedMark) && NameOf(live) != "." &&
           NameOf(live) != "..";
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

bool SyncPath(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

bool SyncFolder(const std::string& folder) { return SyncPath(folder, O_DIRECTORY); }

// The folder's files as hard links (a copy where the file system refuses links), its
// sub-folders likewise, symbolic links as they are.
bool CloneFolder(const std::string& from, const std::string& to)
{
    std::error_code error;
    for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        const std::string source = it->path().string();
        const std::string target = to + "/" + it->path().filename().string();
        const fs::file_status status = it->symlink_status(error);
        if (error)
            break;
        if (fs::is_symlink(status)) {
            fs::copy_symlink(source, target, error);
        } else if (fs::is_directory(status)) {
            if (mkdir(target.c_str(), 0777) != 0) {
                NoteWriteFailure(errno, target);
                return false;
            }
            if (!CloneFolder(source, target))
                return false;
        } else if (fs::is_regular_file(status) && link(source.c_str(), target.c_str()) != 0) {
            fs::copy_file(source, target, error);
        }
        if (error) {
            NoteWriteFailure(error.value(), target);
            return false;
        }
    }
    if (error) {
        NoteWriteFailure(error.value(), from);
        return false;
    }
    return true;
}

// Every file and folder of the copy on disk, the copy's own entry last.
bool SealFolder(const std::string& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string path = it->path().string();
        const fs::file_status status = it->symlink_status(error);
        if (error)
            break;
        const bool sealed = fs::is_directory(status) ? SealFolder(path)
                            : fs::is_regular_file(status) ? SyncPath(path, O_NOFOLLOW)
                                                           : true;
        if (!sealed) {
            NoteWriteFailure(errno, path);
            return false;
        }
    }
    if (error || !SyncFolder(folder)) {
        NoteWriteFailure(error ? error.value() : errno, folder);
        return false;
    }
    return true;
}

// `staged` takes the place of `live` in one step; the old folder is left at `staged`.
bool Exchange(const std::string& staged, const std::string& live)
{
    if (!IdentityOf(live))
        return renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, live.c_str(), RENAME_NOREPLACE) == 0 ||
               (errno == EINVAL && rename(staged.c_str(), live.c_str()) == 0);
    if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the exchange: three renames; the journal covers the moment
    // without a live folder (RecoverPackageStages puts the staged one in place).
    const std::string aside = staged + ".old";
    if (rename(live.c_str(), aside.c_str()) != 0)
        return false;
    if (rename(staged.c_str(), live.c_str()) != 0) {
        const int failure = errno;
        rename(aside.c_str(), live.c_str());
        errno = failure;
        return false;
    }
    // The old package goes where the exchange would have left it; if it cannot, it is
    // removed from beside that name all the same (RemoveTree).
    rename(aside.c_str(), staged.c_str());
    return true;
}

bool RemoveTree(const std::string& path)
{
    std::error_code error;
    fs::remove_all(path, error);
    // A leftover of the three-rename exchange, when there was one.
    fs::remove_all(path + ".old", error);
    return !IdentityOf(path);
}

struct JournalEntry {
    bool swap = false;
    Identity identity;
    std::string staged;
    std::string live;
};

struct Journal {
    std::vector<JournalEntry> entries;
    bool committed = false;
};

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

// Complete lines only: one torn by a crash never counts.
Journal ParseJournal(const std::string& text)
{
    Journal journal;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        const std::vector<std::string> f = Fields(text.substr(start, end - start));
        if (f.size() == 3 && f[0] == "stage") {
            journal.entries.push_back({false, {}, f[1], f[2]});
        } else if (f.size() == 5 && f[0] == "swap") {
            JournalEntry entry{true, {}, f[3], f[4]};
            entry.identity.device = static_cast<dev_t>(std::strtoull(f[1].c_str(), nullptr, 10));
            entry.identity.inode = static_cast<ino_t>(std::strtoull(f[2].c_str(), nullptr, 10));
            journal.entries.push_back(std::move(entry));
        } else if (f.size() == 1 && f[0] == "commit") {
            journal.committed = true;
        }
    }
    return journal;
}

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// Follows one journal of an ended owner; true when nothing of it is left to do.
bool Recover(const Journal& journal)
{
    bool done = true;
    std::vector<Identity> keep;
    for (const JournalEntry& entry : journal.entries) {
        if (!entry.swap || !journal.committed || !IsStagedCopyOf(entry.staged, entry.live))
            continue;
        // Switched already, or the staged copy is gone (nothing is left to switch).
        if (IdentityOf(entry.live) == entry.identity || IdentityOf(entry.staged) != entry.identity)
            continue;
        if (!Exchange(entry.staged, entry.live)) {
            keep.push_back(entry.identity);
            done = false;
            continue;
        }
        SyncFolder(ParentOf(entry.live));
    }
    for (const JournalEntry& entry : journal.entries) {
        if (!IsStagedCopyOf(entry.staged, entry.live))
            continue;
        const auto identity = IdentityOf(entry.staged);
        if (identity && std::find(keep.begin(), keep.end(), *identity) != keep.end())
            continue;
        if (!RemoveTree(entry.staged))
            done = false;
    }
    return done;
}

} // namespace

std::optional<std::string> StagedFolderName(const std::string& folder)
{
    const std::string name = NameOf(folder);
    const auto mark = name.find(kStagedMark);
    if (name.size() < 2 || name.front() != '.' || mark == std::string::npos || mark < 2)
        return std::nullopt;
    return name;
}

std::string PackageJournalFolder(const std::string& dataFolder) { return dataFolder + "/save-journal"; }

PackageStages::PackageStages(std::string journalFolder) : m_journalFolder(std::move(journalFolder)) {}

PackageStages::~PackageStages() { Discard(); }

bool PackageStages::OpenJournal()
{
    if (m_journal >= 0)
        return true;
    if (!EnsureDirectory(m_journalFolder)) {
        NoteWriteFailure(errno, m_journalFolder);
        return false;
    }
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::string path =
            m_journalFolder + "/" + std::to_string(getpid()) + "-" + RandomName(8) + kJournalSuffix;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            NoteWriteFailure(errno, path);
            return false;
        }
        // A start-up that took the new, empty file for an ended owner's may have removed
        // it between the open and the lock: then another name.
        struct stat st {};
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) {
            m_journal = fd;
            m_journalPath = path;
            // The journal must outlast a power cut as surely as what it lists.
            SyncFolder(m_journalFolder);
            return true;
        }
        close(fd);
    }
    NoteWriteFailure(EAGAIN, m_journalFolder);
    return false;
}

bool PackageStages::AppendToJournal(const std::string& lines)
{
    if (!OpenJournal())
        return false;
    const off_t before = lseek(m_journal, 0, SEEK_END);
    // A line written in part is taken back, so the next one starts a line of its own.
    const auto fail = [&](int error) {
        NoteWriteFailure(error, m_journalPath);
        if (before >= 0 && ftruncate(m_journal, before) == 0)
            fdatasync(m_journal);
        return false;
    };
    std::size_t done = 0;
    while (done < lines.size()) {
        const ssize_t n = write(m_journal, lines.data() + done, lines.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n == 0 ? EIO : errno);
        done += static_cast<std::size_t>(n);
    }
    if (fdatasync(m_journal) != 0)
        return fail(errno);
    return true;
}

void PackageStages::CloseJournal(bool remove)
{
    if (m_journal < 0)
        return;
    // Removed while still locked, so no start-up can take it for an ended owner's.
    if (remove)
        unlink(m_journalPath.c_str());
    close(m_journal);
    m_journal = -1;
    m_journalPath.clear();
}

std::string PackageStages::Stage(const std::string& live, bool makeParent)
{
    for (const Staged& stage : m_stages) {
        if (stage.live == live)
            return stage.staged;
    }
    if (live.empty() || live.front() != '/' || live.find_first_of("\t\n") != std::string::npos ||
        NameOf(live).empty()) {
        NoteWriteFailure(EINVAL, live);
        return {};
    }
    if (makeParent && !EnsureDirectory(ParentOf(live))) {
        NoteWriteFailure(errno, ParentOf(live));
        return {};
    }
    struct stat st {};
    const bool exists = stat(live.c_str(), &st) == 0;
    if ((exists && !S_ISDIR(st.st_mode)) || (!exists && !makeParent)) {
        NoteWriteFailure(exists ? ENOTDIR : ENOENT, live);
        return {};
    }
    // In the journal before it exists: a crash right after the mkdir leaves nothing unlisted.
    const std::string staged = ParentOf(live) + "/." + NameOf(live) + kStagedMark + RandomName(12);
    if (!AppendToJournal("stage\t" + staged + "\t" + live + "\n"))
        return {};
    if (mkdir(staged.c_str(), 0777) != 0) {
        NoteWriteFailure(errno, live);
        return {};
    }
    if (exists && !CloneFolder(live, staged)) {
        if (!RemoveTree(staged))
            m_leftovers.push_back(staged);
        return {};
    }
    m_stages.push_back({live, staged});
    return staged;
}

std::string PackageStages::Working(const std::string& live) const
{
    for (const Staged& stage : m_stages) {
        if (stage.live == live)
            return stage.staged;
    }
    return live;
}

std::string PackageStages::LivePathOf(const std::string& path) const
{
    for (const Staged& stage : m_stages) {
        if (path == stage.staged || path.starts_with(stage.staged + "/"))
            return stage.live + path.substr(stage.staged.size());
    }
    return path;
}

bool PackageStages::Commit(const std::vector<std::string>& lives)
{
    std::vector<Staged> chosen;
    for (const std::string& live : lives) {
        const auto found = std::find_if(m_stages.begin(), m_stages.end(), [&](const Staged& s) { return s.live == live; });
        if (found == m_stages.end()) {
            NoteWriteFailure(ENOENT, live);
            return false;
        }
        chosen.push_back(*found);
    }
    for (const Staged& stage : chosen) {
        if (!SealFolder(stage.staged))
            return false;
    }
    if (!Switch(chosen))
        return false;
    // The old packages now lie at the staged names; other copies were not chosen.
    for (const Staged& stage : m_stages) {
        if (!RemoveTree(stage.staged))
            m_leftovers.push_back(stage.staged);
    }
    m_stages.clear();
    Discard();
    return true;
}

bool PackageStages::Switch(const std::vector<Staged>& chosen)
{
    std::string decision;
    for (const Staged& stage : chosen) {
        const auto identity = IdentityOf(stage.staged);
        if (!identity) {
            NoteWriteFailure(errno, stage.live);
            return false;
        }
        decision += "swap\t" + std::to_string(identity->device) + "\t" + std::to_string(identity->inode) + "\t" +
                    stage.staged + "\t" + stage.live + "\n";
    }
    const off_t undecided = m_journal >= 0 ? lseek(m_journal, 0, SEEK_END) : 0;
    if (!AppendToJournal(decision + "commit\n"))
        return false;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (Exchange(chosen[i].staged, chosen[i].live)) {
            SyncFolder(ParentOf(chosen[i].live));
            continue;
        }
        NoteWriteFailure(errno, chosen[i].live);
        // Back to where the save began, and the decision taken back; should that fail too,
        // the next start finishes the switch.
        bool undone = true;
        while (i-- > 0)
            undone = renameat2(AT_FDCWD, chosen[i].staged.c_str(), AT_FDCWD, chosen[i].live.c_str(), RENAME_EXCHANGE) == 0 &&
                     SyncFolder(ParentOf(chosen[i].live)) && undone;
        if (undone && ftruncate(m_journal, undecided) == 0)
            fdatasync(m_journal);
        return false;
    }
    return true;
}

void PackageStages::Discard()
{
    for (const Staged& stage : m_stages)
        m_leftovers.push_back(stage.staged);
    m_stages.clear();
    std::vector<std::string> left;
    for (const std::string& path : m_leftovers) {
        if (!RemoveTree(path))
            left.push_back(path);
    }
    m_leftovers = left;
    // Whatever stays is in the journal as "stage": the next start removes it.
    CloseJournal(m_leftovers.empty());
}

void RecoverPackageStages(const std::string& journalFolder)
{
    std::error_code error;
    for (fs::directory_iterator it(journalFolder, error), end; !error && it != end; it.increment(error)) {
        const std::string path = it->path().string();
        if (!path.ends_with(kJournalSuffix))
            continue;
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st {};
        // A locked journal belongs to a program that still runs; an unlinked one is done.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0 && S_ISREG(st.st_mode) &&
            Recover(ParseJournal(ReadAll(fd))))
            unlink(path.c_str());
        close(fd);
    }
}
