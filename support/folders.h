// The install and data folders, the workspace of the current school and user, and the
// rules by which a question's or a passage's number becomes its folder.
//
//   install   <PROGRAMFILES>/korvane/telquin     urk/Fennick, urk/Tolvard, urk/image, urk/hwp_format
//   data      <ROAMING>/korvane/telquin          exam.dat (fallback launch record)
//   workspace <data>/<school key>/<user key>     local_exam/ek-N, exam/d6-…/ek-N, local_examtext/etk-N, examtext/d4-…/etk-N
//
// Nothing is cached: each call asks the environment again.
#pragma once

#include <cstdint>
#include <string>

// "PROGRAMFILES" or "ROAMING"; empty for any other name.
std::string GetKnownFolder(const std::string& name);
std::string GetInstallFolder();
std::string GetDataFolder();
// Created when missing.
std::string GetWorkspaceFolder();

// Creates every missing level, top down. One trailing '/' is ignored. Stops at "/" and
// refuses an empty or relative path. True when the path exists afterwards.
bool EnsureDirectory(const std::string& path);

// "d6-%03d/d4-%02d/d2-%02d/ek-%u" (signed arithmetic, minimum widths).
std::string QuestionFolderPath(std::int32_t n);
// "d4-%02d/d2-%02d/etk-%u".
std::string PassageFolderPath(std::int32_t n);
