// Reading and writing a one-page question document: a passage, the question, five
// options with circled digits, answer and explanation, three styles, several char
// shapes and a click-here field, as the editor saves it.
#include <benchmark/benchmark.h>

#include "hwp/reader.h"
#include "hwp/writer.h"

namespace {

hwp::Document QuestionPage()
{
    hwp::Document document = hwp::NewDocument();
    hwp::CharShape bold;
    bold.bold = true;
    hwp::CharShape small;
    small.size = 900;
    document.charShapes.push_back(bold);
    document.charShapes.push_back(small);
    hwp::ParaShape hanging;
    hanging.leftMargin = 2000;
    hanging.indent = -2000;
    document.paraShapes.push_back(hanging);
    for (const auto& [name, english] : {std::pair{u"문제", u"Question"}, std::pair{u"선택지", u"Options"}}) {
        hwp::Style style;
        style.name = name;
        style.englishName = english;
        style.paraShapeId = 1;
        document.styles.push_back(style);
    }
    auto& paragraphs = document.sections.front().paragraphs;
    paragraphs.clear();
    auto add = [&paragraphs](std::u16string text, std::uint8_t style, std::vector<hwp::CharShapeRun> runs) {
        hwp::Paragraph paragraph;
        paragraph.text = std::move(text);
        paragraph.styleId = style;
        paragraph.paraShapeId = style == 0 ? 0 : 1;
        paragraph.charShapes = std::move(runs);
        paragraphs.push_back(std::move(paragraph));
    };
    for (int i = 0; i < 12; ++i)
        add(u"지문의 한 문단입니다. 환경 문제는 오늘날 인류가 함께 풀어야 할 과제이며, 각 나라는 저마다의 방식으로 "
            u"이 문제에 대응하고 있다. 그러나 그 방식이 언제나 옳은 것은 아니다.", 0, {{0, 0}, {10, 1}, {14, 0}});
    add(u"1. 윗글의 주제로 가장 알맞은 것은?", 1, {{0, 1}});
    for (const char16_t* option : {u"① 환경 보호의 필요성", u"② 경제 성장의 한계", u"③ 국제 협력의 중요성",
                                   u"④ 과학 기술의 발전", u"⑤ 문화 교류의 의의"})
        add(option, 2, {{0, 0}});
    add(u"정답: ", 0, {{0, 0}});
    hwp::Field field;
    field.name = u"TEXT_AREA";
    field.begin = field.end = 4;
    paragraphs.back().fields.push_back(field);
    add(u"해설: 글쓴이는 환경 문제에 대한 국제 협력의 중요성을 강조하고 있다.", 0, {{0, 2}});
    return document;
}

void BM_WriteQuestionPage(benchmark::State& state)
{
    const hwp::Document document = QuestionPage();
    for (auto _ : state)
        benchmark::DoNotOptimize(hwp::WriteDocumentToBytes(document));
}
BENCHMARK(BM_WriteQuestionPage)->Unit(benchmark::kMicrosecond);

void BM_ReadQuestionPage(benchmark::State& state)
{
    const std::string bytes = hwp::WriteDocumentToBytes(QuestionPage());
    for (auto _ : state)
        benchmark::DoNotOptimize(hwp::ReadDocumentFromBytes(bytes));
}
BENCHMARK(BM_ReadQuestionPage)->Unit(benchmark::kMicrosecond);

}  // namespace
