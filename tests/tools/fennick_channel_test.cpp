// The staged picker over the real channel, answering for an item of a workspace in a
// temporary data folder. The program starts tools without arguments, so a small script
// stands in for the program path and passes --choose on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "handoff/channel.h"
#include "support/json.h"

namespace {

namespace fs = std::filesystem;

class FennickChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-fennick-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        m_workspace = m_dir / "data" / "korvane" / "telquin" / "3" / "15";
        Write(m_workspace / "local_examtext/etk-7/text.hwp", "");
        Write(m_workspace / "exam/d6-000/d4-00/d2-00/ek-12/12.dat",
              "{\"exam_key\":12,\"exam_name\":\"분수\",\"difficulty\":\"d3\",\"obj_option\":\"D\"}");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static void Write(const fs::path& path, const std::string& content)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    std::optional<std::string> Pick(const std::string& choice) const
    {
        const fs::path script = m_dir / "pick.sh";
        Write(script, "#!/bin/sh\nexec '" FENNICK_PROGRAM "' --choose '" + choice + "'\n");
        fs::permissions(script, fs::perms::owner_all);
        return handoff::RunToolExchange(
            handoff::kFennickWord, script.string(),
            "{\"school_key\":3,\"user_key\":15,\"content_type\":\"examtext\",\"web_svr\":\"http://exam.example\"}");
    }

    fs::path m_dir, m_workspace;
};

TEST_F(FennickChannel, ChoosingAPassageAnswersItsKindAndNumber)
{
    const auto answer = Pick("local_examtext:7");
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, "{\"content_type\":\"examtext\",\"examtext_key\":7,\"examtext_local\":\"local_examtext\"}");
}

TEST_F(FennickChannel, ChoosingAQuestionAnswersItsRecord)
{
    const auto answer = Pick("exam:12");
    ASSERT_TRUE(answer);
    const JsonOwnedPtr root = ParseJsonUtf8(*answer);
    ASSERT_TRUE(root) << *answer;
    const JsonObject record = JsonObjectOf(root.get());
    EXPECT_EQ(JsonGetText(record, "content_type"), "exam");
    EXPECT_EQ(JsonGetText(record, "exam_local"), "exam");
    EXPECT_EQ(JsonGetInt(record, "exam_key"), 12);
    EXPECT_EQ(JsonGetText(record, "exam_name"), "분수");
    EXPECT_EQ(JsonGetText(record, "difficulty"), "d3");
}

TEST_F(FennickChannel, NothingToHandOverMeansNoAnswer)
{
    EXPECT_FALSE(Pick("local_examtext:8"));
    // Another user's workspace holds nothing for this one.
    fs::rename(m_workspace, m_dir / "moved");
    EXPECT_FALSE(Pick("local_examtext:7"));
}

} // namespace
