// The local store: questions and passages written from scratch, one folder each below
// the workspace, "local_exam/ek-<n>" and "local_examtext/etk-<n>". A number is taken
// once its folder holds the question's "<n>.dat" or the passage's "text.hwp"; folders
// of abandoned questions stay and their numbers are handed out again.
#pragma once

#include <cstdint>
#include <string>

std::string LocalQuestionFolder(const std::string& workspace, std::uint32_t number);
std::string LocalPassageFolder(const std::string& workspace, std::uint32_t number);

// One more than the highest taken number; 1 for an empty or missing store.
std::uint32_t NextQuestionNumber(const std::string& workspace);
std::uint32_t NextPassageNumber(const std::string& workspace);

// The same in the current workspace (GetWorkspaceFolder, which creates it).
std::uint32_t NextQuestionNumber();
std::uint32_t NextPassageNumber();
