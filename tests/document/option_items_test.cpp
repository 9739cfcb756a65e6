// The options pane read as items: real option texts as teachers type them give their
// items with content intact; hostile ones give none and say why. Then the edits that keep
// marks and answer in step: the layout that fits, the answer's marks, the points mark.
#include "tests/editor/editor_testing.h"

#include "document/hwp_mapping.h"
#include "document/option_items.h"
#include "editor/equation_tools.h"
#include "editor/picture_tools.h"
#include "editor/table_tools.h"

#include <QBuffer>
#include <QImage>
#include <QTextEdit>
#include <QTextTable>

namespace {

using namespace Qt::StringLiterals;
using editor::OptionArrangement;
using editor::OptionScanResult;

// Builds the pane's text from a small script: text as typed ("\n" ends a paragraph),
// "{eq:SCRIPT}" an equation, "{pic}" a picture, "{table:A|B}" a 1 x 2 table with cells A
// and B, "{box:L1|L2}" a <보기> box with those lines.
class OptionItemsTest : public editor_testing::PaneTest {
protected:
    void Build(const QString& script)
    {
        QString rest = script;
        while (!rest.isEmpty()) {
            const int open = rest.indexOf(u'{');
            if (open != 0) {
                Insert(rest.left(open < 0 ? rest.size() : open));
                rest = open < 0 ? QString() : rest.mid(open);
                continue;
            }
            const int close = rest.indexOf(u'}');
            const QString command = rest.mid(1, close - 1);
            rest = rest.mid(close + 1);
            if (command.startsWith(u"eq:")) {
                ASSERT_TRUE(editor::InsertEquation(*m_pane, command.mid(3)));
            } else if (command == u"pic") {
                QImage image(40, 20, QImage::Format_RGB32);
                image.fill(Qt::blue);
                QByteArray png;
                QBuffer buffer(&png);
                buffer.open(QIODevice::WriteOnly);
                image.save(&buffer, "PNG");
                QString error;
                ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, png, error)) << error.toStdString();
            } else if (command.startsWith(u"table:")) {
                const QStringList cells = command.mid(6).split(u'|');
                QTextTable* table = editor::InsertNewTable(*m_pane, 1, static_cast<int>(cells.size()));
                ASSERT_NE(table, nullptr);
                for (int i = 0; i < cells.size(); ++i)
                    table->cellAt(0, i).firstCursorPosition().insertText(cells[i]);
                MoveToEnd();
            } else if (command.startsWith(u"box:")) {
                ASSERT_NE(editor::InsertBoxTable(*m_pane), nullptr);
                m_pane->TextView()->textCursor().insertText(command.mid(4).replace(u'|', QChar::ParagraphSeparator));
                MoveToEnd();
            }
        }
    }
    void Insert(const QString& text)
    {
        MoveToEnd();
        m_pane->TextView()->textCursor().insertText(QString(text).replace(u'\n', QChar::ParagraphSeparator));
    }
    void MoveToEnd() { m_pane->TextView()->moveCursor(QTextCursor::End); }
    QTextDocument& Text() { return m_pane->Document().Text(); }
    std::vector<QString> Contents(const editor::OptionScan& scan)
    {
        std::vector<QString> texts;
        for (const editor::OptionContent& content : editor::ItemContents(Text(), scan))
            texts.push_back(content.text);
        return texts;
    }
};

const QString kObject(QChar::ObjectReplacementCharacter);

struct ReadCase {
    const char* name;
    QString script;
    OptionScanResult result;
    std::vector<int> numbers;
    std::vector<QString> contents; // compared when given
};

TEST_F(OptionItemsTest, RealOptionTextsGiveTheirItemsAndHostileOnesNone)
{
    const ReadCase cases[] = {
        {"one per line", u"① 3\n② 5\n③ 7\n④ 9\n⑤ 11\n"_s, OptionScanResult::Items, {1, 2, 3, 4, 5}, {u"3"_s, u"5"_s, u"7"_s, u"9"_s, u"11"_s}},
        {"one row with tabs", u"① 3\t② 5\t③ 7\t④ 9\t⑤ 11"_s, OptionScanResult::Items, {1, 2, 3, 4, 5}, {u"3"_s, u"5"_s, u"7"_s, u"9"_s, u"11"_s}},
        {"one row with single blanks", u"① 3 ② 5 ③ 7 ④ 9 ⑤ 11"_s, OptionScanResult::Items, {1, 2, 3, 4, 5}, {}},
        {"two columns", u"① 가\t② 나\n③ 다\t④ 라\n⑤ 마"_s, OptionScanResult::Items, {1, 2, 3, 4, 5}, {u"가"_s, u"나"_s, u"다"_s, u"라"_s, u"마"_s}},
        {"equations", u"① {eq:x^2}\n② {eq:2x + 1}\n③ 3"_s, OptionScanResult::Items, {1, 2, 3}, {kObject, kObject, u"3"_s}},
        {"a picture", u"① {pic} 그림\n② 없음"_s, OptionScanResult::Items, {1, 2}, {kObject + u" 그림"_s, u"없음"_s}},
        {"parenthesized", u"(1) 가\n(2) 나\n(3) 다"_s, OptionScanResult::Items, {1, 2, 3}, {u"가"_s, u"나"_s, u"다"_s}},
        {"closing bracket, a bracket in the text", u"1) 가\n2) 조건 5) 에 따라"_s, OptionScanResult::Items, {1, 2}, {u"가"_s, u"조건 5) 에 따라"_s}},
        {"a <보기> box before the options", u"{box:ㄱ. 하나|ㄴ. 둘}① ㄱ\n② ㄴ"_s, OptionScanResult::Items, {1, 2}, {u"ㄱ"_s, u"ㄴ"_s}},
        {"out of order and repeated", u"① 가\n③ 나\n③ 다"_s, OptionScanResult::Items, {1, 3, 3}, {}},
        {"marks in table cells", u"{table:① 가|② 나}"_s, OptionScanResult::MarkInTable, {}, {}},
        {"a mark in the middle of a sentence", u"① 가는 ②와 같다\n② 나"_s, OptionScanResult::MarkInSentence, {}, {}},
        {"a reference only", u"철수는 ③번을 골랐다."_s, OptionScanResult::MarkInSentence, {}, {}},
        {"⑥", u"① 가\n⑥ 나"_s, OptionScanResult::MarkOutOfRange, {}, {}},
        {"no marks at all", u"가나다\n라마"_s, OptionScanResult::NoMarks, {}, {}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_pane->ClearDocument(0);
        Build(c.script);
        const editor::OptionScan scan = editor::ScanOptions(Text());
        EXPECT_EQ(scan.result, c.result);
        EXPECT_EQ(scan.Numbers(), c.numbers);
        if (!c.contents.empty()) {
            EXPECT_EQ(Contents(scan), c.contents);
        }
    }
}

TEST_F(OptionItemsTest, TheChecksNameWhatASaveAsksAbout)
{
    struct Case {
        QString script;
        std::string answer;
        std::vector<int> missing;
        bool disordered;
        bool tooFew;
    };
    const Case cases[] = {
        {u"① 가\n② 나"_s, "3", {3}, false, false},
        {u"① 가\n② 나"_s, "1,2", {}, false, false},
        {u"① 가\n③ 나\n② 다"_s, "2", {}, true, false},
        {u"① 가\n① 나"_s, "1", {}, true, false},
        {u"① 가"_s, "1", {}, false, true},
        {u"가나다"_s, "", {}, false, true},
        {u"{table:① 가|② 나}"_s, "5", {}, false, false}, // the reader cannot speak for a table
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        m_pane->ClearDocument(0);
        Build(c.script);
        const editor::OptionProblems problems =
            editor::CheckOptions(editor::ScanOptions(Text()), editor::AnswerNumbers(c.answer));
        EXPECT_EQ(problems.missingAnswers, c.missing);
        EXPECT_EQ(problems.disordered, c.disordered);
        EXPECT_EQ(problems.tooFew, c.tooFew);
    }
}

TEST_F(OptionItemsTest, OptionsAreLaidOutInTheArrangementThatFitsWithTheirContentKept)
{
    Build(u"앞말\n① {eq:x^2}\n② 5\n③ 7\n④ 9\n⑤ 11"_s);
    const double width = 600;
    editor::OptionScan scan = editor::ScanOptions(Text());
    QTextCursor cursor(&Text());
    EXPECT_EQ(editor::WriteOptions(cursor, scan, editor::ItemContents(Text(), scan), OptionArrangement::OneRow, width),
              OptionArrangement::OneRow);
    EXPECT_EQ(Text().toPlainText(), u"앞말\n① "_s + kObject + u"\t② 5\t③ 7\t④ 9\t⑤ 11"_s);
    scan = editor::ScanOptions(Text());
    ASSERT_TRUE(scan.Found());
    const auto tabs = Text().findBlock(scan.items[0].markStart).blockFormat().tabPositions();
    ASSERT_EQ(tabs.size(), 4);
    EXPECT_DOUBLE_EQ(tabs[0].position, 120.0);
    EXPECT_EQ(editor::CurrentArrangement(Text(), scan), OptionArrangement::OneRow);
    // The stops go into the file and come back: the options line up again when reopened.
    ASSERT_TRUE(editor::WriteHwpFile(m_pane->Document(), PathOf("row.hwp")));
    const auto reread = editor::ReadHwpFile(PathOf("row.hwp"));
    ASSERT_TRUE(reread);
    const editor::OptionScan rescan = editor::ScanOptions(reread->Text());
    ASSERT_TRUE(rescan.Found());
    EXPECT_EQ(reread->Text().findBlock(rescan.items[0].markStart).blockFormat().tabPositions(), tabs);

    // A long option does not fit a fifth of the line: two columns, then one per line.
    std::vector<editor::OptionContent> contents = editor::ItemContents(Text(), scan);
    contents[1].rich = {};
    contents[1].text = u"바람을 타고 아주 멀리까지 날아가서"_s;
    EXPECT_EQ(editor::WriteOptions(cursor, scan, contents, OptionArrangement::OneRow, width), OptionArrangement::TwoColumns);
    EXPECT_EQ(Text().toPlainText(), u"앞말\n① "_s + kObject + u"\t② 바람을 타고 아주 멀리까지 날아가서\n③ 7\t④ 9\n⑤ 11"_s);
    scan = editor::ScanOptions(Text());
    contents = editor::ItemContents(Text(), scan);
    contents[2] = {{}, QString(60, u'가')};
    EXPECT_EQ(editor::WriteOptions(cursor, scan, contents, OptionArrangement::OneRow, width), OptionArrangement::OnePerLine);
    EXPECT_EQ(editor::ScanOptions(Text()).Numbers(), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(OptionItemsTest, AnswerMarksFollowTheirOptionsAndStayAscending)
{
    struct Case {
        QString answer;
        std::vector<int> newNumberOf; // index: old number
        QString expected;
    };
    const Case cases[] = {
        {u"정답 : ③"_s, {0, 2, 3, 1, 4, 5}, u"정답 : ①"_s},
        {u"정답 : ①, ④"_s, {0, 5, 2, 3, 1, 4}, u"정답 : ①, ⑤"_s},
        {u"정답 : ①, ④"_s, {0, 0, 1, 2, 3, 4}, u"정답 : ③"_s},
        {u"정답 : ⑥"_s, {0, 2, 1, 3, 4, 5}, u"정답 : ⑥"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        QTextDocument answer;
        QTextCursor cursor(&answer);
        cursor.insertText(c.answer);
        editor::RemapAnswerMarks(cursor, c.newNumberOf);
        EXPECT_EQ(answer.toPlainText(), c.expected);
    }
}

TEST_F(OptionItemsTest, LinkedEditsUndoTogetherButNeverUndoLaterTyping)
{
    QTextDocument options, answer;
    QTextCursor(&options).insertText(u"① 가\n② 나"_s);
    QTextCursor(&answer).insertText(u"②"_s);
    {
        editor::LinkedEdit edit(options, answer);
        edit.First().insertText(u"!"_s);
        edit.Second().insertText(u"?"_s);
        edit.Finish(true);
    }
    answer.undo();
    EXPECT_EQ(options.toPlainText(), u"① 가\n② 나"_s);
    EXPECT_EQ(answer.toPlainText(), u"②"_s);
    options.redo();
    EXPECT_EQ(options.toPlainText(), u"!① 가\n② 나"_s);
    EXPECT_EQ(answer.toPlainText(), u"?②"_s);
    // Typed in the answer since: undoing the options leaves that typing alone.
    QTextCursor typing(&answer);
    typing.movePosition(QTextCursor::End);
    typing.insertText(u" 정답"_s);
    options.undo();
    EXPECT_EQ(options.toPlainText(), u"① 가\n② 나"_s);
    EXPECT_EQ(answer.toPlainText(), u"?② 정답"_s);
}

TEST_F(OptionItemsTest, BoxStatementsAndThePointsMarkAfterTheStem)
{
    Build(u"다음 중 옳은 것만을 <보기>에서 있는 대로 고른 것은?\n{box:ㄱ. 가|ㄴ. 나|ㄷ. 다}"_s);
    EXPECT_EQ(editor::BoxStatements(Text()), (std::vector<QString>{u"ㄱ"_s, u"ㄴ"_s, u"ㄷ"_s}));
    ASSERT_EQ(editor::CombinationSets(3).size(), 4u);
    EXPECT_EQ(editor::CombinationSets(3)[0][2], u"ㄱ, ㄴ"_s);
    EXPECT_TRUE(editor::CombinationSets(2).empty());

    QTextCursor cursor(&Text());
    ASSERT_TRUE(editor::PutPointsMark(cursor, editor::PointsMark(30)));
    EXPECT_TRUE(Text().begin().text().endsWith(u"고른 것은? [3점]"_s));
    ASSERT_TRUE(editor::PutPointsMark(cursor, editor::PointsMark(33)));
    EXPECT_TRUE(Text().begin().text().endsWith(u"고른 것은? [3.3점]"_s)) << Text().begin().text().toStdString();
    // Another way of writing the mark replaces it too.
    ASSERT_TRUE(editor::PutPointsMark(cursor, editor::PointsMark(25, u"[배점 %1점]"_s)));
    EXPECT_TRUE(Text().begin().text().endsWith(u"고른 것은? [배점 2.5점]"_s)) << Text().begin().text().toStdString();
    EXPECT_EQ(editor::BoxStatements(Text()).size(), 3u) << "the box is untouched";

    QTextDocument empty;
    QTextCursor nothing(&empty);
    EXPECT_FALSE(editor::PutPointsMark(nothing, u"[3점]"_s));
}

} // namespace
