// The image cropper's work for one request: find the page images that the editor
// exported for the question's current type, its print document and its passage, crop
// each to its content, leave the cropped print images beside them and measure the
// heights that the answer carries. README.md defines the heights.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tolvard {

// White kept around the content, in pixels of the 300-dpi page image (about 1 mm).
inline constexpr int kPadding = 12;
// The preview shows the full page width in this many pixels.
inline constexpr int kPreviewWidth = 800;

struct CropRequest {
    std::uint32_t schoolKey = 0;
    std::uint32_t userKey = 0;
    std::uint32_t examKey = 0;
    std::string examLocal;
    std::uint32_t examtextKey = 0;
    std::string examtextLocal;
    std::string examType;   // "obj", "sbj", "des" or anything else
    // During a save the editor writes into staged copies beside the item folders
    // (".ek-12.saving-…"); these name them. Empty: the item folders themselves.
    std::string examStage;
    std::string examtextStage;
};

// Null when the text is not a JSON object.
std::optional<CropRequest> ParseCropRequest(const std::string& text);

struct PartHeights {
    bool found = false;     // the exported image was there and readable
    int printHeight = 0;
    int previewHeight = 0;
};

// Crops the page image at `source` and measures it. With a non-empty `target` the
// cropped image is written there as PNG (replacing an older one in one step). A
// missing or unreadable source gives zero heights and writes nothing.
PartHeights CropPartImage(const std::string& source, const std::string& target);

// The item folders below the workspace by the store rules; empty when the store kind
// could leave the workspace (empty, a separator, "." or "..").
std::string QuestionFolder(const std::string& workspace, const std::string& kind, std::uint32_t key);
std::string PassageFolder(const std::string& workspace, const std::string& kind, std::uint32_t key);

// The staged copy `stage` beside `folder` when it is one of that folder (".<name>.saving-…",
// one plain name); `folder` itself when `stage` is empty; empty for anything else.
std::string StagedFolder(const std::string& folder, const std::string& stage);

// Does the whole job for a parsed request in the given workspace and returns the
// answer text. A cropped image that could not be written is named in the answer
// ("write_error": the error number, "write_file": the file), so the save does not pass
// for complete.
std::string CropAndMeasure(const CropRequest& request, const std::string& workspace);

// The request text as read from the channel to the answer text. A request that is not
// a JSON object gets the empty answer, which the editor takes as no heights at all.
std::string HandleCropRequest(const std::string& requestText);

} // namespace tolvard
