// A saved question as the exporters read it: its .dat record and the part documents
// beside it, and its passage from the folder the record names. Everything is read and
// checked before anything is written, so a missing or damaged part stops the export with
// the file named (ExportError) and nothing half made.
//
// Reading never changes the workspace: unlike opening a question in the dialog, no
// archive is unpacked; the documents must lie in the folders as a save leaves them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/editor_document.h"

namespace item_export {

enum class PartSet { Objective, Subjective, Descriptive };

// "obj", "sbj", "des": the prefix of the part documents' names.
const char* PartSetWord(PartSet set);

struct PassageDocument {
    std::uint32_t key = 0;
    std::string folder;
    std::unique_ptr<editor::EditorDocument> text;   // text.hwp
};

struct QuestionParts {
    PartSet set = PartSet::Objective;
    std::unique_ptr<editor::EditorDocument> question;
    std::unique_ptr<editor::EditorDocument> options;   // objective only
    std::unique_ptr<editor::EditorDocument> answer;
    std::unique_ptr<editor::EditorDocument> explanation;
    std::string optionsPath;   // for messages about the options
};

struct SavedQuestion {
    std::string datPath;
    std::uint32_t key = 0;
    std::string name;
    std::string difficulty;   // "d1".."d4"
    std::string level;        // "elem", "mid", "high" or empty
    std::optional<std::int32_t> scoreTenths;
    std::vector<int> objectiveAnswers;   // ascending option numbers
    std::shared_ptr<const PassageDocument> passage;   // shared by questions on the same passage
    std::vector<QuestionParts> parts;    // the part sets the question has, default first

    double Points() const { return scoreTenths ? *scoreTenths / 10.0 : 1.0; }
};

// Reads several questions; passages the questions share are read once. Raises
// ExportError for the first file that is missing, unreadable or not what it should be.
std::vector<SavedQuestion> ReadSavedQuestions(const std::vector<std::string>& datPaths);

}  // namespace item_export
