// The Exam record: the metadata of the one question being edited. The dialog owns the
// current record (m_pExamRecord); the image cropper's answer fills its heights, the
// save writes it to the question's and the passage's .dat files (exam_writer.h), and
// opening a question fills it from a JSON object (exam_open.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Passage heights from the image cropper.
struct TextHeights {
    std::int32_t textprint_height = 0;
    std::int32_t textpreview_height = 0;
};

// Heights of one part set from the image cropper. The first three stay in memory; the
// question, options, answer and explanation pairs go to the question's .dat.
struct ExamHeights {
    std::int32_t examprint_height = 0;
    std::int32_t exampreview_height = 0;
    std::int32_t examcard_height = 0;
    std::int32_t exam_print_height = 0;
    std::int32_t exam_preview_height = 0;
    std::int32_t obj_print_height = 0;
    std::int32_t obj_preview_height = 0;
    std::int32_t answer_print_height = 0;
    std::int32_t answer_preview_height = 0;
    std::int32_t explain_print_height = 0;
    std::int32_t explain_preview_height = 0;
};

// Store kinds of the local store (the middle component of an item folder).
inline constexpr const char* kLocalExamKind = "local_exam";
inline constexpr const char* kLocalExamtextKind = "local_examtext";

// The height records are owned: releasing the record releases them.
struct ExamRecord {
    std::uint32_t m_nExamtextKey = 0;   // 0: no passage; tested as signed, see HasPassage
    std::uint32_t m_nExamKey = 0;
    std::string m_strExamName;
    std::string m_strExamLocal;         // question store kind
    std::string m_strExamFolder;        // absolute, derived
    std::string m_strExamtextLocal;     // passage store kind
    std::string m_strExamtextFolder;    // absolute, derived
    std::string m_strDifficulty;        // "d1" .. "d4"
    std::string m_strObjState;          // "obj_y", "obj_d", "obj_n"; "obj_" when a record had none
    std::string m_strSbjState;
    std::string m_strDesState;
    std::string m_strObjAnswer;         // ascending answer numbers joined by commas
    std::string m_strSbjAnswer;         // written, never filled
    std::string m_strStageId;           // school level: as received, then as saved
    std::optional<std::int32_t> m_nScoreTenths; // points in tenths (0..1000); none when unset
    std::unique_ptr<TextHeights> m_pTextHeights;
    std::unique_ptr<ExamHeights> m_pObjHeights;
    std::unique_ptr<ExamHeights> m_pSbjHeights;
    std::unique_ptr<ExamHeights> m_pDesHeights;

    // A key above 2^31 reads as negative and so as no passage.
    bool HasPassage() const { return static_cast<std::int32_t>(m_nExamtextKey) > 0; }
    void ReleaseHeights();
};

// Points are kept in tenths so that 3.3 stays 3.3: "3" or "3.3" as the .dat writes them.
std::string ScoreText(std::int32_t tenths);

// The record of a new local question in the workspace: the next free question number,
// its folder (not created), no passage, difficulty "d2", every other text empty.
std::unique_ptr<ExamRecord> MakeNewLocalQuestionRecord(const std::string& workspace);

// Question type codes (the dialog's m_nQuestionType) and their part-set words.
inline constexpr std::int32_t kQuestionTypeNone = 0;
inline constexpr std::int32_t kQuestionTypeObj = 2001;
inline constexpr std::int32_t kQuestionTypeSbj = 2002;
inline constexpr std::int32_t kQuestionTypeDes = 2003;
