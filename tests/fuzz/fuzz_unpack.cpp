// Feeds arbitrary bytes to UnpackArchive as an archive file. Anything but ArchiveError
// escaping, a crash, or a file landing outside the target folder is a finding.
// Inputs starting with 'E' are read as entries instead (name NUL data NUL ...) and
// packed into a well-formed archive first, so entry names reach the path checks.
// Seeds: python3 tests/fuzz/fuzz_unpack_corpus.py <dir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>
#include <algorithm>

#include <zip.h>

#include "store/archive.h"

namespace {

namespace fs = std::filesystem;

// <scratch>/jail/ek-1 is the target; nothing may appear in jail besides ek-1, nor in
// <scratch> besides jail.
const fs::path& Jail()
{
    static const fs::path jail = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "varnel-fuzz-unpack-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return fs::path(pattern) / "jail";
    }();
    return jail;
}

// Builds an archive from "name\0data\0name\0data..." with libzip; false when libzip
// refuses (a duplicate name, say).
bool WriteEntries(const fs::path& archive, std::string_view input)
{
    int code = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        pieces.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
        zip_source_t* source = zip_source_buffer(z, pieces[i + 1].data(), pieces[i + 1].size(), 0);
        if (!source || zip_file_add(z, pieces[i].c_str(), source, ZIP_FL_ENC_RAW) < 0) {
            zip_source_free(source);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path folder = Jail() / "ek-1";
    std::error_code ignored;
    fs::remove_all(Jail(), ignored);
    fs::create_directories(folder);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input.front() == 'E') {
        if (!WriteEntries(folder / "1-exam.zip", input.substr(1)))
            return 0;
    } else {
        std::ofstream out(folder / "1-exam.zip", std::ios::binary);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    try {
        (void)UnpackArchive(folder.string(), "1-exam.zip");
    } catch (const ArchiveError&) {
    }
    for (const auto& entry : fs::directory_iterator(Jail())) {
        if (entry.path().filename() != "ek-1")
            std::abort();
    }
    for (const auto& entry : fs::directory_iterator(Jail().parent_path())) {
        if (entry.path().filename() != "jail")
            std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_symlink())
            std::abort();
    }
    return 0;
}
