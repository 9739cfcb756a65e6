// Saved questions leave as standard items: a QTI 3.0 content package (one assessment
// item per part set, one shared stimulus per passage, the pictures and a stylesheet, and
// the manifest listing every file with its dependencies) or a Moodle XML quiz file (the
// passage inside each question's text, pictures as base64 files).
//
// Both read everything first (saved_question.h) and write the target in one instant
// (a temporary name beside it, renamed): an ExportError leaves no file behind.
#pragma once

#include <string>
#include <vector>

#include "export/saved_question.h"

namespace item_export {

struct PackageFile {
    std::string name;    // path inside the package: "items/q12-obj.xml"
    std::string bytes;
};

// The package's files, manifest first.
std::vector<PackageFile> BuildQtiPackage(const std::vector<SavedQuestion>& questions);
std::string BuildMoodleQuiz(const std::vector<SavedQuestion>& questions);

// Read, build and write; ExportError names the file at fault (a part, or the target).
void ExportQti(const std::vector<std::string>& datPaths, const std::string& zipPath);
void ExportMoodle(const std::vector<std::string>& datPaths, const std::string& xmlPath);

}  // namespace item_export
