// A question's package changes in one step. Whatever a save (or a type switch that
// stores a type's documents) writes goes into a staged copy of the item folder, beside
// it: ".ek-12.saving-Ab3…" next to "ek-12". The copy starts as hard links to the
// current files, so only what is rewritten takes room; every writer replaces files by
// name, never in place, so the current package is never touched through a link. When
// everything is written and flushed, Commit swaps the staged and the current folder with
// renameat2(RENAME_EXCHANGE) and removes the old one: at every instant the folder holds
// exactly the old package or exactly the new one.
//
// A question with a passage changes two folders. A journal (one small file per pending
// package in "<data>/save-journal", locked while its owner lives) lists the staged
// copies before they exist and, once they are complete, the decision to switch; the
// next start (RecoverPackageStages) finishes a decided switch and removes every staged
// copy of a save that was not decided. So after a crash the passage and the question are
// both old or both new, and no staged copy stays behind.
//
// Failures are noted for a WriteFailureWatch (support/write_failure.h) with the file.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The name of a staged copy when `folder` is one (".<item>.saving-<random>"); none otherwise.
std::optional<std::string> StagedFolderName(const std::string& folder);

class PackageStages {
public:
    explicit PackageStages(std::string journalFolder);
    ~PackageStages();
    PackageStages(const PackageStages&) = delete;
    PackageStages& operator=(const PackageStages&) = delete;

    // The staged copy of the folder `live`, made on first use with the folder's current
    // files (none when it does not exist yet). `makeParent`: the live folder's parent is
    // created first (an item of the local store never saved); otherwise a missing live
    // folder is a failure. Empty, with the failure noted, when no copy could be made.
    std::string Stage(const std::string& live, bool makeParent);
    // The staged copy of `live`, or `live` itself when it has none.
    std::string Working(const std::string& live) const;
    // `path` inside a staged copy as the same path inside its live folder, for messages.
    std::string LivePathOf(const std::string& path) const;
    bool Empty() const { return m_stages.empty(); }

    // Flushes every staged copy of `lives` to disk and makes each live folder hold what
    // its copy holds, all of them or none as far as a crash is concerned; staged copies of
    // other folders are dropped. False, with the failure noted and the copies kept, when
    // a copy could not be flushed or switched: the live folders are then as they were.
    bool Commit(const std::vector<std::string>& lives);
    // Drops every staged copy; the live folders stay as they are.
    void Discard();

private:
    struct Staged {
        std::string live;
        std::string staged;
    };
    bool OpenJournal();
    bool AppendToJournal(const std::string& lines);
    void CloseJournal(bool remove);
    bool Switch(const std::vector<Staged>& chosen);

    std::string m_journalFolder;
    std::string m_journalPath;
    int m_journal = -1;
    std::vector<Staged> m_stages;
    // Old packages (or dropped copies) that could not be removed yet.
    std::vector<std::string> m_leftovers;
};

// At start-up: for every journal whose owner has ended, finishes a decided switch and
// removes the staged copies and old packages it lists. Journals of running programs are
// left alone, as is a journal whose work failed (it is tried again at the next start).
void RecoverPackageStages(const std::string& journalFolder);

// "<data>/save-journal", where the program keeps its journals.
std::string PackageJournalFolder(const std::string& dataFolder);
