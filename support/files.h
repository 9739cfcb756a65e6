// Whole-file text input and output for the launch file and the question records.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "support/write_failure.h"

// Whether anything (file or folder) exists at the path.
bool PathExists(const std::string& path);

// No text file the program reads comes near this; anything larger is refused.
inline constexpr std::size_t kMaxWholeFileSize = 16u << 20;

// The file's bytes, or empty when it is missing, unreadable, not a regular file (a
// device, a FIFO, a folder) or larger than kMaxWholeFileSize. Read in 1024-byte blocks,
// each appended up to its first NUL byte, so a NUL cuts the rest of its block only.
std::string ReadWholeFile(const std::string& path);

// Replaces the file in one instant: the content goes to a temporary file in the same
// folder, is flushed to disk and renamed over the old one. Nothing happens when the
// folder is missing; a failed write leaves the old file as it was. True on success;
// a failure is noted for a WriteFailureWatch (support/write_failure.h) with the path.
bool WriteWholeFile(const std::string& path, const std::string& content);

// The same atomic replacement for callers that produce the bytes themselves: `write`
// gets the temporary path and returns whether it wrote it completely, leaving errno set
// when it did not.
template <typename Writer>
bool ReplaceFileAtomically(const std::string& path, Writer&& write);

// Implementation detail of ReplaceFileAtomically, usable directly.
std::string MakeTemporaryPathBeside(const std::string& path);
bool CommitTemporaryFile(const std::string& temporary, const std::string& path);

template <typename Writer>
bool ReplaceFileAtomically(const std::string& path, Writer&& write)
{
    const std::string temporary = MakeTemporaryPathBeside(path);
    if (temporary.empty())
        return false;
    errno = 0;
    if (!write(temporary)) {
        NoteWriteFailure(errno, path);
        CommitTemporaryFile(temporary, {});
        return false;
    }
    return CommitTemporaryFile(temporary, path);
}
