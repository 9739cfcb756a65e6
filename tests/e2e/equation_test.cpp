// An equation typed in the equation dialog, through the save, the archives and the print
// images.
#include "tests/e2e/e2e_testing.h"

#include "hwp/equation.h"
#include "hwp/reader.h"

#include <QImage>

#include <cstdlib>
#include <map>

namespace e2e {
namespace {

constexpr char kQuadratic[] = "x = {-b +- sqrt {b^2 - 4ac}} over {2a}";

std::vector<std::string> EquationLines(const std::vector<std::string>& log, const std::string& checkpoint)
{
    std::vector<std::string> lines;
    bool in = false;
    for (const std::string& line : log) {
        if (line.starts_with("state "))
            in = line == "state " + checkpoint || line.starts_with("state " + checkpoint + " ");
        else if (in && line.starts_with("equation "))
            lines.push_back(line.substr(9));
    }
    return lines;
}

std::vector<std::u16string> Scripts(const fs::path& hwp)
{
    std::vector<std::u16string> scripts;
    const hwp::Document document = hwp::ReadDocument(hwp.string());
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (hwp::IsEquation(control))
                    scripts.push_back(hwp::ReadEquation(control).script);
    return scripts;
}

// The longest run of dark pixels in one row, and that row: the fraction bar of the formula
// is wider than any stroke of the text.
std::pair<int, int> LongestDarkRun(const QImage& image)
{
    int longest = 0, row = -1;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = qGray(image.pixel(x, y)) < 100 ? run + 1 : 0;
            if (run > longest)
                longest = run, row = y;
        }
    }
    return {longest, row};
}

TEST_F(System, AnEquationFromTheDialogIsSavedReopenedAndPrintedSharply)
{
    // VARNEL_PAGE_IMAGES=folder keeps the print image and the dialog's pictures to look at.
    const char* keep = std::getenv("VARNEL_PAGE_IMAGES");
    std::map<std::string, std::string> more;
    if (keep != nullptr)
        more["VARNEL_DRIVER_SHOTS"] = keep;
    const auto log = RunDriver("equation", more);
    EXPECT_TRUE(LinesStartingWith(log, "message ").empty()) << "the save showed a message";
    EXPECT_TRUE(LinesStartingWith(log, "no ").empty()) << "the tool or its dialog was missing";
    EXPECT_EQ(EquationLines(log, "before-save"), std::vector<std::string>{std::string("question ") + kQuadratic});
    const fs::path question = Workspace() / "local_exam" / "ek-1";
    ASSERT_TRUE(fs::exists(question / "obj-exam.hwp"));
    const std::u16string script(std::begin(u"x = {-b +- sqrt {b^2 - 4ac}} over {2a}"),
                                std::end(u"x = {-b +- sqrt {b^2 - 4ac}} over {2a}") - 1);
    EXPECT_EQ(Scripts(question / "obj-exam.hwp"), std::vector<std::u16string>{script});
    ExpectEverythingSound(Workspace());

    // The printed question shows the formula drawn, not as a box: its fraction bar is a
    // solid dark rule several letters wide, one to a few pixels thick, with glyphs above
    // and below it.
    if (keep != nullptr)
        fs::copy_file(question / "1-print-obj-exam001.png", fs::path(keep) / "equation-print-obj-exam001.png",
                      fs::copy_options::overwrite_existing);
    QImage print(QString::fromStdString((question / "1-print-obj-exam001.png").string()));
    ASSERT_FALSE(print.isNull());
    print = print.convertToFormat(QImage::Format_RGB32);
    const auto [length, row] = LongestDarkRun(print);
    const double letter = print.width() / 60.0;   // about a 10 pt letter on a B4/A4 sheet
    EXPECT_GT(length, 3 * letter) << "no fraction bar";
    int thick = 0;
    for (int y = row - 20; y <= row + 20; ++y)
        if (y >= 0 && y < print.height() && LongestDarkRun(print.copy(0, y, print.width(), 1)).first > length / 2)
            ++thick;
    EXPECT_LE(thick, std::max(3, static_cast<int>(letter / 6))) << "a blurred or scaled bar";
    int above = 0, below = 0;
    for (int y = std::max(0, row - static_cast<int>(letter)); y < row - 2; ++y)
        for (int x = 0; x < print.width(); ++x)
            above += qGray(print.pixel(x, y)) < 100;
    for (int y = row + 3; y < std::min(print.height(), row + static_cast<int>(letter)); ++y)
        for (int x = 0; x < print.width(); ++x)
            below += qGray(print.pixel(x, y)) < 100;
    EXPECT_GT(above, 0);
    EXPECT_GT(below, 0);

    // Reopened from its archives alone, the question pane holds the same script.
    for (const char* name : {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"})
        fs::remove(question / name);
    ClearLog();
    const auto reopened = RunDriver("reopen", {{"VARNEL_DRIVER_OPEN", (question / "1.dat").string()}});
    EXPECT_TRUE(LinesStartingWith(reopened, "message ").empty());
    EXPECT_EQ(EquationLines(reopened, "reopened"), std::vector<std::string>{std::string("question ") + kQuadratic});
}

} // namespace
} // namespace e2e
