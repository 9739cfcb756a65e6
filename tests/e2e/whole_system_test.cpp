// The whole system as a teacher uses it: the real dialog driven by script, the real
// cropper and picker over their channels, the launcher for a question of kind "exam".
#include "tests/e2e/e2e_testing.h"

#include <fstream>
#include <thread>

#include "support/files.h"
#include "support/json.h"

namespace e2e {
namespace {

JsonObject ReadDat(const fs::path& dat, JsonOwnedPtr& holder)
{
    holder = ParseJsonUtf8(ReadWholeFile(dat.string()));
    return JsonObjectOf(holder.get());
}

std::vector<std::string> Members(const fs::path& zip)
{
    std::vector<std::string> members;
    EXPECT_TRUE(ArchiveSound(zip, &members));
    return members;
}

using Names = std::vector<std::string>;

// The package of an objective question with key `key` in `folder`, whose panes held the
// driver's texts.
void ExpectObjectiveQuestion(const fs::path& folder, unsigned key)
{
    const std::string k = std::to_string(key);
    const std::pair<const char*, const char*> parts[] = {{"obj-exam", kQuestionText},
                                                         {"obj-objective", kOptionsText},
                                                         {"obj-answer", kAnswerText},
                                                         {"obj-explain", kExplainText}};
    for (const auto& [part, text] : parts) {
        const fs::path hwp = folder / (std::string(part) + ".hwp");
        ASSERT_TRUE(fs::exists(hwp)) << hwp;
        EXPECT_TRUE(OracleFinds(hwp, text));
        EXPECT_TRUE(fs::exists(folder / (k + "-print-" + part + "001.png"))) << part;
        EXPECT_TRUE(fs::exists(folder / ("print-" + std::string(part) + ".png"))) << part;
    }
    EXPECT_TRUE(fs::exists(folder / (k + "-examprint-obj001.png")));

    EXPECT_EQ(Members(folder / (k + "-exam.zip")),
              (Names{"obj-answer.hwp", "obj-exam.hwp", "obj-explain.hwp", "obj-objective.hwp"}));
    EXPECT_EQ(Members(folder / (k + "-print.zip")), (Names{"print-obj-answer.png", "print-obj-exam.png",
                                                           "print-obj-explain.png", "print-obj-objective.png"}));

    ASSERT_TRUE(DatParses(folder / (k + ".dat")));
    JsonOwnedPtr holder;
    const JsonObject dat = ReadDat(folder / (k + ".dat"), holder);
    EXPECT_EQ(JsonGetInt(dat, "exam_key"), static_cast<std::int64_t>(key));
    EXPECT_EQ(JsonGetText(dat, "obj_option"), "D");
    EXPECT_EQ(JsonGetText(dat, "sbj_option"), "N");
    EXPECT_EQ(JsonGetText(dat, "des_option"), "N");
    EXPECT_EQ(JsonGetText(dat, "obj_answer"), "1");
    EXPECT_EQ(JsonGetText(dat, "difficulty"), "d2");
    // The cropper measured four parts: question, answer, explanation, options.
    const auto list = dat.find(u"obj_list");
    ASSERT_NE(list, dat.end());
    ASSERT_EQ(list->second->arrayValue.size(), 4u);
    for (const auto& item : list->second->arrayValue)
        EXPECT_GT(JsonGetInt(JsonObjectOf(item.get()), "print_height"), 0);
}

void ExpectPassage(const fs::path& folder, unsigned key)
{
    const std::string k = std::to_string(key);
    ASSERT_TRUE(fs::exists(folder / "text.hwp"));
    EXPECT_TRUE(OracleFinds(folder / "text.hwp", kPassageText));
    EXPECT_EQ(Members(folder / (k + "-text.zip")), (Names{"text.hwp"}));
    EXPECT_EQ(Members(folder / (k + "-print.zip")), (Names{"print-text.png"}));
    EXPECT_TRUE(fs::exists(folder / (k + "-print-text001.png")));
    ASSERT_TRUE(DatParses(folder / (k + ".dat")));
    JsonOwnedPtr holder;
    const JsonObject dat = ReadDat(folder / (k + ".dat"), holder);
    EXPECT_EQ(JsonGetInt(dat, "examtext_key"), static_cast<std::int64_t>(key));
    EXPECT_GT(JsonGetInt(dat, "textprint_height"), 0);
    EXPECT_GT(JsonGetInt(dat, "textpreview_height"), 0);
}

// A new local question with a passage, saved; reopened from its archives alone; a
// second question that takes the first one's passage from the picker.
TEST_F(System, LocalQuestionIsSavedReopenedAndItsPassagePicked)
{
    const auto log = RunDriver("demo");
    const fs::path question = Workspace() / "local_exam" / "ek-1";
    const fs::path passage = Workspace() / "local_examtext" / "etk-1";
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty()) << "the save showed a message";
    // The dialog went on to the next question.
    const DialogState after = StateAt(log, "after-save");
    ASSERT_TRUE(after.found);
    EXPECT_EQ(after.values.at("key"), "2");
    EXPECT_EQ(after.values.at("local"), "local_exam");
    EXPECT_EQ(after.panes.at("question"), "");

    ExpectObjectiveQuestion(question, 1);
    ExpectPassage(passage, 1);
    JsonOwnedPtr holder;
    const JsonObject dat = ReadDat(question / "1.dat", holder);
    EXPECT_EQ(JsonGetInt(dat, "examtext_key"), 1);
    EXPECT_EQ(JsonGetText(dat, "examtext_local"), "local_examtext");
    ExpectEverythingSound(Workspace());

    // Reopening restores every pane from the archives, not from loose files.
    for (const char* name : {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"})
        fs::remove(question / name);
    fs::remove(passage / "text.hwp");
    ClearLog();
    const auto reopened = RunDriver("reopen", {{"VARNEL_DRIVER_OPEN", (question / "1.dat").string()}});
    EXPECT_TRUE(LinesStartingWith(reopened, "message ").empty());
    const DialogState state = StateAt(reopened, "reopened");
    ASSERT_TRUE(state.found);
    EXPECT_EQ(state.values.at("key"), "1");
    EXPECT_EQ(state.values.at("passage"), "1");
    EXPECT_EQ(state.values.at("has_passage"), "1");
    // Every pane as it was when "저장" was pressed.
    const DialogState saved = StateAt(log, "before-save");
    ASSERT_TRUE(saved.found);
    EXPECT_EQ(saved.panes.at("passage"), kPassageText);
    EXPECT_EQ(saved.panes.at("question"), kQuestionText);
    EXPECT_NE(saved.panes.at("answer").find(kAnswerText), std::string::npos);
    EXPECT_EQ(state.panes, saved.panes);
    // And the dialog takes input afterwards.
    EXPECT_NE(StateAt(reopened, "typed").panes["question"].find("usable"), std::string::npos);

    // The real picker, told which passage to hand over, attaches passage 1 to question 2.
    ReplaceTool("Fennick", "exec " + Quote(VARNEL_STAGE "/urk/Fennick") + " --choose local_examtext:1");
    ClearLog();
    const auto picked = RunDriver("pick-passage");
    const DialogState chosen = StateAt(picked, "picked");
    ASSERT_TRUE(chosen.found);
    EXPECT_EQ(chosen.values.at("has_passage"), "1");
    EXPECT_EQ(chosen.values.at("passage"), "1");
    EXPECT_EQ(chosen.values.at("passage_local"), "local_examtext");
    EXPECT_EQ(chosen.panes.at("passage"), kPassageText);
    const fs::path second = Workspace() / "local_exam" / "ek-2";
    ExpectObjectiveQuestion(second, 2);
    const JsonObject secondDat = ReadDat(second / "2.dat", holder);
    EXPECT_EQ(JsonGetInt(secondDat, "examtext_key"), 1);
    EXPECT_FALSE(fs::exists(Workspace() / "local_examtext" / "etk-2" / "2.dat")) << "a passage was made anew";
    ExpectEverythingSound(Workspace());
}

// The launcher hands over a question of kind "exam"; the save comes back as "EXAM_SAVE"
// and the editor ends.
TEST_F(System, ExamQuestionFromTheLauncherIsSavedAndReported)
{
    const fs::path questionFile = Root() / "q.json";
    std::ofstream(questionFile) << R"({"exam_key":1001,"exam_local":"exam","obj_option":"D","sbj_option":"N",)"
                                << R"("des_option":"N","difficulty":"d2","stage_id":"elem"})";
    const fs::path folder = Workspace(1001, 42) / "exam" / "d6-000" / "d4-00" / "d2-10" / "ek-1001";
    fs::create_directories(folder); // the Launcher's side provides it

    auto environment = DriverEnvironment("demo");
    auto launcher = Start(VARNEL_LAUNCHER,
                          {"--school-key", "1001", "--user-key", "42", "--server", "http://demo.invalid", "--question",
                           questionFile.string(), "--editor", VARNEL_DRIVER},
                          environment);
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(launcher->Wait(std::chrono::minutes(3)), 0) << "the launcher got no EXAM_SAVE";

    // The launcher ends at the notification; the editor closes right after it, before
    // the script's next step.
    auto ended = [this] {
        const auto lines = Log();
        return !lines.empty() && lines.back() == "ended";
    };
    for (int i = 0; i < 600 && !ended(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(ended()) << "the editor did not close after the save";
    const auto log = Log();
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty());
    EXPECT_FALSE(StateAt(log, "after-save").found);

    ExpectObjectiveQuestion(folder, 1001);
    JsonOwnedPtr holder;
    const JsonObject dat = ReadDat(folder / "1001.dat", holder);
    EXPECT_GT(JsonGetInt(dat, "examtext_key"), 0);
    ExpectEverythingSound(Workspace(1001, 42));
}

// Content typed for the objective and the subjective set both survive the switches and
// the save.
TEST_F(System, SwitchingTypesKeepsBothSets)
{
    const auto log = RunDriver("switch-types");
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty());
    const DialogState objFilled = StateAt(log, "obj-filled");
    const DialogState objAgain = StateAt(log, "obj-again");
    ASSERT_TRUE(objFilled.found);
    ASSERT_TRUE(objAgain.found);
    EXPECT_EQ(objAgain.values.at("type"), "2001");
    EXPECT_EQ(objFilled.panes.at("question"), kQuestionText);
    EXPECT_EQ(objAgain.panes, objFilled.panes);
    const DialogState sbjFilled = StateAt(log, "sbj-filled");
    const DialogState sbjAgain = StateAt(log, "sbj-again");
    ASSERT_TRUE(sbjFilled.found);
    ASSERT_TRUE(sbjAgain.found);
    EXPECT_EQ(sbjAgain.values.at("type"), "2002");
    EXPECT_EQ(sbjFilled.panes.at("question"), "민들레 꽃의 색깔을 쓰시오.");
    EXPECT_EQ(sbjAgain.panes, sbjFilled.panes);

    const fs::path folder = Workspace() / "local_exam" / "ek-1";
    EXPECT_EQ(Members(folder / "1-exam.zip"),
              (Names{"obj-answer.hwp", "obj-exam.hwp", "obj-explain.hwp", "obj-objective.hwp", "sbj-answer.hwp",
                     "sbj-exam.hwp", "sbj-explain.hwp"}));
    EXPECT_TRUE(OracleFinds(folder / "obj-exam.hwp", kQuestionText));
    EXPECT_TRUE(OracleFinds(folder / "obj-objective.hwp", kOptionsText));
    EXPECT_TRUE(OracleFinds(folder / "sbj-exam.hwp", "민들레 꽃의 색깔을 쓰시오."));
    EXPECT_TRUE(OracleFinds(folder / "sbj-answer.hwp", "노란색"));
    JsonOwnedPtr holder;
    const JsonObject dat = ReadDat(folder / "1.dat", holder);
    EXPECT_EQ(JsonGetText(dat, "obj_option"), "D");
    EXPECT_EQ(JsonGetText(dat, "sbj_option"), "Y");
    EXPECT_EQ(JsonGetText(dat, "des_option"), "N");
    ExpectEverythingSound(Workspace());
}

} // namespace
} // namespace e2e
