#include "hwpx/inline_objects.h"

#include "hwp/error.h"
#include "hwpx/values.h"
#include "hwpx/xml.h"

#include <algorithm>
#include <utility>

namespace hwpx {

namespace {

Ruby ReadRuby(const XmlNode& element)
{
    Ruby ruby;
    if (const XmlNode* base = element.Child(u"mainText"))
        ruby.base = base->AllText();
    if (const XmlNode* over = element.Child(u"subText"))
        ruby.ruby = over->AllText();
    ruby.below = element.Attr(u"posType") == QLatin1String("BOTTOM");
    // 0 is the word processor's "as it sets it": half the base.
    const long long ratio = element.Int(u"szRatio");
    ruby.sizePercent = ratio > 0 ? static_cast<int>(std::clamp(ratio, 10LL, 100LL)) : 50;
    return ruby;
}

Composed ReadComposed(const XmlNode& element)
{
    Composed composed;
    composed.chars = element.Attr(u"composeText");
    const QString frame = element.Attr(u"circleType");
    if (frame == QLatin1String("SHAPE_CIRCLE"))
        composed.frame = ComposeFrame::Circle;
    else if (frame == QLatin1String("SHAPE_RECTANGLE"))
        composed.frame = ComposeFrame::Square;
    else if (frame == QLatin1String("SHAPE_TRIANGLE"))
        composed.frame = ComposeFrame::Triangle;
    else if (frame == QLatin1String("SHAPE_REVERSAL_TIRANGLE") || frame == QLatin1String("SHAPE_REVERSAL_TRIANGLE"))
        composed.frame = ComposeFrame::ReversedTriangle;
    else if (frame == QLatin1String("SHAPE_DIAMOND"))
        composed.frame = ComposeFrame::Diamond;
    composed.overlap = element.Attr(u"composeType") != QLatin1String("SPREAD");
    composed.sizeStep = static_cast<int>(std::clamp(element.Int(u"charSz"), -9LL, 9LL));
    return composed;
}

std::optional<FormKind> FormKindOf(const QString& name)
{
    static const std::pair<const char16_t*, FormKind> kKinds[] = {
        {u"btn", FormKind::Button},         {u"checkBtn", FormKind::CheckBox}, {u"radioBtn", FormKind::RadioButton},
        {u"comboBox", FormKind::ComboBox},  {u"listBox", FormKind::ListBox},   {u"edit", FormKind::Edit}};
    for (const auto& [element, kind] : kKinds) {
        if (name == QStringView(element))
            return kind;
    }
    return std::nullopt;
}

FormObject ReadForm(const XmlNode& element, FormKind kind)
{
    FormObject form;
    form.kind = kind;
    switch (kind) {
    case FormKind::Edit:
        if (const XmlNode* text = element.Child(u"text"))
            form.text = text->AllText();
        break;
    case FormKind::ComboBox:
    case FormKind::ListBox:
        form.text = element.Attr(u"selectedValue");
        for (const XmlNode* item : element.Children(u"listItem")) {
            if (!form.text.isEmpty() && item->Attr(u"value") == form.text)
                form.text = item->Attr(u"displayText", form.text);
        }
        break;
    default:
        form.text = element.Attr(u"caption");
        form.checked = element.Attr(u"value") == QLatin1String("CHECKED");
        break;
    }
    form.foreground = Color(element.Attr(u"foreColor"), 0);
    form.background = Color(element.Attr(u"backColor"), 0xFFFFFF);
    form.frame = element.Attr(u"drawFrame", QStringLiteral("1")) != QLatin1String("0");
    form.printable = element.Attr(u"printable", QStringLiteral("1")) != QLatin1String("0");
    if (const XmlNode* size = element.Child(u"sz")) {
        form.width = static_cast<hwp::HwpUnit>(std::clamp(size->Int(u"width"), 0LL, 0x3FFFFFFFLL));
        form.height = static_cast<hwp::HwpUnit>(std::clamp(size->Int(u"height"), 0LL, 0x3FFFFFFFLL));
    }
    if (const XmlNode* position = element.Child(u"pos"))
        form.asChar = position->Flag(u"treatAsChar");
    return form;
}

} // namespace

std::optional<InlineObject> ReadInlineObject(std::string_view xml)
{
    XmlNode root;
    try {
        root = ParseXml(xml, "kept element");
    } catch (const hwp::HwpError&) {
        return std::nullopt;
    }
    // The parser hands back the element itself.
    const XmlNode* element = &root;
    // The same local name in a namespace of someone else's is not ours to draw.
    const auto space = element->namespaces.find(element->prefix);
    if (space != element->namespaces.end() && !space->second.endsWith(QLatin1String("/paragraph")))
        return std::nullopt;
    InlineObject object;
    if (element->name == QLatin1String("dutmal"))
        object.ruby = ReadRuby(*element);
    else if (element->name == QLatin1String("compose"))
        object.composed = ReadComposed(*element);
    else if (const std::optional<FormKind> kind = FormKindOf(element->name))
        object.form = ReadForm(*element, *kind);
    else
        return std::nullopt;
    return object;
}

}  // namespace hwpx
