#include "tools/tolvard/cropper.h"

#include <QImage>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"
#include "support/json_build.h"
#include "support/write_failure.h"
#include "tools/tolvard/crop.h"
#include "tools/tolvard/png_io.h"

namespace tolvard {
namespace {

// Keys are unsigned 32-bit in the request; JsonGetInt would clamp the upper half.
bool IsSafeKind(const std::string& kind)
{
    return !kind.empty() && kind != "." && kind != ".." && kind.find('/') == std::string::npos &&
           kind.find('\0') == std::string::npos;
}

std::string Format(const char* format, const std::string& folder, std::uint32_t key, const std::string& part)
{
    const int length = std::snprintf(nullptr, 0, format, folder.c_str(), key, part.c_str());
    std::string out(static_cast<std::size_t>(length), '\0');
    std::snprintf(out.data(), out.size() + 1, format, folder.c_str(), key, part.c_str());
    return out;
}

// Exported page images, as the editor names them.
std::string PartImagePath(const std::string& folder, std::uint32_t key, const std::string& part)
{
    return Format("%s/%u-print-%s001.png", folder, key, part);
}

std::string PrintDocumentImagePath(const std::string& folder, std::uint32_t key, const std::string& name)
{
    return Format("%s/%u-%s001.png", folder, key, name);
}

std::string CroppedImagePath(const std::string& folder, std::uint32_t key, const std::string& part)
{
    return Format("%s/%u-print-%s.png", folder, key, part);
}

bool WritePng(const QImage& image, const std::string& path)
{
    return ReplaceFileAtomically(path, [&](const std::string& temporary) {
        return WritePngFile(image, temporary);
    });
}

// Either heights or zeros; the part is absent from the folder when not found.
PartHeights MeasurePart(const std::string& folder, std::uint32_t key, const std::string& part)
{
    if (folder.empty())
        return {};
    return CropPartImage(PartImagePath(folder, key, part), CroppedImagePath(folder, key, part));
}

// Every part is read, cropped and written on its own, so two go at a time: a save waits
// for the cropper, and each full page takes tens of milliseconds.
void RunOnBothCores(const std::vector<std::function<void()>>& jobs)
{
    std::atomic<std::size_t> next{0};
    std::mutex failedLock;
    std::exception_ptr failed;
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                jobs[i]();
            } catch (...) {
                // Handed to the caller as if the parts had run one after another.
                const std::lock_guard<std::mutex> hold(failedLock);
                if (!failed)
                    failed = std::current_exception();
            }
        }
    };
    std::thread helper;
    if (jobs.size() > 1 && std::thread::hardware_concurrency() != 1) {
        try {
            helper = std::thread(work);
        } catch (const std::system_error&) {
            // No second thread to be had: this one does every part.
        }
    }
    work();
    if (helper.joinable())
        helper.join();
    if (failed)
        std::rethrow_exception(failed);
}

} // namespace

std::optional<CropRequest> ParseCropRequest(const std::string& text)
{
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object)
        return std::nullopt;
    const JsonObject object = JsonObjectOf(root.get());
    CropRequest request;
    request.schoolKey = JsonGetUInt(object, "school_key");
    request.userKey = JsonGetUInt(object, "user_key");
    request.examKey = JsonGetUInt(object, "exam_key");
    request.examLocal = JsonGetText(object, "exam_local");
    request.examtextKey = JsonGetUInt(object, "examtext_key");
    request.examtextLocal = JsonGetText(object, "examtext_local");
    request.examType = JsonGetText(object, "exam_type");
    request.examStage = JsonGetText(object, "exam_stage");
    request.examtextStage = JsonGetText(object, "examtext_stage");
    return request;
}

PartHeights CropPartImage(const std::string& source, const std::string& target)
{
    const QImage page = ReadPng(source);
    if (page.isNull() || page.width() <= 0)
        return {};

    QRect content;
    const QImage cropped = CropToContent(page, kPadding, &content);
    if (!target.empty() && !cropped.isNull())
        WritePng(cropped, target);

    PartHeights heights;
    heights.found = true;
    if (content.isNull())
        return heights;   // a blank page prints nothing
    heights.printHeight = cropped.height();
    heights.previewHeight = static_cast<int>(std::lround(static_cast<double>(heights.printHeight) * kPreviewWidth /
                                                         static_cast<double>(page.width())));
    return heights;
}

std::string QuestionFolder(const std::string& workspace, const std::string& kind, std::uint32_t key)
{
    if (!IsSafeKind(kind))
        return {};
    if (kind == "local_exam")
        return workspace + "/" + kind + "/ek-" + std::to_string(key);
    return workspace + "/" + kind + "/" + QuestionFolderPath(static_cast<std::int32_t>(key));
}

std::string PassageFolder(const std::string& workspace, const std::string& kind, std::uint32_t key)
{
    // Every passage outside the local store lives under "examtext", whatever its kind says.
    if (kind == "local_examtext")
        return workspace + "/" + kind + "/etk-" + std::to_string(key);
    return workspace + "/examtext/" + PassageFolderPath(static_cast<std::int32_t>(key));
}

std::string StagedFolder(const std::string& folder, const std::string& stage)
{
    if (stage.empty() || folder.empty())
        return folder;
    const auto slash = folder.rfind('/');
    const std::string name = folder.substr(slash + 1);
    if (slash == std::string::npos || stage.find('/') != std::string::npos || stage.find('\0') != std::string::npos ||
        !stage.starts_with("." + name + ".saving-") || stage.size() == name.size() + 9)
        return {};
    return folder.substr(0, slash + 1) + stage;
}

std::string CropAndMeasure(const CropRequest& request, const std::string& workspace)
{
    PartHeights text, print, exam, options, answerPart, explain;
    std::vector<std::function<void()>> parts;
    // The editor reads the passage key as signed and requires it above 0.
    const std::string passageFolder =
        static_cast<std::int32_t>(request.examtextKey) > 0
            ? StagedFolder(PassageFolder(workspace, request.examtextLocal, request.examtextKey), request.examtextStage)
            : std::string();
    if (!passageFolder.empty())
        parts.emplace_back([&] { text = MeasurePart(passageFolder, request.examtextKey, "text"); });

    const std::string& type = request.examType;
    const bool question = type == "obj" || type == "sbj" || type == "des";
    const bool objective = type == "obj";
    const std::string folder =
        question ? StagedFolder(QuestionFolder(workspace, request.examLocal, request.examKey), request.examStage)
                 : std::string();
    if (!folder.empty()) {
        const std::uint32_t key = request.examKey;
        parts.emplace_back([&, key] { print = CropPartImage(PrintDocumentImagePath(folder, key, "examprint-" + type), {}); });
        parts.emplace_back([&, key] { exam = MeasurePart(folder, key, type + "-exam"); });
        if (objective)
            parts.emplace_back([&, key] { options = MeasurePart(folder, key, "obj-objective"); });
        parts.emplace_back([&, key] { answerPart = MeasurePart(folder, key, type + "-answer"); });
        parts.emplace_back([&, key] { explain = MeasurePart(folder, key, type + "-explain"); });
    }
    const WriteFailureWatch failures;
    RunOnBothCores(parts);

    std::string answer;
    JsonAppendInt(answer, "textprint_height", text.printHeight);
    JsonAppendInt(answer, "textpreview_height", text.previewHeight);
    JsonAppendText(answer, "exam_type", type);
    if (const auto failure = failures.First()) {
        JsonAppendInt(answer, "write_error", failure->error);
        JsonAppendText(answer, "write_file", failure->path);
    }
    if (!question)
        return answer;

    JsonAppendInt(answer, "examprint_height", print.printHeight);
    JsonAppendInt(answer, "exampreview_height", print.previewHeight);
    JsonAppendInt(answer, "examcard_height", exam.previewHeight + options.previewHeight);
    JsonAppendInt(answer, "exam_print_height", exam.printHeight);
    JsonAppendInt(answer, "exam_preview_height", exam.previewHeight);
    if (objective) {
        JsonAppendInt(answer, "obj_print_height", options.printHeight);
        JsonAppendInt(answer, "obj_preview_height", options.previewHeight);
    }
    JsonAppendInt(answer, "answer_print_height", answerPart.printHeight);
    JsonAppendInt(answer, "answer_preview_height", answerPart.previewHeight);
    JsonAppendInt(answer, "explain_print_height", explain.printHeight);
    JsonAppendInt(answer, "explain_preview_height", explain.previewHeight);
    return answer;
}

std::string HandleCropRequest(const std::string& requestText)
{
    const auto request = ParseCropRequest(requestText);
    if (!request)
        return {};
    const std::string workspace =
        GetDataFolder() + "/" + std::to_string(request->schoolKey) + "/" + std::to_string(request->userKey);
    return CropAndMeasure(*request, workspace);
}

} // namespace tolvard
