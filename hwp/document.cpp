#include "hwp/document.h"

namespace hwp {

Document NewDocument()
{
    Document document;
    for (auto& faces : document.faces)
        faces.emplace_back().name = u"바탕";
    document.borderFills.push_back(BorderFill{});
    document.charShapes.push_back(CharShape{});
    document.paraShapes.push_back(ParaShape{});
    Style normal;
    normal.name = u"바탕글";
    normal.englishName = u"Normal";
    document.styles.push_back(normal);
    Section section;
    section.paragraphs.emplace_back().charShapes.push_back(CharShapeRun{});
    document.sections.push_back(std::move(section));
    return document;
}

std::u16string ParagraphDisplayText(const Paragraph& paragraph)
{
    std::u16string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i <= paragraph.text.size(); ++i) {
        while (next < paragraph.placeholders.size() && paragraph.placeholders[next].position <= i) {
            out += u'[';
            out += paragraph.placeholders[next].what;
            out += u']';
            ++next;
        }
        if (i < paragraph.text.size())
            out += paragraph.text[i];
    }
    for (; next < paragraph.placeholders.size(); ++next)
        out += u'[' + paragraph.placeholders[next].what + u']';
    return out;
}

}  // namespace hwp
