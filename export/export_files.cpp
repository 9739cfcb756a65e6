#include <zip.h>

#include <cerrno>
#include <cstring>

#include "export/export_error.h"
#include "export/item_export.h"
#include "support/files.h"

namespace item_export {
namespace {

[[noreturn]] void CannotWrite(const std::string& path, const std::string& why)
{
    throw ExportError(path, "파일을 쓸 수 없습니다: " + why, "the file cannot be written: " + why);
}

// Writes the zip at `temporary`; false with `why` set when it could not.
bool WriteZip(const std::string& temporary, const std::vector<PackageFile>& files, std::string& why)
{
    int code = 0;
    zip_t* archive = zip_open(temporary.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    for (const PackageFile& file : files) {
        zip_source_t* source = zip_source_buffer(archive, file.bytes.data(), file.bytes.size(), 0);
        const zip_int64_t index = source ? zip_file_add(archive, file.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            why = zip_strerror(archive);
            zip_discard(archive);
            return false;
        }
        // Pictures are compressed already.
        const bool image = file.name.starts_with("images/");
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), image ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(archive) != 0) {
        why = zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return true;
}

std::string Temporary(const std::string& path)
{
    const std::string temporary = MakeTemporaryPathBeside(path);
    if (temporary.empty()) CannotWrite(path, "폴더가 없거나 쓸 수 없습니다 (no such folder or not writable)");
    return temporary;
}

void Commit(const std::string& temporary, const std::string& path)
{
    if (!CommitTemporaryFile(temporary, path)) CannotWrite(path, std::strerror(errno));
}

}  // namespace

void ExportQti(const std::vector<std::string>& datPaths, const std::string& zipPath)
{
    const std::vector<PackageFile> files = BuildQtiPackage(ReadSavedQuestions(datPaths));
    const std::string temporary = Temporary(zipPath);
    std::string why;
    if (!WriteZip(temporary, files, why)) {
        CommitTemporaryFile(temporary, {});
        CannotWrite(zipPath, why);
    }
    Commit(temporary, zipPath);
}

void ExportMoodle(const std::vector<std::string>& datPaths, const std::string& xmlPath)
{
    const std::string quiz = BuildMoodleQuiz(ReadSavedQuestions(datPaths));
    const std::string temporary = Temporary(xmlPath);
    if (!WriteWholeFile(temporary, quiz)) {
        CommitTemporaryFile(temporary, {});
        CannotWrite(xmlPath, std::strerror(errno));
    }
    Commit(temporary, xmlPath);
}

}  // namespace item_export
