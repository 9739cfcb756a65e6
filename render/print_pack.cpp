#include "render/print_pack.h"

#include "store/archive.h"
#include "support/files.h"
#include "support/write_failure.h"

#include <cerrno>
#include <cstdio>

namespace {

std::int32_t SignedKey(std::uint32_t key)
{
    return static_cast<std::int32_t>(key);
}

} // namespace

std::vector<std::string> PresentPartNames(const ExamRecord& record)
{
    std::vector<std::string> parts;
    if (record.m_strObjState == "obj_d" || record.m_strObjState == "obj_y")
        parts.insert(parts.end(), {"obj-exam", "obj-objective", "obj-answer", "obj-explain"});
    if (record.m_strSbjState == "sbj_d" || record.m_strSbjState == "sbj_y")
        parts.insert(parts.end(), {"sbj-exam", "sbj-answer", "sbj-explain"});
    if (record.m_strDesState == "des_d" || record.m_strDesState == "des_y")
        parts.insert(parts.end(), {"des-exam", "des-answer", "des-explain"});
    return parts;
}

std::string PrintImageName(const ExamRecord& record, std::string_view partName)
{
    const bool passage = partName == "text";
    const std::string& folder = passage ? record.m_strExamtextFolder : record.m_strExamFolder;
    const std::uint32_t key = passage ? record.m_nExamtextKey : record.m_nExamKey;
    const std::string name = "print-" + std::string(partName) + ".png";
    const std::string target = folder + "/" + name;
    // The cropper's image of this save replaces the packaged one; without a new crop
    // the image already packaged stays.
    const std::string source = folder + "/" + std::to_string(key) + "-" + name;
    if (PathExists(source)) {
        if (std::rename(source.c_str(), target.c_str()) == 0)
            return name;
        // The package would go without this part's image.
        NoteWriteFailure(errno, target);
    }
    return PathExists(target) ? name : std::string();
}

void PackPrintImages(const ExamRecord& record)
{
    if (record.HasPassage())
        PackArchive(SignedKey(record.m_nExamtextKey), {PrintImageName(record, "text")}, "print",
                    record.m_strExamtextFolder);
    std::vector<std::string> names;
    for (const std::string& part : PresentPartNames(record))
        names.push_back(PrintImageName(record, part));
    PackArchive(SignedKey(record.m_nExamKey), names, "print", record.m_strExamFolder);
}

bool PackQuestionDocuments(const ExamRecord& record, editor::EditorControl* optionsPane)
{
    if (record.HasPassage())
        PackArchive(SignedKey(record.m_nExamtextKey), {"text.hwp"}, "text", record.m_strExamtextFolder);
    std::vector<std::string> names;
    for (const std::string& part : PresentPartNames(record))
        names.push_back(part + ".hwp");
    if (optionsPane != nullptr)
        optionsPane->ClearDocument(1);
    PackArchive(SignedKey(record.m_nExamKey), names, "exam", record.m_strExamFolder);
    return true;
}

ExamPackHook MakeExamPackHook(editor::EditorControl* optionsPane)
{
    return [optionsPane](const ExamRecord& record) {
        PackQuestionDocuments(record, optionsPane);
        PackPrintImages(record);
    };
}
