#include "store/exam_record.h"

#include "store/local_store.h"

void ExamRecord::ReleaseHeights()
{
    m_pTextHeights.reset();
    m_pObjHeights.reset();
    m_pSbjHeights.reset();
    m_pDesHeights.reset();
}

std::string ScoreText(std::int32_t tenths)
{
    const std::string whole = std::to_string(tenths / 10);
    return tenths % 10 == 0 ? whole : whole + "." + std::to_string(tenths % 10);
}

std::unique_ptr<ExamRecord> MakeNewLocalQuestionRecord(const std::string& workspace)
{
    auto record = std::make_unique<ExamRecord>();
    record->m_nExamtextKey = 0;
    record->m_nExamKey = NextQuestionNumber(workspace);
    record->m_strExamLocal = kLocalExamKind;
    record->m_strExamFolder = LocalQuestionFolder(workspace, record->m_nExamKey);
    record->m_strDifficulty = "d2";
    return record;
}
