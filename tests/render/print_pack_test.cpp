// Packing: print image names and the four archives of a save.
#include "tests/render/render_testing.h"

#include "render/print_pack.h"
#include "store/exam_writer.h"

#include <filesystem>

using namespace render_testing;

namespace {

class PrintPacking : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        std::filesystem::create_directories(PathOf("q"));
        std::filesystem::create_directories(PathOf("p"));
        m_record.m_nExamKey = 12;
        m_record.m_nExamtextKey = 7;
        m_record.m_strExamFolder = PathOf("q");
        m_record.m_strExamtextFolder = PathOf("p");
        m_record.m_strDifficulty = "d2";
    }
    std::string Q(const std::string& name) const { return PathOf("q/" + name); }
    std::string P(const std::string& name) const { return PathOf("p/" + name); }

    ExamRecord m_record;
};

TEST_F(PrintPacking, EachNewCropReplacesThePackagedImage)
{
    Touch(Q("12-print-obj-exam.png"), "first");
    EXPECT_EQ(PrintImageName(m_record, "obj-exam"), "print-obj-exam.png");
    EXPECT_EQ(ReadBytes(Q("print-obj-exam.png")), "first");
    EXPECT_FALSE(Exists(Q("12-print-obj-exam.png")));

    // A re-save: the cropper's new image wins over the one the first save moved.
    Touch(Q("12-print-obj-exam.png"), "second");
    EXPECT_EQ(PrintImageName(m_record, "obj-exam"), "print-obj-exam.png");
    EXPECT_EQ(ReadBytes(Q("print-obj-exam.png")), "second");
    EXPECT_EQ(FilesIn(PathOf("q")), std::vector<std::string>{"print-obj-exam.png"});

    // No new crop: the image already packaged is used as it is.
    EXPECT_EQ(PrintImageName(m_record, "obj-exam"), "print-obj-exam.png");
    EXPECT_EQ(ReadBytes(Q("print-obj-exam.png")), "second");

    EXPECT_EQ(PrintImageName(m_record, "obj-answer"), "") << "no crop, no name";
}

TEST_F(PrintPacking, ThePassageUsesItsOwnFolderAndKey)
{
    Touch(Q("12-print-text.png"));
    Touch(P("12-print-text.png"));
    EXPECT_EQ(PrintImageName(m_record, "text"), "");
    Touch(P("7-print-text.png"));
    EXPECT_EQ(PrintImageName(m_record, "text"), "print-text.png");
    EXPECT_TRUE(Exists(P("print-text.png")));
    EXPECT_TRUE(Exists(Q("12-print-text.png")));
}

TEST_F(PrintPacking, ASaveWritesTheFourArchivesOfThePresentParts)
{
    m_record.m_strObjState = "obj_d";
    m_record.m_strSbjState = "sbj_n";
    m_record.m_strDesState = "des_y";
    Touch(P("text.hwp"));
    Touch(P("7-print-text.png"));
    for (const char* part : {"obj-exam", "obj-objective", "obj-answer", "obj-explain", "sbj-exam", "des-exam",
                             "des-answer", "des-explain"}) {
        Touch(Q(std::string(part) + ".hwp"));
        Touch(Q("12-print-" + std::string(part) + ".png"));
    }
    Touch(Q("print-obj-exam.png"), "from an earlier save");
    Touch(Q("12-examprint-obj001.png"));

    Log log;
    RecordingPane options("options", log);
    TypeControlsState controls;
    controls.objButtonImage = 0;
    ASSERT_TRUE(WriteExamRecord(m_record, controls, MakeExamPackHook(&options)));

    EXPECT_EQ(ZipNames(P("7-text.zip")), std::vector<std::string>{"text.hwp"});
    EXPECT_EQ(ZipNames(P("7-print.zip")), std::vector<std::string>{"print-text.png"});
    EXPECT_EQ(ZipNames(Q("12-exam.zip")),
              (std::vector<std::string>{"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp",
                                        "des-exam.hwp", "des-answer.hwp", "des-explain.hwp"}));
    EXPECT_EQ(ZipNames(Q("12-print.zip")),
              (std::vector<std::string>{"print-obj-exam.png", "print-obj-objective.png", "print-obj-answer.png",
                                        "print-obj-explain.png", "print-des-exam.png", "print-des-answer.png",
                                        "print-des-explain.png"}));
    EXPECT_FALSE(Exists(Q("12-print-obj-exam.png"))) << "this save's crop replaced the earlier one";
    EXPECT_EQ(ReadBytes(Q("print-obj-exam.png")), "x");
    EXPECT_TRUE(Exists(Q("12-print-sbj-exam.png"))) << "an absent part set is left alone";
    EXPECT_EQ(log, std::vector<std::string>{"options:ClearDocument(1)"});
}

TEST_F(PrintPacking, AQuestionWithNoPresentPartStillGetsEmptyExamAndPrintArchives)
{
    m_record.m_nExamtextKey = 0;
    m_record.m_strObjState = "obj_n";
    m_record.m_strSbjState = "sbj_";
    m_record.m_strDesState = "";
    Touch(Q("obj-exam.hwp"));
    Touch(Q("12-print-obj-exam.png"));
    EXPECT_TRUE(PackQuestionDocuments(m_record, nullptr));
    PackPrintImages(m_record);
    EXPECT_EQ(ZipNames(Q("12-exam.zip")), std::vector<std::string>{});
    EXPECT_EQ(ZipNames(Q("12-print.zip")), std::vector<std::string>{});
    EXPECT_EQ(FilesIn(PathOf("p")), std::vector<std::string>{}) << "no passage, no passage archives";
}

} // namespace
