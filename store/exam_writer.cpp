#include "store/exam_writer.h"

#include "support/files.h"
#include "support/json_build.h"

namespace {

std::string HeightsItem(std::int32_t print, std::int32_t preview)
{
    std::string item;
    JsonAppendInt(item, "print_height", print);
    JsonAppendInt(item, "preview_height", preview);
    return item;
}

std::string RecordPath(const std::string& folder, std::uint32_t key)
{
    return folder + "/" + std::to_string(key) + ".dat";
}

} // namespace

TypeOptions ComputeTypeOptions(const TypeControlsState& c)
{
    const bool noTick = !c.objDefault && !c.sbjDefault && !c.desDefault;
    char obj = c.objButtonImage == 0 ? 'y' : 'n';
    char sbj = c.sbjButtonImage == 2 ? 'y' : 'n';
    char des = c.desButtonImage == 4 ? 'y' : 'n';
    if (obj == 'y' && (c.objDefault || noTick))
        obj = 'd';
    if (sbj == 'y' && (c.sbjDefault || (obj == 'n' && !c.desDefault)))
        sbj = 'd';
    if (des == 'y' && (c.desDefault || (obj == 'n' && sbj == 'n')))
        des = 'd';
    auto upper = [](char state) { return std::string(1, static_cast<char>(state - 'a' + 'A')); };
    return {upper(obj), upper(sbj), upper(des)};
}

std::string BuildHeightsList(std::string_view typeWord, const ExamHeights& h)
{
    std::string list;
    JsonAppendItem(list, HeightsItem(h.exam_print_height, h.exam_preview_height));
    JsonAppendItem(list, HeightsItem(h.answer_print_height, h.answer_preview_height));
    JsonAppendItem(list, HeightsItem(h.explain_print_height, h.explain_preview_height));
    if (typeWord == "obj")
        JsonAppendItem(list, HeightsItem(h.obj_print_height, h.obj_preview_height));
    return list;
}

std::string BuildExamRecordText(const ExamRecord& record, const TypeOptions& options)
{
    std::string json;
    if (record.HasPassage()) {
        JsonAppendUInt(json, "examtext_key", record.m_nExamtextKey);
        JsonAppendText(json, "examtext_local", record.m_strExamtextLocal);
    }
    JsonAppendUInt(json, "exam_key", record.m_nExamKey);
    JsonAppendText(json, "exam_name", record.m_strExamName);
    JsonAppendText(json, "difficulty", record.m_strDifficulty);
    JsonAppendText(json, "obj_option", options.obj);
    JsonAppendText(json, "sbj_option", options.sbj);
    JsonAppendText(json, "des_option", options.des);
    JsonAppendText(json, "obj_answer", record.m_strObjAnswer);
    JsonAppendText(json, "sbj_answer", record.m_strSbjAnswer);
    if (record.m_pObjHeights)
        JsonAppendRaw(json, "obj_list", BuildHeightsList("obj", *record.m_pObjHeights));
    if (record.m_pSbjHeights)
        JsonAppendRaw(json, "sbj_list", BuildHeightsList("sbj", *record.m_pSbjHeights));
    if (record.m_pDesHeights)
        JsonAppendRaw(json, "des_list", BuildHeightsList("des", *record.m_pDesHeights));
    // Last, after every key readers knew before it, so the level comes back on opening.
    if (!record.m_strStageId.empty())
        JsonAppendText(json, "stage_id", record.m_strStageId);
    // After every key peers knew before it: a reader that does not know it reads the rest as before.
    if (record.m_nScoreTenths)
        JsonAppendRaw(json, "score", ScoreText(*record.m_nScoreTenths));
    return json;
}

std::string BuildPassageRecordText(std::uint32_t key, const TextHeights* heights)
{
    const TextHeights unmeasured;
    const TextHeights& h = heights ? *heights : unmeasured;
    std::string json;
    JsonAppendUInt(json, "examtext_key", key);
    JsonAppendInt(json, "textprint_height", h.textprint_height);
    JsonAppendInt(json, "textpreview_height", h.textpreview_height);
    return json;
}

bool WritePassageRecord(const ExamRecord& record, std::uint32_t key, const std::string& folder)
{
    // An unset folder would put the file at the file-system root.
    if (folder.empty())
        return false;
    return WriteWholeFile(RecordPath(folder, key), BuildPassageRecordText(key, record.m_pTextHeights.get()));
}

bool WriteExamRecord(const ExamRecord& record, const TypeControlsState& controls, const ExamPackHook& pack)
{
    if (record.HasPassage())
        WritePassageRecord(record, record.m_nExamtextKey, record.m_strExamtextFolder);
    const bool written = !record.m_strExamFolder.empty() &&
                         WriteWholeFile(RecordPath(record.m_strExamFolder, record.m_nExamKey),
                                        BuildExamRecordText(record, ComputeTypeOptions(controls)));
    if (pack)
        pack(record);
    return written;
}
