// Equation controls: the model read from and written to the 'eqed' header and its
// EQEDIT record, without touching the bytes it does not interpret, through a whole
// document and into the independent reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "hwp/bytes.h"
#include "hwp/equation.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/json.h"
#include "support/text.h"

namespace {

hwp::Equation Sample()
{
    hwp::Equation eq;
    eq.script = u"x = {-b +- sqrt {b^2 - 4ac}} over {2a}";
    eq.baseSize = 1200;
    eq.color = 0x000000FF;
    eq.width = 7344;
    eq.height = 2310;
    eq.baseline = 62;
    return eq;
}

// An EQEDIT record as the format's program writes it, with or without the value after
// the baseline, and bytes after the known fields.
hwp::Bytes EqEditBytes(bool withReserved, const std::string& tail = {})
{
    hwp::ByteWriter out;
    out.U32(0);
    out.Text16(u"a over b");
    out.U32(1000);
    out.U32(0x00102030);
    out.I16(71);
    if (withReserved) out.U16(0);
    out.Text16(u"Equation Version 60");
    out.Text16(u"SomeFont");
    out.Raw(tail);
    return hwp::ToBytes(out.Data());
}

hwp::Control ControlWith(hwp::Bytes eqedit)
{
    hwp::Control control = hwp::NewEquationControl(hwp::Equation{});
    // Header bytes the model does not name: z-order, margins, instance id, a caption text.
    hwp::Bytes& header = control.records[0].data;
    header[24] = 7;
    header[28] = 0x11;
    header[36] = 0x42;
    control.records[1].data = std::move(eqedit);
    control.records.push_back(hwp::ObjectRecord{hwp::tag::kListHeader, 1, {1, 2, 3, 4}});
    return control;
}

TEST(Equation, NewControlsReadBackAsWritten)
{
    const hwp::Equation eq = Sample();
    const hwp::Control control = hwp::NewEquationControl(eq);
    EXPECT_TRUE(hwp::IsEquation(control));
    EXPECT_EQ(control.ctrlId, hwp::kEquation);
    EXPECT_EQ(hwp::ReadEquation(control), eq);
}

TEST(Equation, ReadsBothShapesOfTheRecordAndWritesEachBackUnchanged)
{
    for (bool withReserved : {true, false}) {
        hwp::Control control = ControlWith(EqEditBytes(withReserved, withReserved ? "\x05\x06" : ""));
        const hwp::Control before = control;
        const hwp::Equation eq = hwp::ReadEquation(control);
        EXPECT_EQ(eq.script, u"a over b");
        EXPECT_EQ(eq.baseSize, 1000);
        EXPECT_EQ(eq.color, 0x00102030u);
        EXPECT_EQ(eq.baseline, 71);
        EXPECT_EQ(eq.versionText, u"Equation Version 60");
        EXPECT_EQ(eq.fontName, u"SomeFont");
        hwp::WriteEquation(eq, control);
        EXPECT_EQ(control, before) << "with the value after the baseline: " << withReserved;
    }
}

TEST(Equation, AChangedScriptLeavesEverythingElseInItsRecords)
{
    hwp::Control control = ControlWith(EqEditBytes(true, "\x09"));
    const hwp::Control before = control;
    hwp::Equation eq = hwp::ReadEquation(control);
    eq.script = u"sum from {k=1} to n k^2 수식";
    hwp::SetEquationBox(eq, 5000, 1500, 500);
    hwp::WriteEquation(eq, control);
    const hwp::Equation back = hwp::ReadEquation(control);
    EXPECT_EQ(back, eq);
    EXPECT_EQ(back.width, 5000);
    EXPECT_EQ(back.height, 2000);
    EXPECT_EQ(back.baseline, 75);
    // The header differs only in the size; the caption list and the kept tail stay.
    ASSERT_EQ(control.records.size(), before.records.size());
    for (std::size_t i = 0; i < before.records[0].data.size(); ++i) {
        if (i >= 16 && i < 24) continue;
        EXPECT_EQ(control.records[0].data[i], before.records[0].data[i]) << "header byte " << i;
    }
    EXPECT_EQ(control.records[1].data.back(), 0x09);
    EXPECT_EQ(control.records[2], before.records[2]);
}

TEST(Equation, PlacementFollowsTheModel)
{
    hwp::Control control = hwp::NewEquationControl(Sample());
    hwp::Equation eq = hwp::ReadEquation(control);
    EXPECT_TRUE(eq.inlineAsChar);
    eq.inlineAsChar = false;
    eq.verticalOffset = 300;
    hwp::WriteEquation(eq, control);
    EXPECT_EQ(hwp::ReadEquation(control), eq);
    EXPECT_EQ(control.records[0].data[4] & 1, 0);
}

TEST(Equation, DamagedOrForeignControlsAreRefused)
{
    hwp::Control control = hwp::NewEquationControl(Sample());
    hwp::Control cut = control;
    cut.records[1].data.resize(5);
    EXPECT_THROW(hwp::ReadEquation(cut), hwp::HwpError);
    hwp::Control headless = control;
    headless.records[0].data.resize(10);
    EXPECT_FALSE(hwp::IsEquation(headless));
    EXPECT_THROW(hwp::ReadEquation(headless), hwp::HwpError);
    hwp::Control table = control;
    table.ctrlId = hwp::kTable;
    EXPECT_FALSE(hwp::IsEquation(table));
    EXPECT_THROW(hwp::WriteEquation(Sample(), table), hwp::HwpError);
    hwp::Equation huge = Sample();
    huge.script.assign(70000, u'x');
    EXPECT_THROW(hwp::WriteEquation(huge, control), hwp::HwpError);
    // A record that ends after the baseline (older writers) still reads.
    hwp::ByteWriter shortRecord;
    shortRecord.U32(0);
    shortRecord.Text16(u"x^2");
    shortRecord.U32(1000);
    shortRecord.U32(0);
    shortRecord.I16(80);
    hwp::Control old = control;
    old.records[1].data = hwp::ToBytes(shortRecord.Data());
    EXPECT_EQ(hwp::ReadEquation(old).script, u"x^2");
}

TEST(Equation, SurvivesAWholeDocumentWrittenAndRead)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"근의 공식은 이다."});
    hwp::Control control = hwp::NewEquationControl(Sample());
    control.position = control.end = 6;
    document.sections.front().paragraphs.front().controls.push_back(control);
    const hwp::Document back = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    const auto& controls = back.sections.front().paragraphs.front().controls;
    ASSERT_EQ(controls.size(), 1u);
    ASSERT_TRUE(hwp::IsEquation(controls[0]));
    EXPECT_EQ(hwp::ReadEquation(controls[0]), Sample());
    EXPECT_EQ(controls[0].position, 6u);
}

TEST(Equation, TheIndependentReaderFindsTheScriptsWeWrite)
{
    namespace fs = std::filesystem;
    const fs::path oracle = fs::path(VARNEL_TEST_SOURCE_DIR) / "tests" / "oracle";
    if (!fs::exists(oracle / "node_modules" / "@ohah" / "hwpjs") || std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "hwpjs is not installed (scripts/install-test-tools)";
    hwp::Document document = hwp_testing::DocumentWithTexts({u"식 과 를 보라."});
    // hwpjs reads the version text and the font name with the script's length, so it
    // refuses records whose script is longer than what follows it (about 19 units here).
    const std::u16string scripts[] = {u"{x+1} over 2", u"sqrt {k^2} = \"합\""};
    for (int i = 0; i < 2; ++i) {
        hwp::Equation eq = Sample();
        eq.script = scripts[i];
        hwp::Control control = hwp::NewEquationControl(eq);
        control.position = control.end = i == 0 ? 2 : 4;
        document.sections.front().paragraphs.front().controls.push_back(control);
    }
    hwp_testing::ScratchFolder scratch;
    const std::string path = scratch.File("equations.hwp");
    hwp_testing::WriteFile(path, hwp::WriteDocumentToBytes(document));
    const std::string command = "node '" + (oracle / "dump-equations.js").string() + "' '" + path + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    const JsonOwnedPtr json = ParseJsonUtf8(output.substr(0, output.find('\n')));
    ASSERT_TRUE(json) << output;
    const JsonObject object = JsonObjectOf(json.get());
    ASSERT_TRUE(object.count(u"scripts")) << output;
    const JsonValue* found = object.at(u"scripts");
    ASSERT_EQ(found->arrayValue.size(), 2u) << output;
    EXPECT_EQ(found->arrayValue[0]->stringValue, scripts[0]);
    EXPECT_EQ(found->arrayValue[1]->stringValue, scripts[1]);
}

}  // namespace
