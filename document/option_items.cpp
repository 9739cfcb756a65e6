#include "document/option_items.h"

#include "document/kept_objects.h"

#include <QAbstractUndoItem>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextTable>

#include <algorithm>

namespace editor {

namespace {

constexpr char16_t kFirstCircled = 0x2460; // ①; ⑳ is 0x2473
constexpr char16_t kLastCircled = 0x2473;
// Room between an option and the next column, so that neighbours never touch.
constexpr double kColumnGap = 12.0;

bool IsSpace(QChar c) { return c == u' ' || c == QChar(0x3000) || c == QChar(0xA0); }
bool IsBlank(QChar c) { return IsSpace(c) || c == u'\t'; }
bool IsTrimmable(QChar c)
{
    return IsBlank(c) || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

struct Candidate {
    int at = 0;
    int length = 0;
    int number = 0;
    OptionMarkStyle style = OptionMarkStyle::Circled;
};

// "12" at `at`: its value and length (one or two digits), or 0.
int DigitsAt(const QString& text, int at, int& length)
{
    length = 0;
    int value = 0;
    while (at + length < text.size() && length < 2 && text[at + length].isDigit() &&
           text[at + length].unicode() < 0x80) {
        value = value * 10 + (text[at + length].unicode() - u'0');
        ++length;
    }
    if (at + length < text.size() && text[at + length].isDigit())
        length = 0; // three digits and more are no mark
    return length > 0 ? value : 0;
}

std::vector<Candidate> CandidatesIn(const QString& text)
{
    std::vector<Candidate> found;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int length = 0;
        if (c >= kFirstCircled && c <= kLastCircled) {
            found.push_back({i, 1, c - kFirstCircled + 1, OptionMarkStyle::Circled});
        } else if (c == u'(') {
            const int number = DigitsAt(text, i + 1, length);
            if (length > 0 && i + 1 + length < text.size() && text[i + 1 + length] == u')')
                found.push_back({i, length + 2, number, OptionMarkStyle::Parenthesized});
        } else if (c >= u'0' && c <= u'9' && (i == 0 || !(text[i - 1].isLetterOrNumber() || text[i - 1] == u'(' ||
                                                           text[i - 1] == u'.'))) {
            const int number = DigitsAt(text, i, length);
            if (length > 0 && i + length < text.size() && text[i + length] == u')')
                found.push_back({i, length + 1, number, OptionMarkStyle::Closing});
        }
    }
    return found;
}

// Whether the mark starts an item: at the paragraph's start, after a tab or a wide gap,
// or after one blank when it is the next number and a blank follows it ("① 3 ② 5").
bool StartsItem(const QString& text, const Candidate& mark, int lastNumber)
{
    int j = mark.at;
    int blanks = 0;
    bool tab = false;
    while (j > 0 && IsBlank(text[j - 1])) {
        tab = tab || text[j - 1] == u'\t';
        blanks += text[j - 1] == QChar(0x3000) ? 2 : 1;
        --j;
    }
    if (j == 0 || tab || blanks >= 2)
        return true;
    const int after = mark.at + mark.length;
    return blanks == 1 && mark.number == lastNumber + 1 && after < text.size() && IsBlank(text[after]);
}

bool InTable(const QTextBlock& block) { return QTextCursor(block).currentTable() != nullptr; }

// The style of the first mark that starts a paragraph's item outside tables.
std::optional<OptionMarkStyle> FirstStyle(const QTextDocument& document, bool& circledInTable, bool& circledElsewhere)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool inTable = InTable(block);
        const QString text = block.text();
        for (const Candidate& mark : CandidatesIn(text)) {
            if (mark.style == OptionMarkStyle::Circled)
                (inTable ? circledInTable : circledElsewhere) = true;
            if (!inTable && StartsItem(text, mark, -10))
                return mark.style;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<int> OptionScan::Numbers() const
{
    std::vector<int> numbers;
    for (const OptionItem& item : items)
        numbers.push_back(item.number);
    return numbers;
}

OptionScan ScanOptions(const QTextDocument& document)
{
    OptionScan scan;
    bool circledInTable = false, circledElsewhere = false;
    const std::optional<OptionMarkStyle> style = FirstStyle(document, circledInTable, circledElsewhere);
    if (!style) {
        scan.result = circledInTable     ? OptionScanResult::MarkInTable
                      : circledElsewhere ? OptionScanResult::MarkInSentence
                                         : OptionScanResult::NoMarks;
        return scan;
    }
    scan.style = *style;
    std::vector<OptionItem> items;
    int last = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool inTable = InTable(block);
        const QString text = block.text();
        for (const Candidate& mark : CandidatesIn(text)) {
            if (mark.style != *style)
                continue;
            if (inTable) {
                scan.result = OptionScanResult::MarkInTable;
                return scan;
            }
            if (!StartsItem(text, mark, last)) {
                // Digits and a bracket are ordinary text mid-sentence; a circled digit is a mark.
                if (*style != OptionMarkStyle::Circled)
                    continue;
                scan.result = OptionScanResult::MarkInSentence;
                return scan;
            }
            if (mark.number < 1 || mark.number > 5) {
                scan.result = OptionScanResult::MarkOutOfRange;
                return scan;
            }
            OptionItem item;
            item.number = mark.number;
            item.markStart = block.position() + mark.at;
            int content = mark.at + mark.length;
            while (content < text.size() && IsBlank(text[content]))
                ++content;
            item.contentStart = block.position() + content;
            items.push_back(item);
            last = mark.number;
        }
    }
    const int documentEnd = document.characterCount() - 1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        int end = i + 1 < items.size() ? items[i + 1].markStart : documentEnd;
        while (end > items[i].contentStart && IsTrimmable(document.characterAt(end - 1)))
            --end;
        items[i].contentEnd = std::max(end, items[i].contentStart);
    }
    scan.items = std::move(items);
    scan.result = scan.items.empty() ? OptionScanResult::NoMarks : OptionScanResult::Items;
    return scan;
}

QString OptionMark(OptionMarkStyle style, int number)
{
    switch (style) {
    case OptionMarkStyle::Parenthesized: return QStringLiteral("(%1)").arg(number);
    case OptionMarkStyle::Closing: return QStringLiteral("%1)").arg(number);
    case OptionMarkStyle::Circled: break;
    }
    return number >= 1 && number <= 20 ? QString(QChar(char16_t(kFirstCircled + number - 1))) : QString::number(number);
}

// ---------------------------------------------------------------------------------------
// Checks

OptionProblems CheckOptions(const OptionScan& scan, const std::vector<int>& answerNumbers)
{
    OptionProblems problems;
    if (!scan.Found()) {
        problems.tooFew = scan.result == OptionScanResult::NoMarks;
        return problems;
    }
    const std::vector<int> numbers = scan.Numbers();
    for (std::size_t i = 0; i < numbers.size(); ++i)
        problems.disordered = problems.disordered || numbers[i] != static_cast<int>(i) + 1;
    problems.tooFew = numbers.size() < 2;
    for (int answer : answerNumbers) {
        if (std::find(numbers.begin(), numbers.end(), answer) == numbers.end())
            problems.missingAnswers.push_back(answer);
    }
    return problems;
}

std::vector<int> AnswerNumbers(const std::string& answer)
{
    std::vector<int> numbers;
    int value = 0;
    bool digits = false;
    for (std::size_t i = 0; i <= answer.size(); ++i) {
        if (i < answer.size() && answer[i] >= '0' && answer[i] <= '9') {
            value = value * 10 + (answer[i] - '0');
            digits = true;
        } else {
            if (digits)
                numbers.push_back(value);
            value = 0;
            digits = false;
        }
    }
    return numbers;
}

// ---------------------------------------------------------------------------------------
// Arrangement

namespace {

int PerRow(OptionArrangement arrangement, int count)
{
    switch (arrangement) {
    case OptionArrangement::OneRow: return std::max(1, count);
    case OptionArrangement::TwoColumns: return 2;
    case OptionArrangement::OnePerLine: break;
    }
    return 1;
}

OptionArrangement Fewer(OptionArrangement arrangement)
{
    return arrangement == OptionArrangement::OneRow ? OptionArrangement::TwoColumns : OptionArrangement::OnePerLine;
}

QList<QTextOption::Tab> TabStops(int perRow, double bodyWidth)
{
    QList<QTextOption::Tab> tabs;
    for (int column = 1; column < perRow; ++column)
        tabs.append(QTextOption::Tab(bodyWidth * column / perRow, QTextOption::LeftTab));
    return tabs;
}

} // namespace

OptionArrangement CurrentArrangement(const QTextDocument& document, const OptionScan& scan)
{
    if (scan.items.empty())
        return OptionArrangement::OnePerLine;
    const int first = document.findBlock(scan.items.front().markStart).blockNumber();
    int together = 0;
    for (const OptionItem& item : scan.items)
        together += document.findBlock(item.markStart).blockNumber() == first ? 1 : 0;
    return together >= 3 ? OptionArrangement::OneRow
           : together == 2 ? OptionArrangement::TwoColumns
                           : OptionArrangement::OnePerLine;
}

OptionArrangement FittingArrangement(OptionArrangement wanted, const std::vector<double>& itemWidths, double bodyWidth)
{
    const int count = static_cast<int>(itemWidths.size());
    for (OptionArrangement arrangement = wanted;; arrangement = Fewer(arrangement)) {
        const int perRow = PerRow(arrangement, count);
        if (perRow <= 1 || count <= 1)
            return arrangement;
        const double column = bodyWidth / perRow;
        if (std::all_of(itemWidths.begin(), itemWidths.end(), [&](double w) { return w + kColumnGap <= column; }))
            return arrangement;
    }
}

double ItemWidth(const QTextDocument& document, OptionMarkStyle style, const OptionContent& content)
{
    QTextDocument scratch;
    scratch.setDefaultFont(document.defaultFont());
    scratch.setDocumentMargin(0);
    InstallKeptObjectHandler(scratch);
    QTextCursor cursor(&scratch);
    cursor.insertText(OptionMark(style, 1) + u' ');
    if (content.rich.isEmpty())
        cursor.insertText(content.text);
    else
        cursor.insertFragment(content.rich);
    return scratch.idealWidth();
}

// ---------------------------------------------------------------------------------------
// Edits

std::vector<OptionContent> ItemContents(const QTextDocument& document, const OptionScan& scan)
{
    std::vector<OptionContent> contents;
    for (const OptionItem& item : scan.items) {
        QTextCursor cursor(document.begin());
        cursor.setPosition(item.contentStart);
        cursor.setPosition(item.contentEnd, QTextCursor::KeepAnchor);
        contents.push_back({cursor.selection(), cursor.selectedText()});
    }
    return contents;
}

OptionArrangement WriteOptions(QTextCursor& cursor, const OptionScan& scan,
                               const std::vector<OptionContent>& contents, OptionArrangement wanted,
                               double bodyWidth)
{
    QTextDocument& document = *cursor.document();
    const OptionMarkStyle style = scan.Found() ? scan.style : OptionMarkStyle::Circled;
    int from = document.characterCount() - 1;
    int to = from;
    if (scan.Found()) {
        from = scan.items.front().markStart;
        to = scan.items.back().contentEnd;
    }
    // The marks keep the look of the first one; new options take the document's end.
    QTextCursor probe(&document);
    probe.setPosition(scan.Found() ? from + 1 : from);
    QTextCharFormat markFormat = WithoutKeptObject(probe.charFormat());
    QTextBlockFormat blockFormat = document.findBlock(from).blockFormat();

    std::vector<double> widths;
    for (const OptionContent& content : contents)
        widths.push_back(ItemWidth(document, style, content));
    const OptionArrangement arrangement = FittingArrangement(wanted, widths, bodyWidth);
    const int perRow = PerRow(arrangement, static_cast<int>(contents.size()));
    blockFormat.setTabPositions(TabStops(perRow, bodyWidth));

    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (!scan.Found() && !cursor.block().text().trimmed().isEmpty())
        cursor.insertBlock(blockFormat, markFormat);
    cursor.setBlockFormat(blockFormat);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        if (i > 0 && i % perRow == 0)
            cursor.insertBlock(blockFormat, markFormat);
        else if (i > 0)
            cursor.insertText(QStringLiteral("\t"), markFormat);
        cursor.insertText(OptionMark(style, static_cast<int>(i) + 1) + u' ', markFormat);
        if (!contents[i].rich.isEmpty())
            cursor.insertFragment(contents[i].rich);
        else if (!contents[i].text.isEmpty())
            cursor.insertText(contents[i].text, markFormat);
    }
    return arrangement;
}

bool SetOptionTabStops(QTextCursor& cursor, const OptionScan& scan, double bodyWidth)
{
    QTextDocument& document = *cursor.document();
    const int perRow = PerRow(CurrentArrangement(document, scan), static_cast<int>(scan.items.size()));
    const QList<QTextOption::Tab> tabs = TabStops(perRow, bodyWidth);
    bool changed = false;
    int lastBlock = -1;
    for (const OptionItem& item : scan.items) {
        const QTextBlock block = document.findBlock(item.markStart);
        if (block.blockNumber() == lastBlock)
            continue;
        lastBlock = block.blockNumber();
        QTextBlockFormat format = block.blockFormat();
        if (format.tabPositions() == tabs)
            continue;
        format.setTabPositions(tabs);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        changed = true;
    }
    return changed;
}

namespace {

bool IsAnswerMark(QChar c) { return c.unicode() >= kFirstCircled && c.unicode() < kFirstCircled + 5; }
bool IsListSeparator(QChar c) { return c == u',' || IsSpace(c); }

} // namespace

int RemapAnswerMarks(QTextCursor& answer, const std::vector<int>& newNumberOf)
{
    QTextDocument& document = *answer.document();
    const int length = document.characterCount() - 1;
    std::vector<int> positions, olds;
    for (int p = 0; p < length; ++p) {
        if (IsAnswerMark(document.characterAt(p))) {
            positions.push_back(p);
            olds.push_back(document.characterAt(p).unicode() - kFirstCircled + 1);
        }
    }
    std::vector<int> news;
    for (int old : olds)
        news.push_back(old < static_cast<int>(newNumberOf.size()) ? newNumberOf[old] : old);
    // Marks listed together ("①, ④") stay ascending.
    for (std::size_t start = 0; start < positions.size();) {
        std::size_t end = start + 1;
        auto separated = [&](std::size_t i) {
            for (int p = positions[i - 1] + 1; p < positions[i]; ++p)
                if (!IsListSeparator(document.characterAt(p)))
                    return false;
            return true;
        };
        while (end < positions.size() && separated(end))
            ++end;
        std::vector<int> kept;
        for (std::size_t i = start; i < end; ++i)
            if (news[i] != 0)
                kept.push_back(news[i]);
        std::sort(kept.begin(), kept.end());
        for (std::size_t i = start, k = 0; i < end; ++i)
            if (news[i] != 0)
                news[i] = kept[k++];
        start = end;
    }
    int changed = 0;
    for (std::size_t i = positions.size(); i-- > 0;) {
        if (news[i] == olds[i])
            continue;
        ++changed;
        const int p = positions[i];
        answer.setPosition(p);
        answer.setPosition(p + 1, QTextCursor::KeepAnchor);
        if (news[i] != 0) {
            const QTextCharFormat format = answer.charFormat();
            answer.insertText(QString(QChar(char16_t(kFirstCircled + news[i] - 1))), format);
            continue;
        }
        // A mark that goes takes its separator with it.
        int end = p + 1;
        while (end < length && IsListSeparator(document.characterAt(end)))
            ++end;
        int start = p;
        if (end == p + 1 || end >= length || !IsAnswerMark(document.characterAt(end))) {
            end = p + 1;
            while (start > 0 && IsListSeparator(document.characterAt(start - 1)))
                --start;
            if (start == 0 || !IsAnswerMark(document.characterAt(start - 1)))
                start = p;
        }
        answer.setPosition(start);
        answer.setPosition(end, QTextCursor::KeepAnchor);
        answer.removeSelectedText();
    }
    return changed;
}

// ---------------------------------------------------------------------------------------
// Linked undo

struct LinkState {
    QPointer<QTextDocument> documents[2];
    int before[2] = {0, 0};
    int after[2] = {0, 0};
    bool busy = false;
};

namespace {

class LinkedUndoItem : public QAbstractUndoItem {
public:
    LinkedUndoItem(std::shared_ptr<LinkState> state, int self) : m_state(std::move(state)), m_self(self) {}
    void undo() override { Follow(true); }
    void redo() override { Follow(false); }

private:
    void Follow(bool undo)
    {
        LinkState& s = *m_state;
        const int other = 1 - m_self;
        QTextDocument* document = s.documents[other];
        if (s.busy || !document)
            return;
        // Only while the other block is that document's next step either way.
        const bool onTop = undo ? document->availableUndoSteps() == s.after[other]
                                : document->availableUndoSteps() == s.before[other] && document->isRedoAvailable();
        if (!onTop)
            return;
        s.busy = true;
        if (undo)
            document->undo();
        else
            document->redo();
        s.busy = false;
    }

    std::shared_ptr<LinkState> m_state;
    int m_self;
};

} // namespace

LinkedEdit::LinkedEdit(QTextDocument& first, QTextDocument& second)
    : m_cursors{QTextCursor(&first), QTextCursor(&second)}, m_state(std::make_shared<LinkState>())
{
    for (int i = 0; i < 2; ++i) {
        m_state->documents[i] = m_cursors[i].document();
        m_state->before[i] = m_cursors[i].document()->availableUndoSteps();
        m_cursors[i].beginEditBlock();
    }
}

LinkedEdit::~LinkedEdit()
{
    if (!m_finished)
        Finish(false);
}

void LinkedEdit::Finish(bool link)
{
    if (m_finished)
        return;
    m_finished = true;
    if (link) {
        for (int i = 0; i < 2; ++i)
            m_cursors[i].document()->appendUndoItem(new LinkedUndoItem(m_state, i));
    }
    for (int i = 0; i < 2; ++i) {
        m_cursors[i].endEditBlock();
        m_state->after[i] = m_cursors[i].document()->availableUndoSteps();
    }
}

// ---------------------------------------------------------------------------------------
// <보기> combinations

std::vector<QString> BoxStatements(const QTextDocument& document)
{
    static const char16_t kLetters[] = {u'ㄱ', u'ㄴ', u'ㄷ', u'ㄹ', u'ㅁ'};
    std::vector<QString> letters;
    const QTextTable* box = nullptr;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextTable* table = QTextCursor(block).currentTable();
        if (!table || (box && table != box))
            continue;
        const QString text = block.text().trimmed();
        if (letters.size() < std::size(kLetters) && text.size() >= 2 && text[0] == QChar(kLetters[letters.size()]) &&
            text[1] == u'.') {
            box = table;
            letters.push_back(QString(QChar(kLetters[letters.size()])));
        }
    }
    return letters;
}

std::vector<std::vector<QString>> CombinationSets(int statements)
{
    auto set = [](std::initializer_list<const char16_t*> items) {
        std::vector<QString> texts;
        for (const char16_t* item : items)
            texts.push_back(QString::fromUtf16(item));
        return texts;
    };
    if (statements == 3)
        return {set({u"ㄱ", u"ㄷ", u"ㄱ, ㄴ", u"ㄴ, ㄷ", u"ㄱ, ㄴ, ㄷ"}), set({u"ㄱ", u"ㄴ", u"ㄱ, ㄷ", u"ㄴ, ㄷ", u"ㄱ, ㄴ, ㄷ"}),
                set({u"ㄱ", u"ㄴ", u"ㄷ", u"ㄱ, ㄴ", u"ㄴ, ㄷ"}), set({u"ㄱ", u"ㄷ", u"ㄱ, ㄴ", u"ㄱ, ㄷ", u"ㄴ, ㄷ"})};
    if (statements == 4)
        return {set({u"ㄱ, ㄴ", u"ㄱ, ㄷ", u"ㄴ, ㄷ", u"ㄴ, ㄹ", u"ㄷ, ㄹ"}),
                set({u"ㄱ, ㄴ", u"ㄱ, ㄷ", u"ㄴ, ㄹ", u"ㄱ, ㄴ, ㄷ", u"ㄴ, ㄷ, ㄹ"}),
                set({u"ㄱ, ㄷ", u"ㄴ, ㄹ", u"ㄱ, ㄴ, ㄷ", u"ㄱ, ㄷ, ㄹ", u"ㄴ, ㄷ, ㄹ"})};
    return {};
}

// ---------------------------------------------------------------------------------------
// Points

QString PointsMark(std::int32_t tenths, const QString& format)
{
    const QString number = tenths % 10 == 0 ? QString::number(tenths / 10)
                                            : QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
    return format.arg(number);
}

bool PutPointsMark(QTextCursor& cursor, const QString& mark)
{
    QTextDocument& document = *cursor.document();
    QTextBlock stem;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (QTextCursor(block).currentTable())
            break;
        if (!block.text().trimmed().isEmpty())
            stem = block;
    }
    if (!stem.isValid())
        return false;
    static const QRegularExpression kOldMark(QStringLiteral(R"(\s*[\[(]\s*(?:배점\s*)?\d+(?:\.\d+)?\s*점\s*[\])]\s*$)"));
    const QString text = stem.text();
    const QRegularExpressionMatch old = kOldMark.match(text);
    int start = old.hasMatch() ? old.capturedStart() : text.size();
    while (!old.hasMatch() && start > 0 && IsBlank(text[start - 1]))
        --start;
    cursor.setPosition(stem.position() + start);
    const QTextCharFormat format = WithoutKeptObject(cursor.charFormat());
    cursor.setPosition(stem.position() + text.size(), QTextCursor::KeepAnchor);
    cursor.insertText(u' ' + mark, format);
    return true;
}

} // namespace editor
