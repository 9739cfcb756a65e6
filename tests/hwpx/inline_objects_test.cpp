// The ruby, composed characters and form objects an HWPX document keeps as XML, read for
// painting: each kind with the values the word processor writes, and whatever else (other
// elements, the same names in another namespace, broken XML) read as nothing.
#include <gtest/gtest.h>

#include "hwpx/inline_objects.h"

#include <QStringList>

namespace {

const char* const kSpace = R"( xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph")";

std::string Element(const char* name, const char* rest)
{
    return std::string("<hp:") + name + kSpace + " " + rest + "</hp:" + name + ">";
}

QString Summary(const std::optional<hwpx::InlineObject>& object)
{
    if (!object)
        return QStringLiteral("none");
    if (object->ruby)
        return QStringLiteral("ruby %1/%2 %3 %4%")
            .arg(object->ruby->base, object->ruby->ruby, object->ruby->below ? "below" : "above")
            .arg(object->ruby->sizePercent);
    if (object->composed)
        return QStringLiteral("composed %1 frame%2 %3 %4")
            .arg(object->composed->chars)
            .arg(static_cast<int>(object->composed->frame))
            .arg(object->composed->overlap ? "overlap" : "spread")
            .arg(object->composed->sizeStep);
    const hwpx::FormObject& form = *object->form;
    return QStringLiteral("form%1 '%2'%3 %4/%5 %6x%7%8%9%10")
        .arg(static_cast<int>(form.kind))
        .arg(form.text, form.checked ? " checked" : "")
        .arg(form.foreground, 6, 16, QLatin1Char('0'))
        .arg(form.background, 6, 16, QLatin1Char('0'))
        .arg(form.width)
        .arg(form.height)
        .arg(form.asChar ? "" : " floating", form.frame ? "" : " frameless", form.printable ? "" : " unprinted");
}

TEST(InlineObjects, ReadEveryKindAndNothingElse)
{
    const std::string size = R"(<hp:sz width="7087" height="1984"/><hp:pos treatAsChar="1"/>)";
    const struct Case {
        std::string xml;
        const char* expected;
    } cases[] = {
        {Element("dutmal", R"(posType="TOP" szRatio="0"><hp:mainText>본말</hp:mainText><hp:subText>닷말</hp:subText>)"),
         "ruby 본말/닷말 above 50%"},
        {Element("dutmal", R"(posType="BOTTOM" szRatio="300"><hp:mainText>a</hp:mainText>)"), "ruby a/ below 100%"},
        // The word processor's own spelling of the reversed triangle.
        {Element("compose", R"(circleType="SHAPE_REVERSAL_TIRANGLE" charSz="-3" composeType="SPREAD" )"
                            R"(composeText="12"><hp:charPr prIDRef="7"/>)"),
         "composed 12 frame4 spread -3"},
        {Element("compose", R"(circleType="CHAR" charSz="-30" composeType="OVERLAP" composeText="AO">)"),
         "composed AO frame0 overlap -9"},
        {Element("btn", (R"(caption="단추" value="CHECKED" foreColor="#102030" backColor="#F0F0F0">)" + size).c_str()),
         "form0 '단추' checked 302010/f0f0f0 7087x1984"},
        {Element("checkBtn", R"(caption="선택" value="CHECKED" drawFrame="0" printable="0">)"
                             R"(<hp:sz width="10" height="20"/><hp:pos treatAsChar="0"/>)"),
         "form1 '선택' checked 000000/ffffff 10x20 floating frameless unprinted"},
        {Element("radioBtn", (R"(caption="라디오" value="UNCHECKED">)" + size).c_str()),
         "form2 '라디오' 000000/ffffff 7087x1984"},
        // A combo box shows its selected item's display text.
        {Element("comboBox", (R"(selectedValue="b"><hp:listItem displayText="하나" value="a"/>)"
                              R"(<hp:listItem displayText="둘" value="b"/>)" + size).c_str()),
         "form3 '둘' 000000/ffffff 7087x1984"},
        {Element("listBox", (R"(selectedValue="x">)" + size).c_str()), "form4 'x' 000000/ffffff 7087x1984"},
        {Element("edit", (R"(foreColor="#F3EFE4" backColor="#719FD1"><hp:text>1234</hp:text>)" + size).c_str()),
         "form5 '1234' e4eff3/d19f71 7087x1984"},
        {Element("bookmark", R"(name="x">)"), "none"},
        {R"(<x:edit xmlns:x="urn:example:custom"><x:text>1</x:text></x:edit>)", "none"},
        {"<hp:btn" + std::string(kSpace) + " caption=\"a\">", "none"},
        {"", "none"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Summary(hwpx::ReadInlineObject(c.xml)).toStdString(), c.expected) << c.xml;
}

} // namespace
