// Why a write failed. The writers below a save (documents, page images, records,
// archives, the package's folder switch) answer only true or false; each also notes its
// failure here, with the error number and the file, so that the save can tell the user
// the cause ("디스크 공간이 부족합니다") and the file instead of a vague "could not save".
//
// A WriteFailureWatch collects while it lives; notes made while none is active are
// dropped. Any thread may note (page images are written on a second thread).
#pragma once

#include <optional>
#include <string>

struct WriteFailure {
    int error = 0;     // errno; EIO when the writer could not tell
    std::string path;  // the file (or folder) that could not be written
};

// Keeps the first failure noted while it lives. Watches nest: an inner one sees what is
// noted during its life, and the outer one sees it too.
class WriteFailureWatch {
public:
    WriteFailureWatch();
    ~WriteFailureWatch();
    WriteFailureWatch(const WriteFailureWatch&) = delete;
    WriteFailureWatch& operator=(const WriteFailureWatch&) = delete;

    std::optional<WriteFailure> First() const;

private:
    friend void NoteWriteFailure(int error, const std::string& path);
    WriteFailureWatch* m_outer;
    std::optional<WriteFailure> m_first;
};

void NoteWriteFailure(int error, const std::string& path);

// The cause in the user's words: "디스크 공간이 부족합니다" (ENOSPC, EDQUOT), "쓰기 권한이
// 없습니다" (EACCES, EPERM, EROFS), otherwise a generic sentence with the system's text.
std::string WriteFailureCause(int error);
