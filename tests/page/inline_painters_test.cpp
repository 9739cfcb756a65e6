// Ruby text, composed characters and form objects print what the word processor prints:
// the ruby over or under its base, captions and field texts inside their boxes; and the
// lines holding them keep the baselines the file stored.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "hwp/records.h"
#include "hwpx/reader.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace {

// Each text a page prints, by where its baseline starts.
std::map<QString, QPointF> PageTexts(const editor::PagedLayout& layout)
{
    std::map<QString, QPointF> texts;
    editor::TextItemDevice device([&texts](const QPointF& at, const QTextItem& item) {
        texts.emplace(item.text(), at);
    });
    QPainter painter(&device);
    layout.PaintPage(painter, 0);
    return texts;
}

double MedianOffset(const editor::LineAgreement& agreement)
{
    std::vector<double> offsets;
    for (const double offset : agreement.baselineOffsets)
        offsets.push_back(std::abs(offset));
    if (offsets.empty())
        return 0;
    std::sort(offsets.begin(), offsets.end());
    return offsets[offsets.size() / 2];
}

class InlinePainters : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
};

TEST_F(InlinePainters, SamplesPrintTheirTextsOnTheStoredBaselines)
{
    const struct Case {
        const char* file;
        std::vector<const char*> texts;   // in the order they stand, top to bottom
    } cases[] = {
        {"SimpleDutmal.hwpx", {"테스트_닷말", "테스트_본말"}},
        {"SimpleButtons.hwpx", {"명령 단추1", "선택 상자1", "라디오 단추1"}},
        {"SimpleEdit.hwpx", {"1234"}},
    };
    int measured = 0;
    for (const std::string& path : hwp_testing::HwpxSamplePaths()) {
        const std::string name = std::filesystem::path(path).filename().string();
        const auto found =
            std::find_if(std::begin(cases), std::end(cases), [&](const Case& c) { return name == c.file; });
        if (found == std::end(cases))
            continue;
        SCOPED_TRACE(name);
        ++measured;
        const auto pane = editor::ToEditorDocument(hwpx::ReadAnyDocument(path));
        const editor::PagedLayout layout(*pane, editor::PageOutput::Vector);
        const std::map<QString, QPointF> texts = PageTexts(layout);
        double above = -1;
        for (const char* text : found->texts) {
            const auto at = texts.find(QString::fromUtf8(text));
            ASSERT_NE(at, texts.end()) << text;
            EXPECT_GE(at->second.y(), above) << text;
            above = at->second.y();
        }
        EXPECT_LT(MedianOffset(editor::PagedLayout(*pane).MeasureStoredLines()), 0.3);   // was 4.8 to 6 mm
    }
    if (measured == 0)
        GTEST_SKIP() << "no sample documents beside the source";
}

// A ruby control of an HWP file: main text, sub text, position (0 over, 1 under), ratio.
TEST_F(InlinePainters, AnHwpRubyPrintsItsSubTextOverOrUnderItsMainText)
{
    for (const std::uint8_t below : {0, 1}) {
        SCOPED_TRACE(below);
        hwp::Document document = hwp_testing::DocumentWithTexts({u"가"});
        hwp::Control ruby;
        ruby.position = ruby.end = 1;
        ruby.code = 11;
        ruby.ctrlId = hwp::CtrlId('t', 'd', 'u', 't');
        ruby.records.push_back({hwp::tag::kCtrlHeader, 0,
                                {'t', 'u', 'd', 't', 2, 0, 0x22, 0x6F, 0x57, 0x5B, 2, 0, 0x5C, 0xD5, 0x90, 0xC7,
                                 below, 0, 0, 0, 50, 0, 0, 0}});
        document.sections[0].paragraphs[0].controls.push_back(ruby);
        const auto pane = editor::ToEditorDocument(document);
        const std::map<QString, QPointF> texts = PageTexts(editor::PagedLayout(*pane, editor::PageOutput::Vector));
        const auto base = texts.find(QStringLiteral("漢字"));
        const auto sub = texts.find(QStringLiteral("한자"));
        ASSERT_NE(base, texts.end());
        ASSERT_NE(sub, texts.end());
        EXPECT_EQ(sub->second.y() > base->second.y(), below == 1);
        // Centred: the half-size ruby starts right of its base.
        EXPECT_GT(sub->second.x(), base->second.x());
        ASSERT_NE(texts.find(QStringLiteral("가")), texts.end());
        EXPECT_NEAR(texts.at(QStringLiteral("가")).y(), base->second.y(), 0.5) << "on the line's baseline";
    }
}

} // namespace
