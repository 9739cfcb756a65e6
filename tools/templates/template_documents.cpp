#include "tools/templates/template_documents.h"

#include <array>

namespace templates {

namespace {

enum Face : std::uint16_t { kMyeongjo = 0, kGothic = 1 };

struct StyleLook {
    const char16_t* name;
    const char16_t* englishName;
    Face face;
    std::int32_t size;          // 1/100 pt
    bool bold;
    hwp::Alignment alignment;
    std::int32_t leftMargin;    // HWP units
    std::int32_t indent;        // negative: hanging
    std::int32_t spacingBefore;
    std::int32_t spacingAfter;
    std::int32_t lineSpacing;   // percent
};

// Sizes and spacing of printed exam papers: larger type for the elementary level, options
// hanging after their circled digit, answers and explanations set apart in a sans face.
constexpr std::array<StyleLook, 9> kStyles = {{
    {u"바탕글", u"Normal", kMyeongjo, 1000, false, hwp::Alignment::Justify, 0, 0, 0, 0, 160},
    {u"초등 문제", u"Elementary Question", kMyeongjo, 1200, false, hwp::Alignment::Justify, 0, 0, 0, 400, 170},
    {u"초등 지문", u"Elementary Passage", kMyeongjo, 1150, false, hwp::Alignment::Justify, 1000, 0, 200, 200, 170},
    {u"초등 보기", u"Elementary Options", kMyeongjo, 1200, false, hwp::Alignment::Left, 0, -1700, 300, 0, 170},
    {u"초등 정답 해설", u"Elementary Answer", kGothic, 1100, false, hwp::Alignment::Justify, 0, 0, 0, 200, 160},
    {u"중고등 문제", u"Secondary Question", kMyeongjo, 1000, false, hwp::Alignment::Justify, 0, 0, 0, 300, 160},
    {u"중고등 지문", u"Secondary Passage", kMyeongjo, 950, false, hwp::Alignment::Justify, 1000, 0, 200, 200, 160},
    {u"중고등 보기", u"Secondary Options", kMyeongjo, 1000, false, hwp::Alignment::Left, 0, -1500, 200, 0, 160},
    {u"중고등 정답 해설", u"Secondary Answer", kGothic, 950, false, hwp::Alignment::Justify, 0, 0, 0, 200, 150},
}};

constexpr int kPassageFieldStyle = 7;

hwp::Paragraph EmptyParagraph(int styleNumber)
{
    hwp::Paragraph paragraph;
    const auto index = static_cast<std::uint16_t>(styleNumber - 1);
    paragraph.styleId = static_cast<std::uint8_t>(index);
    paragraph.paraShapeId = index;
    paragraph.charShapes.push_back({0, index});
    return paragraph;
}

hwp::Document PassageDocument()
{
    hwp::Document document = MakeStyledDocument(kPassageFieldStyle);
    hwp::Field field;
    field.name = u"TEXT_AREA";
    field.guide = u"이곳에 지문을 입력하세요.";
    document.sections.front().paragraphs.front().fields.push_back(field);
    return document;
}

} // namespace

std::vector<std::string> TemplateFileNames()
{
    return {"sf_text_format.hwp",       "sf_exam_format.hwp",   "sf_obj_format.hwp",
            "sf_obj_empty_format.hwp",  "sf_answer_obj_format.hwp", "sf_answer_format.hwp",
            "sf_explain_format.hwp",    "f_text_empty_format.hwp",  "sf_preview_format.hwp"};
}

hwp::Document MakeStyledDocument(int styleNumber)
{
    hwp::Document document = hwp::NewDocument();
    for (auto& faces : document.faces) {
        faces.clear();
        faces.emplace_back().name = u"나눔명조";
        faces.emplace_back().name = u"나눔고딕";
    }
    document.charShapes.clear();
    document.paraShapes.clear();
    document.styles.clear();
    for (std::size_t i = 0; i < kStyles.size(); ++i) {
        const StyleLook& look = kStyles[i];
        hwp::CharShape charShape;
        charShape.faceIds.fill(look.face);
        charShape.size = look.size;
        charShape.bold = look.bold;
        document.charShapes.push_back(charShape);

        hwp::ParaShape paraShape;
        paraShape.alignment = look.alignment;
        paraShape.leftMargin = look.leftMargin;
        paraShape.indent = look.indent;
        paraShape.spacingBefore = look.spacingBefore;
        paraShape.spacingAfter = look.spacingAfter;
        paraShape.lineSpacingKind = hwp::LineSpacingKind::Percent;
        paraShape.lineSpacing = look.lineSpacing;
        document.paraShapes.push_back(paraShape);

        hwp::Style style;
        style.name = look.name;
        style.englishName = look.englishName;
        style.kind = hwp::StyleKind::Paragraph;
        style.nextStyleId = static_cast<std::uint8_t>(i);
        style.paraShapeId = static_cast<std::uint16_t>(i);
        style.charShapeId = static_cast<std::uint16_t>(i);
        document.styles.push_back(style);
    }
    if (styleNumber < 1 || styleNumber > static_cast<int>(kStyles.size()))
        styleNumber = 1;
    document.sections.front().paragraphs.assign(1, EmptyParagraph(styleNumber));
    return document;
}

hwp::Document MakeTemplateDocument(const std::string& fileName)
{
    if (fileName == "sf_text_format.hwp" || fileName == "f_text_empty_format.hwp")
        return PassageDocument();
    if (fileName == "sf_exam_format.hwp")
        return MakeStyledDocument(6);
    if (fileName == "sf_obj_format.hwp" || fileName == "sf_obj_empty_format.hwp")
        return MakeStyledDocument(8);
    if (fileName == "sf_answer_format.hwp" || fileName == "sf_explain_format.hwp")
        return MakeStyledDocument(9);
    if (fileName == "sf_answer_obj_format.hwp") {
        hwp::Document document = MakeStyledDocument(9);
        document.sections.front().paragraphs.front().text = u"정답 : ";
        return document;
    }
    return MakeStyledDocument(1);
}

} // namespace templates
