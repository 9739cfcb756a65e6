// Question package archives: the ZIP files "<key>-<kind>.zip" that lie beside a
// question's or a passage's files ("exam", "text", "print").
//
// PackArchive writes one from a list of bare file names of the folder; UnpackArchive
// restores the entries of one into its folder. Whatever goes wrong inside the ZIP
// layer (not a ZIP file, a damaged archive, a CRC mismatch, a full disk, an entry that
// would land outside the folder) is raised as ArchiveError, the one failure type of
// this layer; its message is Korean text meant for the user.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

enum class ArchiveFault {
    NotZip,       // the file is not a ZIP archive
    Damaged,      // inconsistent headers, bad compressed data, truncation
    Crc,          // an entry's data does not match its checksum
    Unsupported,  // encryption, multi-volume or an unknown compression method
    Read,         // a file could not be read
    Write,        // a file could not be written
    DiskFull,     // a write failed for lack of space
    UnsafeName,   // an entry named absolutely or climbing out of the folder
    Symlink,      // an entry that is a symbolic link
    TooLarge,     // an entry inflates past its declared size
    Memory,
};

class ArchiveError : public std::runtime_error {
public:
    // `entry` names the entry concerned, when there is one.
    ArchiveError(ArchiveFault fault, std::string path, std::string entry = {});

    ArchiveFault Fault() const { return m_fault; }
    const std::string& Path() const { return m_strPath; }
    const std::string& Entry() const { return m_strEntry; }
    // The reason alone, without the path.
    std::string Reason() const;

private:
    ArchiveFault m_fault;
    std::string m_strPath;
    std::string m_strEntry;
};

// Writes "<folder>/<key>-<kind>.zip" (key signed) with one deflated entry per listed
// name whose file exists in the folder, in list order; empty names are skipped. The
// archive replaces the old one in one instant, and an archive is written even when no
// entry goes in. False when a listed file could not be added: the entries added before
// it are kept. Raises ArchiveError when the archive itself cannot be written.
bool PackArchive(std::int32_t key, const std::vector<std::string>& names, const std::string& kind,
                 const std::string& folder);

// Extracts every entry of "<folder>/<name>" into the folder, creating sub-folders and
// replacing files of the same names. False when the archive is missing or holds no
// entries; true when every entry was extracted. Raises ArchiveError for a damaged or
// hostile archive; names are checked before anything is written, and each file is
// replaced only once its data has been read and verified.
bool UnpackArchive(const std::string& folder, const std::string& name);
