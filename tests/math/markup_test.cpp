// The MathML and TeX writers: every exam script gives well-formed MathML whose alttext is
// the script and TeX whose groups, \left…\right pairs and environments close; a few
// scripts give exactly the markup a reader expects.
#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include "math/markup.h"
#include "math_testing.h"

namespace {

// Braces, \left/\right and \begin/\end in the order TeX needs them closed.
::testing::AssertionResult TeXBalanced(const std::string& tex)
{
    std::vector<std::string> open;
    for (std::size_t i = 0; i < tex.size(); ++i) {
        if (tex[i] == '\\') {
            std::size_t j = i + 1;
            while (j < tex.size() && std::isalpha(static_cast<unsigned char>(tex[j]))) ++j;
            const std::string word = tex.substr(i + 1, j - i - 1);
            if (word == "left" || word == "begin") open.push_back(word);
            if (word == "right" || word == "end") {
                if (open.empty() || open.back() != (word == "right" ? "left" : "begin"))
                    return ::testing::AssertionFailure() << "\\" << word << " unopened at " << i << " in " << tex;
                open.pop_back();
            }
            i = word.empty() ? i + 1 : j - 1;   // "\{" is a character, not a group
        } else if (tex[i] == '{') {
            open.push_back("{");
        } else if (tex[i] == '}') {
            if (open.empty() || open.back() != "{")
                return ::testing::AssertionFailure() << "} unopened at " << i << " in " << tex;
            open.pop_back();
        }
    }
    if (!open.empty()) return ::testing::AssertionFailure() << open.back() << " left open in " << tex;
    return ::testing::AssertionSuccess();
}

class ExamMarkup : public testing::TestWithParam<std::u16string> {};

TEST_P(ExamMarkup, MathMLIsWellFormedWithTheScriptAsAltText)
{
    const std::string xml = math::ScriptToMathML(GetParam());
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    ASSERT_TRUE(reader.readNextStartElement());
    EXPECT_EQ(reader.name(), QStringLiteral("math"));
    EXPECT_EQ(reader.namespaceUri(), QStringLiteral("http://www.w3.org/1998/Math/MathML"));
    EXPECT_EQ(reader.attributes().value("alttext").toString().toStdString(), math_testing::Utf8(GetParam()));
    int elements = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) ++elements;
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << "\n" << xml;
    EXPECT_GT(elements, 1);
}

TEST_P(ExamMarkup, TeXClosesWhatItOpens)
{
    const std::string tex = math::ScriptToTeX(GetParam());
    EXPECT_FALSE(tex.empty());
    EXPECT_TRUE(TeXBalanced(tex));
}

std::string Name(const testing::TestParamInfo<std::u16string>& info) { return "n" + std::to_string(info.index + 1); }

INSTANTIATE_TEST_SUITE_P(Exams, ExamMarkup, testing::ValuesIn(math_testing::ExamScripts()), Name);

struct Expected {
    const char16_t* script;
    const char* mathml;   // inside <math>
    const char* tex;
};

TEST(Markup, WritesWhatAReaderExpects)
{
    const Expected cases[] = {
        {u"{x+1} over 2", "<mrow><mfrac><mrow><mi>x</mi><mo>+</mo><mn>1</mn></mrow><mn>2</mn></mfrac></mrow>",
         "\\frac{x+1}{2}"},
        {u"sqrt {b^2-4ac}",
         "<mrow><msqrt><mrow><msup><mi>b</mi><mn>2</mn></msup><mo>\u2212</mo><mn>4</mn><mi mathvariant=\"italic\">ac</mi>"
         "</mrow></msqrt></mrow>",
         "\\sqrt{{b}^{2}-4ac}"},
        {u"sum from {k=1} to n k^2",
         "<mrow><munderover><mo largeop=\"true\">\u2211</mo><mrow><mi>k</mi><mo>=</mo><mn>1</mn></mrow><mi>n</mi>"
         "</munderover><msup><mi>k</mi><mn>2</mn></msup></mrow>",
         "{\\sum}\\limits_{k=1}^{n}{k}^{2}"},
        {u"LEFT ( a over b RIGHT )",
         "<mrow><mrow><mo fence=\"true\" stretchy=\"true\">(</mo><mrow><mfrac><mi>a</mi><mi>b</mi></mfrac></mrow>"
         "<mo fence=\"true\" stretchy=\"true\">)</mo></mrow></mrow>",
         "\\left({\\frac{a}{b}}\\right)"},
        {u"pi r^2 < \"넓이\"", nullptr, "\\pi{r}^{2}<\\text{넓이}"},
        {u"x & y", nullptr, nullptr},
    };
    for (const Expected& c : cases) {
        const std::u16string script = c.script;
        const std::string mathml = math::ScriptToMathML(script);
        const std::string body = mathml.substr(mathml.find('>') + 1, mathml.size() - mathml.find('>') - 8);
        if (c.mathml) {
            EXPECT_EQ(body, c.mathml) << math_testing::Utf8(script);
        }
        if (c.tex) {
            EXPECT_EQ(math::ScriptToTeX(script), c.tex) << math_testing::Utf8(script);
        }
        EXPECT_TRUE(TeXBalanced(math::ScriptToTeX(script)));
    }
}

TEST(Markup, XmlEscapeDropsWhatXmlForbids)
{
    EXPECT_EQ(math::XmlEscape("a<b&\"c\"\x01\x1f\t>"), "a&lt;b&amp;&quot;c&quot;\t&gt;");
    EXPECT_EQ(math::XmlEscape("x\xEF\xBF\xBEy\xEF\xBF\xBDz"), "xy\xEF\xBF\xBDz");
}

}  // namespace
