// The picker's view of a workspace and the answers it hands back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/files.h"
#include "store/exam_open.h"
#include "support/json.h"
#include "tools/fennick/workspace_scan.h"

namespace {

namespace fs = std::filesystem;
using fennick::ItemKind;
using fennick::PickerItem;

void WriteFile(const fs::path& path, const std::string& content, int ageSeconds = 0)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
}

// Passage "documents" here are plain text; the injected reader returns them whole.
std::string ReadPlain(const std::string& path) { return ReadWholeFile(path); }

class PickerWorkspace : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-fennick-scan-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_workspace = pattern;
    }
    void TearDown() override { fs::remove_all(m_workspace); }

    std::vector<PickerItem> Scan() const { return fennick::ScanWorkspace(m_workspace.string(), ReadPlain); }

    static std::string Describe(const std::vector<PickerItem>& items)
    {
        std::string out;
        for (const auto& item : items)
            out += item.storeKind + ":" + std::to_string(item.key) + " ";
        return out;
    }

    fs::path m_workspace;
};

TEST_F(PickerWorkspace, ListsEveryStoreKindNewestFirst)
{
    WriteFile(m_workspace / "local_examtext/etk-7/text.hwp", "\n  첫 지문의 첫 줄\n둘째 줄", 50);
    WriteFile(m_workspace / "local_examtext/etk-7/7-print-text001.png", "", 50);
    WriteFile(m_workspace / "examtext/d4-123/d2-45/etk-1234567/text.hwp", "받은 지문", 10);
    WriteFile(m_workspace / "local_exam/ek-12/12.dat",
              "{\"exam_key\":12,\"exam_name\":\"분수\",\"obj_option\":\"N\",\"sbj_option\":\"D\",\"des_option\":\"Y\"}",
              30);
    WriteFile(m_workspace / "local_exam/ek-12/sbj-exam.hwp", "문제 첫 줄", 30);
    WriteFile(m_workspace / "local_exam/ek-12/print-sbj-exam.png", "", 30);
    WriteFile(m_workspace / "exam/d6-000/d4-00/d2-00/ek-5/5.dat", "{\"exam_key\":5}", 40);
    WriteFile(m_workspace / "shared_exam/d6-000/d4-00/d2-01/ek-123/123.dat", "{\"exam_key\":123}", 20);

    const auto items = Scan();
    EXPECT_EQ(Describe(items), "examtext:1234567 shared_exam:123 local_exam:12 exam:5 local_examtext:7 ");
    ASSERT_EQ(items.size(), 5u);

    const PickerItem& passage = items[4];
    EXPECT_EQ(passage.kind, ItemKind::LocalPassage);
    EXPECT_EQ(passage.firstLine, "첫 지문의 첫 줄");
    EXPECT_EQ(passage.imagePath, (m_workspace / "local_examtext/etk-7/7-print-text001.png").string());
    EXPECT_EQ(items[0].kind, ItemKind::StoredPassage);
    EXPECT_EQ(items[0].imagePath, "");

    const PickerItem& question = items[2];
    EXPECT_EQ(question.kind, ItemKind::Question);
    EXPECT_EQ(question.examName, "분수");
    // The default type's question document and picture.
    EXPECT_EQ(question.firstLine, "문제 첫 줄");
    EXPECT_EQ(question.imagePath, (m_workspace / "local_exam/ek-12/print-sbj-exam.png").string());
}

TEST_F(PickerWorkspace, LeavesOutWhatTheEditorCouldNotFindAgain)
{
    WriteFile(m_workspace / "local_examtext/etk-8/notes.txt", "no text.hwp");
    WriteFile(m_workspace / "local_examtext/etk-007/text.hwp", "leading zeros");
    WriteFile(m_workspace / "local_examtext/etk-0/text.hwp", "key 0 means no passage");
    WriteFile(m_workspace / "local_examtext/etk-3000000000/text.hwp", "read as negative");
    WriteFile(m_workspace / "examtext/d4-99/d2-45/etk-1234567/text.hwp", "wrong group folder");
    WriteFile(m_workspace / "local_exam/ek-4/4.dat", "{\"exam_key\":4");
    WriteFile(m_workspace / "local_exam/ek-6/7.dat", "{}");
    WriteFile(m_workspace / "local_exam/ek-9/9.dat", "[9]");
    WriteFile(m_workspace / "exam/d6-000/d4-01/d2-00/ek-15/15.dat", "{\"exam_key\":15}");
    WriteFile(m_workspace / "exam/ek-16/16.dat", "{\"exam_key\":16}");
    WriteFile(m_workspace / ".hidden/d6-000/d4-00/d2-00/ek-17/17.dat", "{}");

    EXPECT_EQ(Describe(Scan()), "");
    EXPECT_TRUE(fennick::ScanWorkspace((m_workspace / "missing").string()).empty());
}

TEST_F(PickerWorkspace, PassageAnswersNameTheKindAndNumber)
{
    WriteFile(m_workspace / "local_examtext/etk-8/text.hwp", "");
    WriteFile(m_workspace / "examtext/d4-123/d2-45/etk-1234567/text.hwp", "");
    const auto items = Scan();
    ASSERT_EQ(items.size(), 2u);
    const PickerItem& local = items[0].key == 8 ? items[0] : items[1];
    const PickerItem& stored = items[0].key == 8 ? items[1] : items[0];
    EXPECT_EQ(fennick::AnswerFor(local), "{\"content_type\":\"examtext\",\"examtext_key\":8,\"examtext_local\":\"local_examtext\"}");
    EXPECT_EQ(fennick::AnswerFor(stored),
              "{\"content_type\":\"examtext\",\"examtext_key\":1234567,\"examtext_local\":\"examtext\"}");
}

TEST_F(PickerWorkspace, QuestionAnswerIsItsRecordWithContentTypeAndStoreKind)
{
    const std::string record =
        "{\"examtext_key\":7,\"examtext_local\":\"local_examtext\",\"exam_key\":12,\"exam_name\":\"\","
        "\"difficulty\":\"d2\",\"obj_option\":\"D\",\"sbj_option\":\"N\",\"des_option\":\"N\",\"obj_answer\":\"2\","
        "\"sbj_answer\":\"\",\"obj_list\":[{\"print_height\":410,\"preview_height\":305}],\"stage_id\":\"elem\"}";
    WriteFile(m_workspace / "local_exam/ek-12/12.dat", record + "\n");
    WriteFile(m_workspace / "exam/d6-000/d4-00/d2-00/ek-12/12.dat", "{\"exam_key\":12,\"content_type\":\"x\"}");
    const auto items = Scan();
    ASSERT_EQ(items.size(), 2u);
    const PickerItem& local = items[0].storeKind == "local_exam" ? items[0] : items[1];
    const PickerItem& stored = items[0].storeKind == "local_exam" ? items[1] : items[0];

    EXPECT_EQ(fennick::AnswerFor(local),
              record.substr(0, record.size() - 1) + ",\"content_type\":\"exam\",\"exam_local\":\"local_exam\"}");
    const JsonOwnedPtr root = ParseJsonUtf8(fennick::AnswerFor(stored));
    ASSERT_TRUE(root);
    const JsonObject answer = JsonObjectOf(root.get());
    EXPECT_EQ(JsonGetText(answer, "content_type"), "exam");
    EXPECT_EQ(JsonGetText(answer, "exam_local"), "exam");
    EXPECT_EQ(JsonGetInt(answer, "exam_key"), 12);
}

TEST_F(PickerWorkspace, LongRecordDropsItsHeightListsToFitTheChannel)
{
    std::string lists;
    for (int i = 0; i < 60; ++i)
        lists += std::string(i ? "," : "") + "{\"print_height\":410,\"preview_height\":305}";
    WriteFile(m_workspace / "local_exam/ek-3/3.dat",
              "{\"exam_key\":3,\"exam_name\":\"긴 \\\"기록\\\"\",\"obj_list\":[" + lists + "],\"difficulty\":\"d4\",\"stage_id\":\"elem\"}");
    const auto items = Scan();
    ASSERT_EQ(items.size(), 1u);
    const std::string answer = fennick::AnswerFor(items[0]);
    ASSERT_FALSE(answer.empty());
    EXPECT_LT(answer.size(), 2048u);
    const JsonOwnedPtr root = ParseJsonUtf8(answer);
    ASSERT_TRUE(root);
    const JsonObject members = JsonObjectOf(root.get());
    EXPECT_EQ(JsonGetInt(members, "exam_key"), 3);
    EXPECT_EQ(JsonGetText(members, "exam_name"), "긴 \"기록\"");
    EXPECT_EQ(JsonGetText(members, "difficulty"), "d4");
    EXPECT_EQ(JsonGetText(members, "stage_id"), "elem") << "the level travels with the question";
    EXPECT_EQ(JsonGetText(members, "exam_local"), "local_exam");
    EXPECT_FALSE(members.count(u"obj_list"));

    // A record whose plain members alone are too long cannot be handed over.
    WriteFile(m_workspace / "local_exam/ek-3/3.dat", "{\"exam_key\":3,\"exam_name\":\"" + std::string(3000, 'x') + "\"}");
    EXPECT_EQ(fennick::AnswerFor(Scan()[0]), "");
}

TEST_F(PickerWorkspace, APointedRecordIsOfferedAndHandedOverWithItsPoints)
{
    // Long height lists: the record is handed over as its plain members, numbers rewritten.
    std::string lists;
    for (int i = 0; i < 60; ++i)
        lists += std::string(i ? "," : "") + R"({"print_height":410,"preview_height":305})";
    WriteFile(m_workspace / "local_exam/ek-8/8.dat",
              R"({"exam_key":8,"exam_name":"배점","difficulty":"d1","obj_option":"D","obj_answer":"4","obj_list":[)" +
                  lists + R"(],"stage_id":"mid","score":3.3})");
    WriteFile(m_workspace / "local_exam/ek-9/9.dat", R"({"exam_key":9,"exam_name":"없음","obj_answer":"4"})", 10);
    const auto items = Scan();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].examName, "배점");
    for (const PickerItem& item : items) {
        const std::string answer = fennick::AnswerFor(item);
        ASSERT_FALSE(answer.empty()) << item.key;
        const JsonOwnedPtr root = ParseJsonUtf8(answer);
        ExamRecord read;
        ReadExamRecordKeys(read, JsonObjectOf(root.get()));
        EXPECT_EQ(read.m_strObjAnswer, "4");
        EXPECT_EQ(read.m_nScoreTenths, item.key == 8 ? std::optional<std::int32_t>(33) : std::nullopt);
    }
}

TEST(PickerSearch, MatchesEveryWordInNumberKindNameOrFirstLine)
{
    PickerItem item;
    item.storeKind = "local_examtext";
    item.key = 1234;
    item.firstLine = "The Quick 여우";
    EXPECT_TRUE(fennick::MatchesSearch(item, ""));
    EXPECT_TRUE(fennick::MatchesSearch(item, "  quick  여우 "));
    EXPECT_TRUE(fennick::MatchesSearch(item, "123"));
    EXPECT_TRUE(fennick::MatchesSearch(item, "LOCAL"));
    EXPECT_FALSE(fennick::MatchesSearch(item, "quick fox"));
}

TEST(PickerRequest, ReadsKeysAndServerAndRefusesOtherTexts)
{
    const auto request = fennick::ParsePickerRequest(
        "{\"school_key\":4000000000,\"user_key\":15,\"content_type\":\"examtext\",\"web_svr\":\"http://x/api\"}");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->schoolKey, 4000000000u);
    EXPECT_EQ(request->userKey, 15u);
    EXPECT_EQ(request->webServer, "http://x/api");
    EXPECT_EQ(fennick::WorkspaceFor("/d", *request), "/d/4000000000/15");
    EXPECT_FALSE(fennick::ParsePickerRequest(""));
    EXPECT_FALSE(fennick::ParsePickerRequest("\"text\""));
}

TEST(FirstLineOf, SkipsBlankLinesAndCutsLongLinesAtCharacters)
{
    EXPECT_EQ(fennick::FirstLineOf("\r\n\t 가나다 \r\n라마"), "가나다");
    EXPECT_EQ(fennick::FirstLineOf("가나다라마", 3), "가나다…");
    EXPECT_EQ(fennick::FirstLineOf("가나다", 3), "가나다");
    EXPECT_EQ(fennick::FirstLineOf(""), "");
}

} // namespace
