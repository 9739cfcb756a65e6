// A question with a figure: authored in the dialog, saved, reopened from its archives,
// and printed with the figure's pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include "app/varnel_dlg.h"
#include "dialog/dialog_view.h"
#include "editor/hwpctrl.h"
#include "editor/kept_objects.h"
#include "editor/picture_tools.h"
#include "hwp/picture.h"
#include "store/archive.h"
#include "support/launch_values.h"

#include "tests/store/store_testing.h"

namespace fs = std::filesystem;
using namespace dlg;
using store_testing::ScratchFolder;

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "app_dialog_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

// A figure as a diagram of a science question might be: a saturated orange disc on a
// pale green ground with a dark blue bar beneath, colours no template or text uses.
QByteArray Figure()
{
    QImage image(240, 160, QImage::Format_RGB32);
    image.fill(QColor(200, 240, 200));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 120, 0));
    painter.drawEllipse(QPointF(120, 70), 55, 55);
    painter.fillRect(20, 135, 200, 15, QColor(10, 30, 140));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Pixels of the figure's orange (any shade a downscale leaves) and its blue.
struct FigureInk {
    int orange = 0;
    int blue = 0;
};
FigureInk InkOf(const QImage& image)
{
    FigureInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ink.orange += c.red() > 220 && c.green() > 80 && c.green() < 160 && c.blue() < 60;
            ink.blue += c.blue() > 100 && c.red() < 50 && c.green() < 70;
        }
    return ink;
}

// The bytes each picture of the pane's document shows.
std::vector<std::string> PictureBytes(editor::CHwpctrl& pane)
{
    std::vector<std::string> out;
    const QTextDocument& text = pane.Document().Text();
    for (int i = 0; i + 1 < text.characterCount(); ++i) {
        if (editor::PictureCharacterAt(text, i) != i)
            continue;
        QTextCursor cursor(const_cast<QTextDocument*>(&text));
        cursor.setPosition(i + 1);
        const editor::KeptObjectRef object = editor::KeptObjectOf(cursor.charFormat());
        const hwp::Picture picture = hwp::ReadPicture(object->control);
        const hwp::BinDataItem* item = hwp::PictureBinData(*object->origin, picture);
        out.push_back(item ? hwp::BinDataBytes(*item) : std::string());
    }
    return out;
}

class DialogPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        const char* build = std::getenv("VARNEL_BINARY_DIR");
        ASSERT_TRUE(build);
        setenv("VARNEL_PROGRAM_FILES", (std::string(build) + "/stage/opt").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_scratch / "data").c_str(), 1);
        g_schoolKey = 5, g_userKey = 6;
    }
    void TearDown() override
    {
        m_dialog.reset();
        unsetenv("XDG_DATA_HOME");
        g_schoolKey = g_userKey = 0;
    }

    void Type(int id, const QString& text)
    {
        auto* pane = m_dialog->Pane(id);
        pane->RunAction(u"MoveDocEnd");
        pane->InsertPlainText(text);
    }
    std::string Workspace() const { return m_scratch / "data/korvane/telquin/5/6"; }

    ScratchFolder m_scratch;
    std::unique_ptr<CVarnelDlg> m_dialog;
};

TEST_F(DialogPictures, AFigureInTheQuestionIsSavedReopenedFromTheArchivesAndPrinted)
{
    m_dialog = std::make_unique<CVarnelDlg>([] { return QSize(1920, 1080); });
    m_dialog->Core().m_applyLaunchRecord = [this] {
        m_dialog->Core().StartNewQuestion();
        return true;
    };
    m_dialog->OnInitDialog();
    CVarnelDlg& dialog = *m_dialog;

    const QByteArray figure = Figure();
    editor::CHwpctrl& question = *dialog.Pane(IDC_PANE_QUESTION);
    Type(IDC_PANE_QUESTION, QStringLiteral("그림은 어떤 천체의 모습이다. 이 천체는?\n"));
    question.RunAction(u"MoveDocEnd");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(question, figure, error, 96)) << error.toStdString();
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 달\n② 태양"));
    Type(IDC_PANE_ANSWER, QStringLiteral("②"));
    Type(IDC_PANE_EXPLAIN, QStringLiteral("스스로 빛을 낸다."));

    QStringList messages;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            messages << box->text();
            box->buttons().value(0)->click();
        }
    });
    answer.start();
    dialog.m_onSave();
    answer.stop();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    const std::string folder = Workspace() + "/local_exam/ek-1";
    ASSERT_TRUE(fs::exists(folder + "/1-exam.zip"));
    ASSERT_TRUE(fs::exists(folder + "/1-print.zip"));

    // The page image of the question shows the figure, and so does the cropped print image
    // the archive holds.
    const QImage page(QString::fromStdString(folder + "/1-print-obj-exam001.png"));
    ASSERT_FALSE(page.isNull());
    const FigureInk onPage = InkOf(page);
    EXPECT_GT(onPage.orange, 500);
    EXPECT_GT(onPage.blue, 200);
    fs::remove(folder + "/print-obj-exam.png");
    ASSERT_TRUE(UnpackArchive(folder, "1-print.zip"));
    const QImage print(QString::fromStdString(folder + "/print-obj-exam.png"));
    ASSERT_FALSE(print.isNull());
    const FigureInk printed = InkOf(print);
    EXPECT_GT(printed.orange, 500);
    EXPECT_GT(printed.blue, 200);
    EXPECT_LT(print.height(), page.height()) << "cropped to the question";

    // Reopened from the archives alone: the figure with the very bytes inserted.
    for (const char* name : {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"})
        fs::remove(folder + "/" + name);
    dialog.Core().ResetPaneDocuments(1);
    ASSERT_TRUE(PictureBytes(question).empty());
    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(store_testing::ReadFile(folder + "/1.dat"));
    const std::vector<std::string> reopened = PictureBytes(*dialog.Pane(IDC_PANE_QUESTION));
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(reopened[0], figure.toStdString());
    EXPECT_TRUE(dialog.Pane(IDC_PANE_QUESTION)->TextView()->toPlainText().contains(QStringLiteral("천체")));
}

} // namespace
