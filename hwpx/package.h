// An HWPX package: a ZIP archive of XML parts and binary items, read whole into memory
// from an untrusted source. Entry names are keys here and nothing else: they are never
// joined to a folder or written to.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hwpx {

// What a package may hold: far more than any document needs, little enough that a small
// file cannot claim the machine's memory by declaring (or unpacking to) gigabytes.
constexpr std::size_t kMaxPackageEntries = 10'000;
constexpr std::size_t kMaxEntryBytes = 64u << 20;
constexpr std::size_t kMaxPackageBytes = 256u << 20;

struct Package {
    std::map<std::string, std::string> parts;   // entry name -> its bytes

    const std::string* Find(const std::string& name) const;
    // The part's bytes; throws hwp::HwpError naming it when the package lacks it.
    const std::string& Require(const std::string& name) const;
};

// A ZIP archive whose "mimetype" entry names an HWPX document; from the first bytes and
// the entry, never from a file name.
bool LooksLikeHwpx(std::string_view bytes);

// Throws hwp::HwpError naming the entry when the bytes are not a ZIP archive, an entry
// name is absolute or climbs out of the package (".."), an entry is encrypted, damaged
// or larger than the limits above, or the mimetype says another kind of package.
Package ReadPackage(std::string_view bytes);

// The archive of `parts`, "mimetype" first and stored, the rest deflated.
std::string WritePackage(const std::vector<std::pair<std::string, std::string>>& parts);

}  // namespace hwpx
