#include "store/archive.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zip.h>

#include "support/files.h"
#include "support/write_failure.h"

namespace {

// Both directions copy through buffers of this size.
constexpr std::size_t kBufferSize = 65536;
constexpr zip_uint32_t kDeflateLevel = 6;

const char* ReasonText(ArchiveFault fault)
{
    switch (fault) {
    case ArchiveFault::NotZip: return "ZIP 압축 파일이 아닙니다.";
    case ArchiveFault::Damaged: return "압축 파일이 손상되었습니다.";
    case ArchiveFault::Crc: return "압축 파일의 내용이 손상되었습니다. (CRC 불일치)";
    case ArchiveFault::Unsupported: return "지원하지 않는 압축 파일입니다. (암호, 분할 압축 또는 알 수 없는 압축 방식)";
    case ArchiveFault::Read: return "파일을 읽을 수 없습니다.";
    case ArchiveFault::Write: return "파일을 쓸 수 없습니다.";
    case ArchiveFault::DiskFull: return "디스크 공간이 부족하여 파일을 쓸 수 없습니다.";
    case ArchiveFault::UnsafeName: return "압축 파일의 항목이 대상 폴더 밖을 가리킵니다.";
    case ArchiveFault::Symlink: return "압축 파일에 심볼릭 링크 항목이 있어 풀 수 없습니다.";
    case ArchiveFault::TooLarge: return "압축 파일의 항목이 선언된 크기보다 크게 풀립니다.";
    case ArchiveFault::Memory: return "메모리가 부족합니다.";
    }
    return "압축 파일을 처리할 수 없습니다.";
}

std::string MessageOf(ArchiveFault fault, const std::string& path, const std::string& entry)
{
    std::string message = ReasonText(fault);
    if (!entry.empty())
        message += "\n항목: " + entry;
    message += "\n파일: " + path;
    return message;
}

ArchiveFault FaultOfErrno(int error)
{
    return error == ENOSPC || error == EDQUOT ? ArchiveFault::DiskFull : ArchiveFault::Write;
}

ArchiveFault FaultOfCode(int zipCode, int systemCode)
{
    switch (zipCode) {
    case ZIP_ER_NOZIP: return ArchiveFault::NotZip;
    case ZIP_ER_CRC: return ArchiveFault::Crc;
    case ZIP_ER_MULTIDISK:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD: return ArchiveFault::Unsupported;
    case ZIP_ER_READ:
    case ZIP_ER_OPEN:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
    case ZIP_ER_NOENT: return ArchiveFault::Read;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE:
    case ZIP_ER_RENAME:
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_REMOVE: return FaultOfErrno(systemCode);
    case ZIP_ER_MEMORY: return ArchiveFault::Memory;
    default: return ArchiveFault::Damaged;
    }
}

ArchiveFault FaultOf(zip_error_t* error)
{
    return FaultOfCode(zip_error_code_zip(error), zip_error_code_system(error));
}

// Removes a temporary file unless it was committed.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_strPath(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_strPath.empty())
            unlink(m_strPath.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return m_strPath; }
    // CommitTemporaryFile removes the temporary itself when it fails.
    bool CommitTo(const std::string& target)
    {
        const std::string temporary = std::exchange(m_strPath, {});
        return CommitTemporaryFile(temporary, target);
    }

private:
    std::string m_strPath;
};

struct ArchiveDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveDiscard>;

struct EntryClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryClose>;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return m_fd; }
    // The result of close(), which is where some file systems report a full disk.
    bool Close() { return close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A file whose source libzip reads when the archive is closed; the stream is opened
// now, so a missing or unreadable file fails the add and not the whole archive.
bool AddFile(zip_t* archive, const std::string& file, const std::string& name,
             std::vector<std::unique_ptr<char[]>>& buffers)
{
    FILE* stream = std::fopen(file.c_str(), "rbe");
    if (!stream)
        return false;
    struct stat st {};
    if (fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(stream);
        return false;
    }
    buffers.push_back(std::make_unique<char[]>(kBufferSize));
    setvbuf(stream, buffers.back().get(), _IOFBF, kBufferSize);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_filep_create(stream, 0, -1, &error);
    zip_error_fini(&error);
    if (!source) {
        std::fclose(stream);
        return false;
    }
    const zip_int64_t index =
        zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_GUESS | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    // zlib's default level, 6. libzip's own default (flags 0) would be 9.
    return zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, kDeflateLevel) == 0;
}

// The end record of an archive without entries; libzip would rather delete the file.
void WriteEmptyArchive(const std::string& temporary, const std::string& path)
{
    static const char kEndRecord[22] = {'P', 'K', 5, 6};
    Descriptor fd(open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.Get() < 0 || !WriteAll(fd.Get(), kEndRecord, sizeof kEndRecord) || !fd.Close()) {
        NoteWriteFailure(errno, path);
        throw ArchiveError(FaultOfErrno(errno), path);
    }
}

// One entry's way out of the archive, settled before anything is written.
struct EntryPlan {
    zip_uint64_t index = 0;
    std::string name;                   // as stored
    std::vector<std::string> parts;     // folder components below the target folder, then the file
    bool directory = false;
    zip_uint64_t size = 0;              // declared uncompressed size
};

// Archives written on Windows may separate with '\\'; ".." is refused in either form.
bool ClimbsOut(const std::string& part)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = part.find('\\', start);
        if (part.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

std::vector<std::string> SplitName(const std::string& name, const std::string& path)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\'
        || (name.size() >= 2 && name[1] == ':'))
        throw ArchiveError(ArchiveFault::UnsafeName, path, name);
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (ClimbsOut(part))
            throw ArchiveError(ArchiveFault::UnsafeName, path, name);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
    };
    for (char c : name) {
        if (c == '/')
            flush();
        else
            part += c;
    }
    flush();
    return parts;
}

bool IsRealDirectory(const std::string& path, bool& missing)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        missing = errno == ENOENT;
        return false;
    }
    missing = false;
    return S_ISDIR(st.st_mode);
}

// Refuses a way that passes through a symbolic link already in the folder: following it
// could write outside.
void CheckExistingWay(const std::string& folder, const EntryPlan& plan, const std::string& path)
{
    std::string current = folder;
    const std::size_t folders = plan.directory ? plan.parts.size() : plan.parts.size() - 1;
    for (std::size_t i = 0; i < folders; ++i) {
        current += "/" + plan.parts[i];
        bool missing = false;
        if (IsRealDirectory(current, missing))
            continue;
        if (missing)
            return;
        struct stat st {};
        const bool link = lstat(current.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        throw ArchiveError(link ? ArchiveFault::UnsafeName : ArchiveFault::Write, path, plan.name);
    }
}

std::vector<EntryPlan> PlanEntries(zip_t* archive, zip_int64_t count, const std::string& folder,
                                   const std::string& path)
{
    std::vector<EntryPlan> plans;
    for (zip_int64_t i = 0; i < count; ++i) {
        EntryPlan plan;
        plan.index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, plan.index, ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            throw ArchiveError(FaultOf(zip_get_error(archive)), path);
        plan.name = st.name;
        plan.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive, plan.index, 0, &system, &attributes) == 0
            && system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK)
            throw ArchiveError(ArchiveFault::Symlink, path, plan.name);
        plan.parts = SplitName(plan.name, path);
        plan.directory = plan.name.back() == '/';
        if (plan.parts.empty() && !plan.directory)
            throw ArchiveError(ArchiveFault::UnsafeName, path, plan.name);
        CheckExistingWay(folder, plan, path);
        plans.push_back(std::move(plan));
    }
    return plans;
}

void MakeFolders(const std::string& folder, const EntryPlan& plan, std::size_t count, const std::string& path)
{
    std::string current = folder;
    for (std::size_t i = 0; i < count; ++i) {
        current += "/" + plan.parts[i];
        bool missing = false;
        if (IsRealDirectory(current, missing))
            continue;
        if (!missing || (mkdir(current.c_str(), 0777) != 0 && errno != EEXIST) || !IsRealDirectory(current, missing))
            throw ArchiveError(missing ? FaultOfErrno(errno) : ArchiveFault::Write, path, plan.name);
    }
}

void ExtractFile(zip_t* archive, const EntryPlan& plan, const std::string& folder, const std::string& path)
{
    MakeFolders(folder, plan, plan.parts.size() - 1, path);
    std::string target = folder;
    for (const std::string& part : plan.parts)
        target += "/" + part;

    TemporaryFile temporary(MakeTemporaryPathBeside(target));
    if (temporary.Path().empty())
        throw ArchiveError(FaultOfErrno(errno), path, plan.name);
    EntryPtr entry(zip_fopen_index(archive, plan.index, 0));
    if (!entry)
        throw ArchiveError(FaultOf(zip_get_error(archive)), path, plan.name);
    Descriptor fd(open(temporary.Path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.Get() < 0)
        throw ArchiveError(FaultOfErrno(errno), path, plan.name);

    std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kBufferSize);
    zip_uint64_t total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer.get(), kBufferSize);
        if (n < 0)
            throw ArchiveError(FaultOf(zip_file_get_error(entry.get())), path, plan.name);
        if (n == 0)
            break;
        total += static_cast<zip_uint64_t>(n);
        // An entry that inflates past what it declared is a bomb or damage: stop here.
        if (total > plan.size)
            throw ArchiveError(ArchiveFault::TooLarge, path, plan.name);
        if (!WriteAll(fd.Get(), buffer.get(), static_cast<std::size_t>(n)))
            throw ArchiveError(FaultOfErrno(errno), path, plan.name);
    }
    if (total != plan.size)
        throw ArchiveError(ArchiveFault::Damaged, path, plan.name);
    if (!fd.Close())
        throw ArchiveError(FaultOfErrno(errno), path, plan.name);
    const int closed = zip_fclose(entry.release());
    if (closed != 0)
        throw ArchiveError(FaultOfCode(closed, 0), path, plan.name);
    if (!temporary.CommitTo(target))
        throw ArchiveError(FaultOfErrno(errno), path, plan.name);
}

} // namespace

ArchiveError::ArchiveError(ArchiveFault fault, std::string path, std::string entry)
    : std::runtime_error(MessageOf(fault, path, entry)), m_fault(fault), m_strPath(std::move(path)),
      m_strEntry(std::move(entry))
{
}

std::string ArchiveError::Reason() const
{
    return ReasonText(m_fault);
}

bool PackArchive(std::int32_t key, const std::vector<std::string>& names, const std::string& kind,
                 const std::string& folder)
{
    const std::string path = folder + "/" + std::to_string(key) + "-" + kind + ".zip";
    // Written beside the old archive and renamed over it, so a failure keeps the old one.
    TemporaryFile temporary(MakeTemporaryPathBeside(path));
    if (temporary.Path().empty())
        throw ArchiveError(FaultOfErrno(errno), path);

    // The streams' buffers must outlive the archive, which closes the streams; so they
    // are declared first and released last.
    std::vector<std::unique_ptr<char[]>> buffers;
    int code = 0;
    ArchivePtr archive(zip_open(temporary.Path().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        NoteWriteFailure(errno, path);
        throw ArchiveError(FaultOfCode(code, errno), path);
    }

    bool result = true;
    std::size_t added = 0;
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        const std::string file = folder + "/" + name;
        if (!PathExists(file))
            continue;
        if (!AddFile(archive.get(), file, name, buffers)) {
            // The archive would go without a member its folder holds.
            NoteWriteFailure(errno, file);
            result = false;
            break;
        }
        ++added;
    }

    if (added == 0) {
        archive.reset();
        WriteEmptyArchive(temporary.Path(), path);
    } else {
        if (zip_close(archive.get()) != 0) {
            zip_error_t* error = zip_get_error(archive.get());
            NoteWriteFailure(zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : EIO, path);
            throw ArchiveError(FaultOf(zip_get_error(archive.get())), path);
        }
        archive.release();
    }
    if (!temporary.CommitTo(path))
        throw ArchiveError(FaultOfErrno(errno), path);
    return result;
}

bool UnpackArchive(const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name;
    if (!PathExists(path))
        return false;

    int code = 0;
    errno = 0;
    ArchivePtr archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!archive)
        throw ArchiveError(FaultOfCode(code, errno), path);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count <= 0)
        return false;

    // Every name is judged before the first file is written.
    const std::vector<EntryPlan> plans = PlanEntries(archive.get(), count, folder, path);
    for (const EntryPlan& plan : plans) {
        if (plan.directory)
            MakeFolders(folder, plan, plan.parts.size(), path);
        else
            ExtractFile(archive.get(), plan, folder, path);
    }
    return true;
}
