// varnel-hwp's command line: help and version, the commands over several documents with
// -o FOLDER, the image options; the single-document forms that scripts call
// (`image IN OUT [--page N]`, `pdf IN OUT`, `rewrite IN OUT`, `text FILE`, `info FILE`)
// go on as they were.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Exit statuses, as --help and the manual page state them.
enum ToolStatus { kDone = 0, kBadInput = 1, kUsage = 2 };

// Pages `first` to `last` (from 1); `last` 0 runs to the end. A single page has
// first == last.
struct PageRange {
    int first = 1;
    int last = 0;
};

struct Invocation {
    enum class Kind { Run, Help, Version };
    Kind kind = Kind::Run;
    std::string command;             // text, info, rewrite, image, pdf
    std::vector<std::string> inputs;
    std::string outputFolder;        // -o: a file (an image a page) for each input there
    std::string output;              // the single-document form's OUT
    std::optional<int> dpi;          // image
    std::optional<std::string> page; // image --page, as given (the single form checks it)
    std::vector<PageRange> pages;    // image --pages
};

// Reads the arguments after the program's name into `invocation`: empty when they make
// sense, else what is wrong with them (a usage error).
std::string ParseCommandLine(const std::vector<std::string>& arguments, Invocation& invocation);

// "1-3", "2,5", "4-": the ranges, or nullopt when the text is not a page list.
std::optional<std::vector<PageRange>> ParsePageList(const std::string& text);

// The pages of a document of `pageCount` pages that `ranges` select, in the order given,
// each once. A range running past the end stops there; a single page past the end, or a
// selection left empty, sets `complaint` (naming `document`) and selects nothing.
std::vector<int> SelectPages(const std::vector<PageRange>& ranges, int pageCount, const std::string& document,
                             std::string& complaint);

// The name of `input`'s output in the output folder: its file name without ".hwp", then
// `suffix` (".pdf", ".txt", "-3.png").
std::string OutputName(const std::string& input, const std::string& suffix);

// The whole program: parses, runs and returns the exit status.
int RunCommandLine(int argc, char** argv);
