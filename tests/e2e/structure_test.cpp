// A question built with its structure: a <보기> box with the standard combinations as its
// options, points and their mark after the stem; saved, read by python's json, reopened.
#include "tests/e2e/e2e_testing.h"

#include "support/files.h"
#include "support/json.h"

#include <QImage>

namespace e2e {
namespace {

TEST_F(System, PointsAndABoxCombinationSetAreSavedAfterTheOldKeysAndReopenAsTheyWere)
{
    const auto log = RunDriver("box-combination");
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty()) << "the save showed a message";
    EXPECT_TRUE(LinesStartingWith(log, "asked ").empty()) << "the options and answer agree";
    const DialogState saved = StateAt(log, "before-save");
    ASSERT_TRUE(saved.found);
    EXPECT_EQ(saved.values.at("score"), "3.5");
    EXPECT_EQ(saved.panes.at("options"), "① ㄱ\t② ㄷ\t③ ㄱ, ㄴ\t④ ㄴ, ㄷ\t⑤ ㄱ, ㄴ, ㄷ");
    EXPECT_NE(saved.panes.at("question").find("고른 것은? [3.5점]"), std::string::npos) << saved.panes.at("question");

    const fs::path folder = Workspace() / "local_exam" / "ek-1";
    ASSERT_TRUE(DatParses(folder / "1.dat"));
    EXPECT_TRUE(OracleFinds(folder / "obj-objective.hwp", "① ㄱ"));
    // The keys in the order python reads them: every key the format had, then the new one.
    const ShellResult keys = Shell(
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1],\"rb\")); "
        "print(\" \".join(d.keys())); print(repr(d[\"score\"]), d[\"obj_answer\"])' " +
        Quote((folder / "1.dat").string()));
    ASSERT_EQ(keys.status, 0) << keys.output;
    EXPECT_EQ(keys.output, "exam_key exam_name difficulty obj_option sbj_option des_option obj_answer sbj_answer "
                           "obj_list stage_id score\n3.5 3\n");

    ClearLog();
    const auto reopened = RunDriver("reopen", {{"VARNEL_DRIVER_OPEN", (folder / "1.dat").string()}});
    EXPECT_TRUE(LinesStartingWith(reopened, "message ").empty());
    const DialogState state = StateAt(reopened, "reopened");
    ASSERT_TRUE(state.found);
    EXPECT_EQ(state.values.at("score"), "3.5");
    EXPECT_EQ(state.panes.at("options"), saved.panes.at("options"));
    EXPECT_EQ(state.panes.at("question"), saved.panes.at("question"));
}

// Each part's page image from the save, pixel for pixel what another process draws of the
// file the save wrote: the pane's fonts must not leak into how letters are drawn.
TEST_F(System, ASavesPageImagesAreWhatAnotherProcessDrawsOfItsFiles)
{
    const auto log = RunDriver("table");
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty()) << "the save showed a message";
    const fs::path folder = Workspace() / "local_exam" / "ek-1";
    for (const std::string part : {"obj-exam", "obj-objective", "obj-answer", "obj-explain"}) {
        const fs::path again = Root() / (part + ".png");
        const ShellResult drawn = Shell(std::string(VARNEL_HWP) + " image --page 1 " + Quote((folder / (part + ".hwp")).string()) +
                                        " " + Quote(again.string()));
        ASSERT_EQ(drawn.status, 0) << part << ": " << drawn.output;
        const QImage saved(QString::fromStdString((folder / ("1-print-" + part + "001.png")).string()));
        ASSERT_FALSE(saved.isNull()) << part;
        // The tool writes a grey page as grey; the pixels are what count.
        EXPECT_TRUE(saved == QImage(QString::fromStdString(again.string())).convertToFormat(saved.format())) << part;
    }
}

} // namespace
} // namespace e2e
