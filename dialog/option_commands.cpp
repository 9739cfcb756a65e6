#include "dialog/option_commands.h"

#include <QVariant>

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>
#include <random>

#include "document/editor_document.h"

namespace structure {

using editor::OptionArrangement;
using editor::OptionContent;
using editor::OptionScan;
using editor::OptionScanResult;

namespace {

// The layout the teacher chose in this document, kept with the document.
constexpr const char* kArrangementProperty = "varnelOptionArrangement";

editor::EditorDocument* DocumentOf(DialogCore& core, int code)
{
    editor::EditorControl* pane = core.Panes().ForCode(code);
    return pane ? pane->EditableDocument() : nullptr;
}

double BodyWidth(const editor::EditorDocument& document)
{
    return editor::HwpUnitsToLayout(document.Page().BodyWidth());
}

std::string WhyNoItems(OptionScanResult result)
{
    switch (result) {
    case OptionScanResult::MarkInTable: return "표 안에 선택지 번호가 있어 선택지를 나눌 수 없습니다.";
    case OptionScanResult::MarkInSentence: return "문장 가운데에 선택지 번호가 있어 선택지를 나눌 수 없습니다.";
    case OptionScanResult::MarkOutOfRange: return "⑤보다 큰 선택지 번호가 있어 선택지를 나눌 수 없습니다.";
    case OptionScanResult::NoMarks:
    case OptionScanResult::Items: break;
    }
    return "선택지 번호(①~⑤)를 찾지 못했습니다.";
}

OptionArrangement WantedArrangement(const QTextDocument& document, const OptionScan& scan)
{
    const QVariant chosen = document.property(kArrangementProperty);
    if (chosen.isValid())
        return static_cast<OptionArrangement>(chosen.toInt());
    // New options with none before them: all in one row where they fit, as short ones print.
    return scan.items.empty() ? OptionArrangement::OneRow : editor::CurrentArrangement(document, scan);
}

// The found options, or a message and nothing. Marks that repeat cannot say which
// option an answer meant, so nothing reorders them.
std::optional<OptionScan> ScanForEdit(DialogCore& core, editor::EditorDocument& options, bool needsDistinct)
{
    OptionScan scan = editor::ScanOptions(options.Text());
    if (!scan.Found()) {
        core.View().ShowMessage(WhyNoItems(scan.result));
        return std::nullopt;
    }
    std::vector<int> numbers = scan.Numbers();
    std::sort(numbers.begin(), numbers.end());
    if (needsDistinct && std::adjacent_find(numbers.begin(), numbers.end()) != numbers.end()) {
        core.View().ShowMessage("같은 선택지 번호가 두 번 있어 정답이 어느 선택지인지 알 수 없습니다. 번호를 먼저 고치세요.");
        return std::nullopt;
    }
    return scan;
}

// The options pane and its items; empty, after saying why, when they cannot be edited.
std::optional<OptionScan> ScanOptionsPane(DialogCore& core, bool needsDistinct, editor::EditorDocument*& options)
{
    options = DocumentOf(core, editor::kPaneOptions);
    if (!options)
        return std::nullopt;
    return ScanForEdit(core, *options, needsDistinct);
}

// The index of the item holding the caret; -1 before the first mark.
int ItemAtCaret(DialogCore& core, const OptionScan& scan)
{
    const int caret = core.Panes().options->CaretPosition();
    int found = -1;
    for (std::size_t i = 0; i < scan.items.size(); ++i) {
        if (scan.items[i].markStart <= caret)
            found = static_cast<int>(i);
    }
    return found;
}

// The options rewritten in a new order: `order` names for each new place the old item's
// index, or -1 for a new empty option. The answer's marks follow their options in the
// same undo step.
void Reorder(DialogCore& core, editor::EditorDocument& options, const OptionScan& scan, const std::vector<int>& order)
{
    const std::vector<OptionContent> old = editor::ItemContents(options.Text(), scan);
    std::vector<OptionContent> contents;
    std::vector<int> newNumberOf(6, 0);
    for (int i = 1; i <= 5; ++i)
        newNumberOf[static_cast<std::size_t>(i)] = i; // numbers no option carries stay as they are
    for (const editor::OptionItem& item : scan.items)
        newNumberOf[static_cast<std::size_t>(item.number)] = 0;
    for (std::size_t place = 0; place < order.size(); ++place) {
        if (order[place] < 0) {
            contents.push_back({});
            continue;
        }
        contents.push_back(old[static_cast<std::size_t>(order[place])]);
        newNumberOf[static_cast<std::size_t>(scan.items[static_cast<std::size_t>(order[place])].number)] =
            static_cast<int>(place) + 1;
    }
    const OptionArrangement wanted = WantedArrangement(options.Text(), scan);
    editor::EditorDocument* answer = DocumentOf(core, editor::kPaneAnswer);
    if (!answer) {
        QTextCursor cursor(&options.Text());
        cursor.beginEditBlock();
        editor::WriteOptions(cursor, scan, contents, wanted, BodyWidth(options));
        cursor.endEditBlock();
        return;
    }
    editor::LinkedEdit edit(options.Text(), answer->Text());
    editor::WriteOptions(edit.First(), scan, contents, wanted, BodyWidth(options));
    edit.Finish(editor::RemapAnswerMarks(edit.Second(), newNumberOf) > 0);
}

std::vector<int> Identity(std::size_t count)
{
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

} // namespace

void LayOutOptions(DialogCore& core, OptionArrangement arrangement)
{
    editor::EditorDocument* options = nullptr;
    const auto scan = ScanOptionsPane(core, false, options);
    if (!scan)
        return;
    options->Text().setProperty(kArrangementProperty, static_cast<int>(arrangement));
    QTextCursor cursor(&options->Text());
    cursor.beginEditBlock();
    editor::WriteOptions(cursor, *scan, editor::ItemContents(options->Text(), *scan), arrangement, BodyWidth(*options));
    cursor.endEditBlock();
}

void ShuffleOptions(DialogCore& core, std::uint32_t seed)
{
    editor::EditorDocument* options = nullptr;
    const auto scan = ScanOptionsPane(core, true, options);
    if (!scan)
        return;
    std::vector<int> order = Identity(scan->items.size());
    if (order.size() < 2) {
        core.View().ShowMessage("섞을 선택지가 두 개 이상 있어야 합니다.");
        return;
    }
    std::mt19937 random(seed);
    // Marks out of order count too: a shuffle that left every option where it stood
    // would look like a command that did nothing.
    std::vector<int> before = Identity(order.size());
    do
        std::shuffle(order.begin(), order.end(), random);
    while (order == before);
    Reorder(core, *options, *scan, order);
}

void MoveOption(DialogCore& core, int delta)
{
    editor::EditorDocument* options = nullptr;
    const auto scan = ScanOptionsPane(core, true, options);
    if (!scan)
        return;
    const int at = ItemAtCaret(core, *scan);
    const int to = at + delta;
    if (at < 0) {
        core.View().ShowMessage("옮길 선택지 안에 커서를 두세요.");
        return;
    }
    if (to < 0 || to >= static_cast<int>(scan->items.size()))
        return; // already first or last
    std::vector<int> order = Identity(scan->items.size());
    std::swap(order[static_cast<std::size_t>(at)], order[static_cast<std::size_t>(to)]);
    Reorder(core, *options, *scan, order);
}

void AddOption(DialogCore& core)
{
    editor::EditorDocument* options = nullptr;
    const auto scan = ScanOptionsPane(core, true, options);
    if (!scan)
        return;
    if (scan->items.size() >= 5) {
        core.View().ShowMessage("선택지는 ⑤까지 둘 수 있습니다.");
        return;
    }
    std::vector<int> order = Identity(scan->items.size());
    const int at = ItemAtCaret(core, *scan);
    order.insert(at < 0 ? order.end() : order.begin() + at + 1, -1);
    Reorder(core, *options, *scan, order);
}

void DeleteOption(DialogCore& core)
{
    editor::EditorDocument* options = nullptr;
    const auto scan = ScanOptionsPane(core, true, options);
    if (!scan)
        return;
    const int at = ItemAtCaret(core, *scan);
    if (at < 0) {
        core.View().ShowMessage("지울 선택지 안에 커서를 두세요.");
        return;
    }
    std::vector<int> order = Identity(scan->items.size());
    order.erase(order.begin() + at);
    Reorder(core, *options, *scan, order);
}

void RenumberOptions(DialogCore& core)
{
    editor::EditorDocument* options = DocumentOf(core, editor::kPaneOptions);
    if (!options)
        return;
    if (const auto scan = ScanForEdit(core, *options, true))
        Reorder(core, *options, *scan, Identity(scan->items.size()));
}

bool RelayOutOptions(DialogCore& core)
{
    editor::EditorDocument* options = DocumentOf(core, editor::kPaneOptions);
    if (!options || !options->Text().property(kArrangementProperty).isValid())
        return false;
    const OptionScan scan = editor::ScanOptions(options->Text());
    if (!scan.Found())
        return false;
    const std::vector<OptionContent> contents = editor::ItemContents(options->Text(), scan);
    std::vector<double> widths;
    for (const OptionContent& content : contents)
        widths.push_back(editor::ItemWidth(options->Text(), scan.style, content));
    const OptionArrangement wanted = WantedArrangement(options->Text(), scan);
    const OptionArrangement fitting = editor::FittingArrangement(wanted, widths, BodyWidth(*options));
    QTextCursor cursor(&options->Text());
    cursor.beginEditBlock();
    bool changed = false;
    if (fitting != editor::CurrentArrangement(options->Text(), scan)) {
        editor::WriteOptions(cursor, scan, contents, wanted, BodyWidth(*options));
        changed = true;
    } else {
        changed = editor::SetOptionTabStops(cursor, scan, BodyWidth(*options));
    }
    cursor.endEditBlock();
    return changed;
}

std::vector<QString> BoxStatementsOfQuestion(DialogCore& core)
{
    for (int code : {editor::kPaneQuestion, editor::kPaneOptions}) {
        if (editor::EditorDocument* document = DocumentOf(core, code)) {
            std::vector<QString> letters = editor::BoxStatements(document->Text());
            if (letters.size() >= 3)
                return letters;
        }
    }
    return {};
}

void FillCombination(DialogCore& core, int index)
{
    editor::EditorDocument* options = DocumentOf(core, editor::kPaneOptions);
    if (!options)
        return;
    const auto sets = editor::CombinationSets(static_cast<int>(BoxStatementsOfQuestion(core).size()));
    if (sets.empty()) {
        core.View().ShowMessage("ㄱ. ㄴ. ㄷ. 으로 시작하는 <보기> 상자를 찾지 못했습니다.");
        return;
    }
    if (index < 0 || index >= static_cast<int>(sets.size()))
        return;
    const OptionScan scan = editor::ScanOptions(options->Text());
    // Options it cannot see as items would stay beside the new ones.
    if (!scan.Found() && scan.result != OptionScanResult::NoMarks) {
        core.View().ShowMessage(WhyNoItems(scan.result));
        return;
    }
    std::vector<OptionContent> contents;
    for (const QString& text : sets[static_cast<std::size_t>(index)])
        contents.push_back({{}, text});
    QTextCursor cursor(&options->Text());
    cursor.beginEditBlock();
    editor::WriteOptions(cursor, scan, contents, WantedArrangement(options->Text(), scan), BodyWidth(*options));
    cursor.endEditBlock();
}

void ShowPointsMark(DialogCore& core, const QString& format)
{
    if (!core.m_pExamRecord || !core.m_pExamRecord->m_nScoreTenths) {
        core.View().ShowMessage("배점을 먼저 입력하세요.");
        return;
    }
    editor::EditorDocument* question = DocumentOf(core, editor::kPaneQuestion);
    if (!question)
        return;
    QTextCursor cursor(&question->Text());
    cursor.beginEditBlock();
    const bool put = editor::PutPointsMark(cursor, editor::PointsMark(*core.m_pExamRecord->m_nScoreTenths, format));
    cursor.endEditBlock();
    if (!put)
        core.View().ShowMessage("배점을 붙일 문제 문장이 없습니다. 문제를 먼저 입력하세요.");
}

std::string OptionCheckQuestion(DialogCore& core, const std::string& answer)
{
    editor::EditorControl* pane = core.Panes().options;
    const editor::EditorDocument* options = pane ? pane->PageSource() : nullptr;
    if (!options)
        return {};
    const OptionScan scan = editor::ScanOptions(options->Text());
    const editor::OptionProblems problems = editor::CheckOptions(scan, editor::AnswerNumbers(answer));
    if (!problems.Any())
        return {};
    auto marks = [](const std::vector<int>& numbers, editor::OptionMarkStyle style) {
        QString text;
        for (int n : numbers)
            text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + editor::OptionMark(style, n);
        return text.toStdString();
    };
    std::vector<std::string> lines;
    if (!problems.missingAnswers.empty())
        lines.push_back("정답 " + marks(problems.missingAnswers, editor::OptionMarkStyle::Circled) + "에 해당하는 선택지가 없습니다.");
    if (problems.disordered)
        lines.push_back("선택지 번호가 겹치거나 순서가 맞지 않습니다(" + marks(scan.Numbers(), scan.style) + ").");
    if (problems.tooFew)
        lines.push_back("객관식 선택지가 두 개보다 적습니다.");
    std::string question;
    for (const std::string& line : lines)
        question += (question.empty() ? "" : "\n") + line;
    return question + " 그대로 저장할까요?";
}

} // namespace structure
