// The picker dialog offscreen: choosing with the mouse and the keyboard, narrowing the
// list, and cancelling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "tools/fennick/fennick_dialog.h"

namespace {

using fennick::CFennickDlg;
using fennick::ItemKind;
using fennick::PickerItem;

std::vector<PickerItem> SampleItems()
{
    PickerItem passage;
    passage.kind = ItemKind::LocalPassage;
    passage.storeKind = "local_examtext";
    passage.key = 7;
    passage.firstLine = "봄이 오면 산에 들에";
    passage.modified = 300;

    PickerItem stored;
    stored.kind = ItemKind::StoredPassage;
    stored.storeKind = "examtext";
    stored.key = 1234567;
    stored.firstLine = "다음 글을 읽고 물음에 답하시오.";
    stored.modified = 200;

    PickerItem question;
    question.kind = ItemKind::Question;
    question.storeKind = "local_exam";
    question.key = 12;
    question.examName = "분수의 덧셈";
    question.recordText = "{\"exam_key\":12,\"exam_name\":\"분수의 덧셈\"}";
    question.modified = 100;
    return {passage, stored, question};
}

fennick::PickerRequest SampleRequest() { return {3, 15, "http://exam.example/api"}; }

// Typed text as an input method commits it; QTest::keyClicks takes Latin-1 only.
void TypeText(QWidget* widget, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

int VisibleRows(const CFennickDlg& dialog)
{
    int visible = 0;
    for (int row = 0; row < dialog.ItemList()->count(); ++row)
        visible += dialog.ItemList()->item(row)->isHidden() ? 0 : 1;
    return visible;
}

TEST(FennickDialog, DoubleClickingAQuestionAnswersItsRecord)
{
    CFennickDlg dialog(SampleRequest(), SampleItems());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QListWidget* list = dialog.ItemList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(dialog.ItemAt(2).key, 12u);

    const QRect rect = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Answer(),
              "{\"exam_key\":12,\"exam_name\":\"분수의 덧셈\",\"content_type\":\"exam\",\"exam_local\":\"local_exam\"}");
}

TEST(FennickDialog, SearchNarrowsTheListAndEnterChoosesWhatIsLeft)
{
    CFennickDlg dialog(SampleRequest(), SampleItems());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    TypeText(dialog.SearchBox(), QStringLiteral("물음"));
    EXPECT_EQ(VisibleRows(dialog), 1);
    EXPECT_EQ(dialog.CountLabel()->text(), QStringLiteral("3개 중 1개"));
    QTest::keyClick(dialog.SearchBox(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Answer(), "{\"content_type\":\"examtext\",\"examtext_key\":1234567,\"examtext_local\":\"examtext\"}");
}

TEST(FennickDialog, NoMatchLeavesNothingToChoose)
{
    CFennickDlg dialog(SampleRequest(), SampleItems());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    TypeText(dialog.SearchBox(), QStringLiteral("없는말"));
    EXPECT_EQ(VisibleRows(dialog), 0);
    EXPECT_FALSE(dialog.ChooseButton()->isEnabled());
    QTest::keyClick(dialog.SearchBox(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Answer(), "");

    dialog.SearchBox()->clear();
    EXPECT_EQ(VisibleRows(dialog), 3);
    EXPECT_TRUE(dialog.ChooseButton()->isEnabled());
}

TEST(FennickDialog, KindFilterShowsPassagesOrQuestions)
{
    CFennickDlg dialog(SampleRequest(), SampleItems());
    dialog.KindFilter()->setCurrentIndex(CFennickDlg::PassagesOnly);
    EXPECT_EQ(VisibleRows(dialog), 2);
    EXPECT_TRUE(dialog.ItemList()->item(2)->isHidden());
    dialog.KindFilter()->setCurrentIndex(CFennickDlg::QuestionsOnly);
    EXPECT_EQ(VisibleRows(dialog), 1);
    EXPECT_EQ(dialog.ItemList()->currentItem(), dialog.ItemList()->item(2));
}

TEST(FennickDialog, CancellingLeavesNoAnswer)
{
    {
        CFennickDlg dialog(SampleRequest(), SampleItems());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QPushButton* cancel = nullptr;
        for (auto* button : dialog.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("취소"))
                cancel = button;
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.Answer(), "");
    }
    {
        CFennickDlg dialog(SampleRequest(), SampleItems());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.Answer(), "");
    }
}

TEST(FennickDialog, EmptyWorkspaceSaysSoAndShowsTheServerOnly)
{
    CFennickDlg dialog(SampleRequest(), {});
    EXPECT_FALSE(dialog.ChooseButton()->isEnabled());
    EXPECT_EQ(dialog.CountLabel()->text(), QStringLiteral("작업 폴더에 지문이나 문제가 없습니다."));
    bool serverShown = false;
    for (auto* label : dialog.findChildren<QLabel*>())
        serverShown |= label->text().contains(QStringLiteral("http://exam.example/api"));
    EXPECT_TRUE(serverShown);
    EXPECT_TRUE(CFennickDlg::HelpText().contains(QStringLiteral("네트워크를 쓰지 않으며")));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
