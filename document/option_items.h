// The options pane as items. ScanOptions splits its document at the marks ① ② ③ ④ ⑤ (or
// (1)…(5), or 1)…5), as teachers type them) into items, each the rich content between
// its mark and the next one; the edits below keep those marks, and the answer pane's
// marks, in step with the items: reordering, adding and deleting options, laying them out
// one per line, in two columns or in one row, filling them with <보기> combinations, and
// the points mark "[3점]" at the end of the question's stem.
//
// The reader does not guess: a mark inside a table cell, a mark in the middle of a
// sentence or a mark above ⑤ gives no items and says which it was.
//
// Headless: everything works on QTextDocument; who calls it is the dialog (dialog/).
#pragma once

#include <QString>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace editor {

enum class OptionMarkStyle { Circled, Parenthesized, Closing };

struct OptionItem {
    int number = 0;       // what its mark says
    int markStart = 0;    // document positions
    int contentStart = 0; // after the mark and the blanks behind it
    int contentEnd = 0;   // before the blanks and paragraph breaks ahead of the next mark
};

enum class OptionScanResult {
    Items,
    NoMarks,
    MarkInTable,    // a table holds a mark: a grid of the options, or a table of data?
    MarkInSentence, // a mark that starts no item: a reference, or an item typed in a row?
    MarkOutOfRange, // ⑥ or above at an item's start
};

struct OptionScan {
    OptionScanResult result = OptionScanResult::NoMarks;
    OptionMarkStyle style = OptionMarkStyle::Circled;
    std::vector<OptionItem> items; // empty unless result is Items

    bool Found() const { return result == OptionScanResult::Items; }
    // The marks' numbers in document order.
    std::vector<int> Numbers() const;
};

OptionScan ScanOptions(const QTextDocument& document);

// The mark of number n in a style: "③", "(3)", "3)".
QString OptionMark(OptionMarkStyle style, int number);

// --- checks ------------------------------------------------------------------------------

// What a save asks about: answer numbers the options lack; marks that repeat or are out
// of order; fewer than two options. Empty when all is well or when the reader found
// nothing it can speak for (a table of marks, a mark in a sentence).
struct OptionProblems {
    std::vector<int> missingAnswers;
    bool disordered = false;
    bool tooFew = false;
    bool Any() const { return !missingAnswers.empty() || disordered || tooFew; }
};
OptionProblems CheckOptions(const OptionScan& scan, const std::vector<int>& answerNumbers);
// "1,4" → {1, 4}.
std::vector<int> AnswerNumbers(const std::string& answer);

// --- arrangement -------------------------------------------------------------------------

enum class OptionArrangement { OnePerLine, TwoColumns, OneRow };

// How the found items stand now: how many share the first item's paragraph.
OptionArrangement CurrentArrangement(const QTextDocument& document, const OptionScan& scan);
// `wanted`, or the next with fewer options per row, whose columns hold every item of
// these widths (layout pixels) within `bodyWidth`.
OptionArrangement FittingArrangement(OptionArrangement wanted, const std::vector<double>& itemWidths,
                                     double bodyWidth);
// An option's content: what an item held, or (with `rich` empty) a text written in the
// marks' format.
struct OptionContent {
    QTextDocumentFragment rich;
    QString text;
};

// The width of mark and content on one line, in the document's fonts.
double ItemWidth(const QTextDocument& document, OptionMarkStyle style, const OptionContent& content);

// --- edits -------------------------------------------------------------------------------

// The content of each item, in document order.
std::vector<OptionContent> ItemContents(const QTextDocument& document, const OptionScan& scan);

// Replaces the found items (or, with none found, appends after what the pane holds) with
// `contents`, numbered 1.. in that order and arranged as asked where they fit. The text
// before the first mark stays. One undo step when called inside the cursor's edit block.
// Returns the arrangement used.
OptionArrangement WriteOptions(QTextCursor& cursor, const OptionScan& scan,
                               const std::vector<OptionContent>& contents, OptionArrangement wanted,
                               double bodyWidth);

// Sets the tab stops of the found items' paragraphs for the arrangement they have now,
// without touching their text; false when they were already right.
bool SetOptionTabStops(QTextCursor& cursor, const OptionScan& scan, double bodyWidth);

// Rewrites the marks ①..⑤ of the answer pane: old number n becomes newNumberOf[n] (0: the
// mark goes). Marks listed together ("①, ④") stay in ascending order. Returns how many
// marks changed.
int RemapAnswerMarks(QTextCursor& answer, const std::vector<int>& newNumberOf);

struct LinkState;

// Two edit blocks, one in each document, that undo and redo as one: undoing either undoes
// the other's block too, as long as that block is still the last step of its document
// (typing in the other pane since then is never undone by it).
class LinkedEdit {
public:
    LinkedEdit(QTextDocument& first, QTextDocument& second);
    ~LinkedEdit();
    LinkedEdit(const LinkedEdit&) = delete;
    LinkedEdit& operator=(const LinkedEdit&) = delete;
    QTextCursor& First() { return m_cursors[0]; }
    QTextCursor& Second() { return m_cursors[1]; }
    // Ends both blocks; `link` false when the second document was not changed.
    void Finish(bool link);

private:
    QTextCursor m_cursors[2];
    std::shared_ptr<LinkState> m_state;
    bool m_finished = false;
};

// --- <보기> combinations -----------------------------------------------------------------

// The statement letters ("ㄱ", "ㄴ", …) of the first <보기> box of the document: a table
// holding lines that start "ㄱ." "ㄴ." "ㄷ." in that order; empty without one.
std::vector<QString> BoxStatements(const QTextDocument& document);
// The standard sets of five combinations for 3 or 4 statements; each set five texts
// such as "ㄱ, ㄴ".
std::vector<std::vector<QString>> CombinationSets(int statements);

// --- points ------------------------------------------------------------------------------

// "[3점]", "[3.3점]" from tenths of a point; `format` holds "%1" where the number goes.
QString PointsMark(std::int32_t tenths, const QString& format = QStringLiteral("[%1점]"));
// Puts the mark at the end of the stem (the last paragraph with text before the first
// table), replacing a points mark already there. False when the document has no text.
bool PutPointsMark(QTextCursor& cursor, const QString& mark);

} // namespace editor
