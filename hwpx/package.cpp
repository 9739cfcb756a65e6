#include "hwpx/package.h"

#include <zip.h>

#include <memory>

#include "hwp/error.h"

namespace hwpx {
namespace {

constexpr std::string_view kMimeType = "application/hwp+zip";

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

[[noreturn]] void Fail(const std::string& message)
{
    throw hwp::HwpError(message);
}

Archive OpenArchive(std::string_view bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        Fail("not an HWPX package: the bytes cannot be read as a ZIP archive");
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) {
        zip_source_free(source);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        Fail("not an HWPX package: not a ZIP archive (" + why + ")");
    }
    zip_error_fini(&error);
    return Archive(archive);
}

void CheckName(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos ||
        name.find('\0') != std::string::npos || name.find(':') != std::string::npos)
        Fail("damaged HWPX package: the entry name \"" + name + "\" is not a package part name");
    std::size_t from = 0;
    while (from <= name.size()) {
        const std::size_t slash = std::min(name.find('/', from), name.size());
        if (name.compare(from, slash - from, "..") == 0 && slash - from == 2)
            Fail("damaged HWPX package: the entry name \"" + name + "\" climbs out of the package");
        from = slash + 1;
    }
}

// Reads at most kMaxEntryBytes + 1 whatever the entry declares, so a lying size in the
// directory claims nothing.
std::string ReadEntry(zip_t* archive, zip_uint64_t index, const std::string& name, std::size_t budget)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        Fail("damaged HWPX package: the entry " + name + " cannot be read");
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        Fail("the HWPX package is encrypted (entry " + name + "); it cannot be opened");
    const std::size_t limit = std::min(kMaxEntryBytes, budget);
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > limit)
        Fail("damaged HWPX package: the entry " + name + " declares " + std::to_string(stat.size >> 20) +
             " MB, more than a document part may hold");
    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file)
        Fail("damaged HWPX package: the entry " + name + " cannot be opened (" + zip_strerror(archive) + ")");
    std::string out;
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
        if (got < 0)
            Fail("damaged HWPX package: the entry " + name + " cannot be unpacked (" +
                 zip_file_strerror(file.get()) + ")");
        if (got == 0)
            break;
        if (out.size() + static_cast<std::size_t>(got) > limit)
            Fail("damaged HWPX package: the entry " + name + " unpacks to more than a document part may hold");
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

}  // namespace

const std::string* Package::Find(const std::string& name) const
{
    const auto found = parts.find(name);
    return found == parts.end() ? nullptr : &found->second;
}

const std::string& Package::Require(const std::string& name) const
{
    const std::string* part = Find(name);
    if (part == nullptr)
        Fail("not a complete HWPX document: the part " + name + " is missing");
    return *part;
}

bool LooksLikeHwpx(std::string_view bytes)
{
    if (bytes.size() < 4 || bytes.substr(0, 4) != std::string_view("PK\x03\x04", 4))
        return false;
    try {
        const Archive archive = OpenArchive(bytes);
        const zip_int64_t index = zip_name_locate(archive.get(), "mimetype", 0);
        if (index < 0)
            return false;
        const std::string mime = ReadEntry(archive.get(), static_cast<zip_uint64_t>(index), "mimetype", 256);
        return mime.starts_with(kMimeType);
    } catch (const hwp::HwpError&) {
        return false;
    }
}

Package ReadPackage(std::string_view bytes)
{
    const Archive archive = OpenArchive(bytes);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxPackageEntries)
        Fail("damaged HWPX package: it holds more than " + std::to_string(kMaxPackageEntries) + " entries");
    Package package;
    std::size_t budget = kMaxPackageBytes;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (raw == nullptr)
            Fail("damaged HWPX package: entry " + std::to_string(i + 1) + " has no name");
        const std::string name = raw;
        CheckName(name);
        if (name.back() == '/')
            continue;   // a folder
        std::string data = ReadEntry(archive.get(), static_cast<zip_uint64_t>(i), name, budget);
        budget -= data.size();
        if (!package.parts.emplace(name, std::move(data)).second)
            Fail("damaged HWPX package: the entry " + name + " appears twice");
    }
    if (const std::string* mime = package.Find("mimetype"); mime != nullptr && !mime->starts_with(kMimeType))
        Fail("not an HWPX document: the package's mimetype is \"" + mime->substr(0, 64) + "\"");
    return package;
}

std::string WritePackage(const std::vector<std::pair<std::string, std::string>>& parts)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = target == nullptr ? nullptr : zip_open_from_source(target, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (target != nullptr)
            zip_source_free(target);
        Fail("cannot make an HWPX package in memory");
    }
    zip_source_keep(target);
    bool ok = true;
    for (const auto& [name, data] : parts) {
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = source == nullptr ? -1 : zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            if (source != nullptr)
                zip_source_free(source);
            ok = false;
            break;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(target);
        Fail("cannot make an HWPX package in memory");
    }
    std::string out;
    zip_stat_t stat;
    if (zip_source_stat(target, &stat) == 0 && zip_source_open(target) == 0) {
        out.resize(static_cast<std::size_t>(stat.size));
        const zip_int64_t got = zip_source_read(target, out.data(), out.size());
        zip_source_close(target);
        if (got < 0 || static_cast<std::size_t>(got) != out.size())
            out.clear();
    }
    zip_source_free(target);
    if (out.empty())
        Fail("cannot make an HWPX package in memory");
    return out;
}

}  // namespace hwpx
