// The staged cropper as the editor runs it: over the real channel, on a workspace in a
// temporary data folder.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "handoff/channel.h"
#include "support/json.h"
#include "tools/tolvard/cropper.h"

namespace {

namespace fs = std::filesystem;

class TolvardChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-tolvard-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        m_workspace = m_dir / "data" / "korvane" / "telquin" / "3" / "15";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static void WritePage(const fs::path& path, int height)
    {
        fs::create_directories(path.parent_path());
        QImage page(1240, 1754, QImage::Format_ARGB32);
        page.fill(Qt::white);
        QPainter(&page).fillRect(QRect(50, 60, 700, height), Qt::black);
        ASSERT_TRUE(page.save(QString::fromStdString(path.string()), "PNG"));
    }

    fs::path m_dir, m_workspace;
};

TEST_F(TolvardChannel, AnswersTheHeightsAndLeavesCroppedImages)
{
    const fs::path question = m_workspace / "exam" / "d6-000" / "d4-00" / "d2-00" / "ek-12";
    const fs::path passage = m_workspace / "examtext" / "d4-00" / "d2-00" / "etk-7";
    WritePage(question / "12-print-sbj-exam001.png", 100);
    WritePage(question / "12-print-sbj-answer001.png", 20);
    WritePage(passage / "7-print-text001.png", 300);

    const auto answer = handoff::RunToolExchange(
        handoff::kTolvardWord, TOLVARD_PROGRAM,
        "{\"school_key\":3,\"user_key\":15,\"content_type\":\"exam\",\"exam_key\":12,\"exam_local\":\"exam\","
        "\"examtext_key\":7,\"examtext_local\":\"examtext\",\"exam_type\":\"sbj\"}");
    ASSERT_TRUE(answer);
    const JsonOwnedPtr root = ParseJsonUtf8(*answer);
    ASSERT_TRUE(root) << *answer;
    const JsonObject heights = JsonObjectOf(root.get());
    const int pad = 2 * tolvard::kPadding;
    EXPECT_EQ(JsonGetText(heights, "exam_type"), "sbj");
    EXPECT_EQ(JsonGetInt(heights, "textprint_height"), 300 + pad);
    EXPECT_EQ(JsonGetInt(heights, "exam_print_height"), 100 + pad);
    EXPECT_EQ(JsonGetInt(heights, "answer_print_height"), 20 + pad);
    EXPECT_EQ(JsonGetInt(heights, "explain_print_height"), 0);
    EXPECT_EQ(QImage(QString::fromStdString((question / "12-print-sbj-exam.png").string())).height(), 100 + pad);
    EXPECT_TRUE(fs::exists(question / "12-print-sbj-answer.png"));
    EXPECT_TRUE(fs::exists(passage / "7-print-text.png"));
}

TEST_F(TolvardChannel, EmptyWorkspaceStillGetsAnAnswer)
{
    const auto answer = handoff::RunToolExchange(
        handoff::kTolvardWord, TOLVARD_PROGRAM,
        "{\"school_key\":3,\"user_key\":15,\"content_type\":\"exam\",\"exam_key\":1,\"exam_local\":\"local_exam\","
        "\"examtext_key\":0,\"examtext_local\":\"\",\"exam_type\":\"obj\"}");
    ASSERT_TRUE(answer);
    const JsonOwnedPtr root = ParseJsonUtf8(*answer);
    ASSERT_TRUE(root);
    EXPECT_EQ(JsonGetInt(JsonObjectOf(root.get()), "exam_print_height"), 0);
    EXPECT_EQ(JsonGetInt(JsonObjectOf(root.get()), "obj_print_height"), 0);
}

TEST_F(TolvardChannel, RequestThatIsNotAnObjectGetsTheEmptyAnswer)
{
    const auto answer = handoff::RunToolExchange(handoff::kTolvardWord, TOLVARD_PROGRAM, "exam please");
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, "");
}

} // namespace
