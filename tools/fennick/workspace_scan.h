// What the passage picker offers: the passages and questions that the workspace of one
// school and user holds, found by the store's folder rules, and the answer that
// choosing one of them sends back to the editor.
//
//   local_examtext/etk-N/text.hwp                local passages
//   examtext/d4-…/d2-…/etk-N/text.hwp            stored passages
//   local_exam/ek-N/N.dat                        local questions
//   <kind>/d6-…/d4-…/d2-…/ek-N/N.dat             stored questions of every other kind
//
// Folders that do not follow the rule for their own number are left out: the editor
// finds an item again only by kind and number.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fennick {

struct PickerRequest {
    std::uint32_t schoolKey = 0;
    std::uint32_t userKey = 0;
    std::string webServer;
};

// Null when the text is not a JSON object.
std::optional<PickerRequest> ParsePickerRequest(const std::string& text);

// "<data>/<school>/<user>".
std::string WorkspaceFor(const std::string& dataFolder, const PickerRequest& request);

enum class ItemKind { LocalPassage, StoredPassage, Question };

struct PickerItem {
    ItemKind kind = ItemKind::LocalPassage;
    std::string storeKind;     // "local_examtext", "examtext", "local_exam", "exam", …
    std::uint32_t key = 0;
    std::string folder;
    std::string document;      // text.hwp of a passage; the question document of its first type
    std::string imagePath;     // a first-page image, empty when there is none
    std::string firstLine;     // empty when the document has no text or cannot be read
    std::string examName;      // questions only
    std::time_t modified = 0;  // of text.hwp or N.dat
    std::string recordText;    // questions only: the .dat text
};

bool IsPassage(const PickerItem& item);

// Reads the first line of text of an HWP document; empty when it has none or cannot be
// read. Injected so that the scan does not depend on the document reader.
using FirstLineReader = std::function<std::string(const std::string& hwpPath)>;

// Every item of the workspace, newest first (ties: higher number first). Questions
// whose .dat is not a JSON object are left out.
std::vector<PickerItem> ScanWorkspace(const std::string& workspace, const FirstLineReader& readFirstLine = {});

// The answer for the editor; empty when the item's record cannot be handed over within
// `limit` bytes (the answer area of the channel, terminator included).
std::string AnswerFor(const PickerItem& item, std::size_t limit = 2048);

// Whether every word of `query` (blank-separated, case-insensitive for ASCII) occurs in
// the item's number, kind, name or first line. An empty query matches everything.
bool MatchesSearch(const PickerItem& item, const std::string& query);

// The first line of a text that is not blank: up to its line break, blanks trimmed, cut at
// `maxChars` UTF-8 characters.
std::string FirstLineOf(const std::string& text, std::size_t maxChars = 80);

} // namespace fennick
