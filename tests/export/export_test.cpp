// Saved questions exported as a QTI 3.0 package and a Moodle quiz: a workspace as a save
// leaves it (an objective and a subjective question on one passage, a descriptive one
// alone; formats, a table with a span, a <보기> box, an equation, pictures), checked with
// the standard's schemas (xmllint) and Python's XML parser; and inputs that must stop
// the export with the file named and nothing written.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "export/export_error.h"
#include "export/item_export.h"
#include "hwp/equation.h"
#include "hwp/object_description.h"
#include "hwp/picture.h"
#include "math/markup.h"

namespace {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

void EnsureApplication()
{
    if (QGuiApplication::instance()) return;
    static int argc = 1;
    static char name[] = "export_test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

std::string Png(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

struct Shell {
    int status = -1;
    std::string output;
};
Shell RunShell(const std::string& command)
{
    Shell result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// A pane's document written as a part: text (paragraphs split at '\n'), and objects.
class Part {
public:
    Part() : m_cursor(&m_document.Text()) {}
    Part& Text(const QString& text, QTextCharFormat format = {})
    {
        m_cursor.insertText(QString(text).replace(u'\n', QChar::ParagraphSeparator), format);
        return *this;
    }
    Part& Object(hwp::Control control)
    {
        auto object = std::make_shared<editor::KeptObject>(editor::KeptObject{std::move(control), m_origin});
        m_cursor.insertText(QString(QChar(0xFFFC)), editor::KeptObjectFormat(QTextCharFormat(), object));
        return *this;
    }
    Part& Picture(const std::string& bytes, const std::u16string& description = {})
    {
        hwp::Control control = hwp::InsertPicture(*m_origin, bytes, 96);
        if (!description.empty()) {
            hwp::Picture picture = hwp::ReadPicture(control);
            hwp::SetObjectDescription(picture.object, description);
            control = hwp::WritePicture(picture, &control);
        }
        return Object(std::move(control));
    }
    Part& Equation(const std::u16string& script)
    {
        hwp::Equation equation;
        equation.script = script;
        return Object(hwp::NewEquationControl(equation));
    }
    QTextCursor& Cursor() { return m_cursor; }
    void Write(const fs::path& path)
    {
        fs::create_directories(path.parent_path());
        ASSERT_TRUE(editor::WriteHwpFile(m_document, path.string())) << path;
    }

private:
    editor::EditorDocument m_document;
    std::shared_ptr<hwp::Document> m_origin = std::make_shared<hwp::Document>();
    QTextCursor m_cursor;
};

// Every cell with a thin black line on each side, as the pane's table command draws them.
void Ruled(QTextTable& table)
{
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            QTextTableCell cell = table.cellAt(r, c);
            QTextTableCellFormat format = cell.format().toTableCellFormat();
            format.setBorder(1);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderBrush(Qt::black);
            cell.setFormat(format);
        }
    }
}

std::string Dat(unsigned key, const char* types, const char* answer, bool passage)
{
    std::string dat = "{";
    if (passage) dat += R"("examtext_key":7,"examtext_local":"local_examtext",)";
    dat += R"("exam_key":)" + std::to_string(key) + R"(,"exam_name":"","difficulty":"d3",)";
    const char* names[] = {"obj_option", "sbj_option", "des_option"};
    for (int i = 0; i < 3; ++i) dat += "\"" + std::string(names[i]) + "\":\"" + types[i] + "\",";
    return dat + R"("obj_answer":")" + answer + R"(","sbj_answer":"","stage_id":"mid","score":3.5})";
}

class Export : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_root = fs::temp_directory_path() / ("varnel-export-" + std::to_string(getpid()) + "-" + name);
        fs::remove_all(m_root);
        MakeWorkspace();
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path Question(unsigned key) const { return m_root / "ws/local_exam" / ("ek-" + std::to_string(key)); }
    fs::path Passage() const { return m_root / "ws/local_examtext/etk-7"; }
    std::vector<std::string> Dats() const
    {
        return {(Question(1) / "1.dat").string(), (Question(2) / "2.dat").string(), (Question(3) / "3.dat").string()};
    }

    void MakeWorkspace()
    {
        Part passage;
        passage.Text(u"다음 글을 읽고 물음에 답하시오.\n"_qs).Picture(Png(40, 30, Qt::red), u"빨간 네모");
        passage.Write(Passage() / "text.hwp");
        WriteFile(Passage() / "7.dat", R"({"examtext_key":7,"textprint_height":0,"textpreview_height":0})");

        Part stem;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat sup;
        sup.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        QTextCharFormat red;
        red.setForeground(QColor(255, 0, 0));
        stem.Text(u"넓이가 "_qs).Text(u"가장 큰"_qs, bold).Text(u" 것은? 10"_qs).Text(u"2"_qs, sup).Text(u" "_qs)
            .Text(u"빨강"_qs, red).Text(u" "_qs).Equation(u"{x+1} over 2").Text(u"\n"_qs);
        QTextTable* table = stem.Cursor().insertTable(2, 2);
        table->mergeCells(0, 0, 1, 2);
        Ruled(*table);
        table->cellAt(0, 0).firstCursorPosition().insertText(u"제목"_qs);
        table->cellAt(1, 0).firstCursorPosition().insertText(u"가"_qs);
        table->cellAt(1, 1).firstCursorPosition().insertText(u"나"_qs);
        stem.Cursor().movePosition(QTextCursor::End);
        stem.Text(u"\n"_qs);
        QTextTable* box = stem.Cursor().insertTable(1, 1);
        Ruled(*box);
        box->cellAt(0, 0).firstCursorPosition().insertText(u"<보기>\nㄱ. 참이다."_qs.replace(u'\n', QChar::ParagraphSeparator));
        stem.Write(Question(1) / "obj-exam.hwp");
        Part options;
        options.Text(u"① 하나\n② "_qs).Picture(Png(20, 20, Qt::blue)).Text(u"\n③ 셋\n④ 넷\n⑤ 다섯"_qs);
        options.Write(Question(1) / "obj-objective.hwp");
        Part().Text(u"②"_qs).Write(Question(1) / "obj-answer.hwp");
        Part().Text(u"둘이 가장 큽니다."_qs).Write(Question(1) / "obj-explain.hwp");
        WriteFile(Question(1) / "1.dat", Dat(1, "DNN", "2", true));

        Part().Text(u"값을 쓰시오."_qs).Write(Question(2) / "sbj-exam.hwp");
        Part().Text(u"12\n열둘"_qs).Write(Question(2) / "sbj-answer.hwp");
        Part().Text(u"더하면 12입니다."_qs).Write(Question(2) / "sbj-explain.hwp");
        WriteFile(Question(2) / "2.dat", Dat(2, "NDN", "", true));

        Part().Text(u"까닭을 서술하시오."_qs).Write(Question(3) / "des-exam.hwp");
        Part().Text(u"모범 답안입니다."_qs).Write(Question(3) / "des-answer.hwp");
        Part().Text(u"채점 기준: 까닭 두 가지."_qs).Write(Question(3) / "des-explain.hwp");
        WriteFile(Question(3) / "3.dat", Dat(3, "NND", "", false));
    }

    fs::path m_root;
};

fs::path SchemaFolder()
{
    const fs::path folder = fs::path(VARNEL_TEST_SOURCE_DIR) / ".." / "shared" / "qti3-xsd";
    return fs::is_directory(folder / "qtiv3p0") ? folder.lexically_normal() : fs::path();
}

// The manifest schema imports a LOM schema the copies lack; a catalog gives xmllint a lax
// stand-in so the package part of the schema is checked strictly and the LOM part loosely.
fs::path LomCatalog(const fs::path& folder, const fs::path& schemas)
{
    WriteFile(folder / "lom.xsd",
              R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" targetNamespace="http://ltsc.ieee.org/xsd/LOM" )"
              R"(elementFormDefault="qualified"><xs:element name="lom"><xs:complexType><xs:sequence>)"
              R"(<xs:any processContents="lax" minOccurs="0" maxOccurs="unbounded"/></xs:sequence></xs:complexType>)"
              R"(</xs:element></xs:schema>)");
    WriteFile(folder / "catalog.xml",
              R"(<catalog xmlns="urn:oasis:names:tc:entity:xmlns:xml:catalog"><uri name="file://)" +
                  (schemas / "imsmd_loose_v1p3p2.xsd").string() + R"(" uri="file://)" + (folder / "lom.xsd").string() +
                  R"("/><system systemId=")" + (schemas / "imsmd_loose_v1p3p2.xsd").string() + R"(" uri="file://)" +
                  (folder / "lom.xsd").string() + R"("/></catalog>)");
    return folder / "catalog.xml";
}

TEST_F(Export, QtiPackageValidatesAndKeepsTheContent)
{
    const fs::path zip = m_root / "out" / "items.zip";
    fs::create_directories(zip.parent_path());
    item_export::ExportQti(Dats(), zip.string());
    const fs::path unpacked = m_root / "unpacked";
    ASSERT_EQ(RunShell("python3 -m zipfile -e " + Quote(zip) + " " + Quote(unpacked)).status, 0);

    const std::string manifest = ReadFile(unpacked / "imsmanifest.xml");
    for (const char* file : {"items/q1-obj.xml", "items/q2-sbj.xml", "items/q3-des.xml", "stimuli/p7.xml", "varnel.css"}) {
        EXPECT_TRUE(fs::exists(unpacked / file)) << file;
        EXPECT_NE(manifest.find(std::string("href=\"") + file + "\""), std::string::npos) << file;
    }
    // Every picture is in the package and listed; the passage is written once.
    std::size_t images = 0;
    for (const auto& entry : fs::directory_iterator(unpacked / "images")) {
        ++images;
        EXPECT_NE(manifest.find("images/" + entry.path().filename().string()), std::string::npos);
    }
    EXPECT_EQ(images, 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(unpacked / "stimuli"), fs::directory_iterator()), 1);
    EXPECT_NE(manifest.find("<dependency identifierref=\"R-p7\"/>"), std::string::npos);

    const std::string objective = ReadFile(unpacked / "items/q1-obj.xml");
    for (const char* expected : {"<qti-value>C2</qti-value>", "<strong>가장 큰</strong>", "<sup>2</sup>", "<math ",
                                 "alttext=\"{x+1} over 2\"", "<td colspan=\"2\" class=\"varnel-bt varnel-br varnel-bb varnel-bl\">", "class=\"varnel-box\"", "&lt;보기&gt;",
                                 "ㄱ. 참이다.", "alt=\"그림\"", "width=\"20\" height=\"20\"", "varnel-c-ff0000",
                                 "href=\"../stimuli/p7.xml\"", "<qti-value>3.5</qti-value>", "xml:lang=\"ko\""})
        EXPECT_NE(objective.find(expected), std::string::npos) << expected;
    EXPECT_EQ(objective.find("①"), std::string::npos) << "marks are dropped";
    const std::regex choice("<qti-simple-choice identifier=\"C(\\d)\">");
    std::vector<std::string> numbers;
    for (auto it = std::sregex_iterator(objective.begin(), objective.end(), choice); it != std::sregex_iterator(); ++it)
        numbers.push_back((*it)[1]);
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_NE(ReadFile(unpacked / "items/q2-sbj.xml").find("map-key=\"열둘\""), std::string::npos);
    EXPECT_NE(ReadFile(unpacked / "items/q3-des.xml").find("view=\"scorer\""), std::string::npos);
    EXPECT_NE(ReadFile(unpacked / "stimuli/p7.xml").find("alt=\"빨간 네모\""), std::string::npos);

    const fs::path schemas = SchemaFolder();
    if (schemas.empty()) GTEST_SKIP() << "no QTI schemas in ../shared/qti3-xsd";
    const fs::path schema = schemas / "qtiv3p0" / "imsqti_asiv3p0_sbacv1p0_v1p0.xsd";
    // One run: loading the item schema is most of xmllint's time. With the items goes one
    // whose stem holds the MathML of every exam script the typesetter is tested on.
    std::string item = ReadFile(unpacked / "items/q3-des.xml");
    std::string equations;
    std::ifstream scripts(fs::path(VARNEL_TEST_SOURCE_DIR) / "tests/math/exam_scripts.txt");
    for (std::string line; std::getline(scripts, line);)
        if (!line.empty()) equations += "<p>" + math::ScriptToMathML(QString::fromStdString(line).toStdU16String()) + "</p>";
    ASSERT_GT(equations.size(), 1000u);
    item.replace(item.find("<div>"), 5, "<div>" + equations);
    WriteFile(unpacked / "equations.xml", item);
    std::string files = " " + Quote(unpacked / "equations.xml");
    for (const char* file : {"items/q1-obj.xml", "items/q2-sbj.xml", "items/q3-des.xml", "stimuli/p7.xml"})
        files += " " + Quote(unpacked / file);
    const Shell items = RunShell("xmllint --noout --nonet --schema " + Quote(schema) + files);
    EXPECT_EQ(items.status, 0) << items.output;
    const fs::path catalog = LomCatalog(m_root / "lom", schemas);
    const Shell lint = RunShell("XML_CATALOG_FILES=" + Quote(catalog) + " xmllint --noout --nonet --schema " +
                           Quote(schemas / "qtiv3p0" / "imsqtiv3p0_imscpv1p2_v1p0.xsd") + " " +
                           Quote(unpacked / "imsmanifest.xml"));
    EXPECT_EQ(lint.status, 0) << lint.output;
}

TEST_F(Export, MoodleQuizHasEachQuestionsAnswersAndFiles)
{
    const fs::path xml = m_root / "out" / "quiz.xml";
    fs::create_directories(xml.parent_path());
    item_export::ExportMoodle(Dats(), xml.string());
    const Shell check = RunShell("python3 " + Quote(fs::path(VARNEL_TEST_SOURCE_DIR) / "tests/export/moodle_summary.py") +
                            " " + Quote(xml));
    ASSERT_EQ(check.status, 0) << check.output;
    const std::string expected =
        "multichoice grade=3.5 single=true answers=0,100,0,0,0 files=p7-1.png,q1-obj-1.png tags=중학교,객관식,난이도 3\n"
        "shortanswer grade=3.5 answers=100:12,100:열둘 files=p7-1.png tags=중학교,주관식,난이도 3\n"
        "essay grade=3.5 grader=모범 답안입니다.|채점 기준: 까닭 두 가지. files= tags=중학교,서술형,난이도 3\n";
    EXPECT_EQ(check.output, expected);
    const std::string quiz = ReadFile(xml);
    EXPECT_NE(quiz.find("\\(\\frac{x+1}{2}\\)"), std::string::npos);
    EXPECT_NE(quiz.find("다음 글을 읽고"), std::string::npos);
    EXPECT_NE(quiz.find("colspan=&quot;2&quot; style=&quot;padding:2px 4px;border-top:1px solid #000000"), std::string::npos);
}

struct BadInput {
    const char* name;
    std::function<void(const fs::path& root)> spoil;
    const char* named;   // the end of the path the error names
};

class ExportRefuses : public Export, public testing::WithParamInterface<BadInput> {};

TEST_P(ExportRefuses, NamingTheFileAndWritingNothing)
{
    GetParam().spoil(m_root);
    const fs::path out = m_root / "out";
    fs::create_directories(out);
    for (bool qti : {true, false}) {
        try {
            if (qti) item_export::ExportQti(Dats(), (out / "items.zip").string());
            else item_export::ExportMoodle(Dats(), (out / "quiz.xml").string());
            ADD_FAILURE() << "no error";
        } catch (const item_export::ExportError& error) {
            EXPECT_TRUE(error.Path().ends_with(GetParam().named)) << error.what();
            EXPECT_FALSE(error.Korean().empty());
        }
        EXPECT_TRUE(fs::is_empty(out)) << "nothing left behind";
    }
}

const BadInput kBadInputs[] = {
    {"MissingPart", [](const fs::path& root) { fs::remove(root / "ws/local_exam/ek-1/obj-objective.hwp"); },
     "ek-1/obj-objective.hwp"},
    {"DamagedPart", [](const fs::path& root) { WriteFile(root / "ws/local_exam/ek-2/sbj-answer.hwp", "not a document"); },
     "ek-2/sbj-answer.hwp"},
    {"PassageFolderGone", [](const fs::path& root) { fs::remove_all(root / "ws/local_examtext/etk-7"); },
     "local_examtext/etk-7"},
    {"PictureThatDoesNotDecode",
     [](const fs::path& root) {
         // The header and size are a PNG's; the pixels are not there.
         const std::string broken = Png(8, 8, Qt::green).substr(0, 33) + std::string(64, 'x');
         Part part;
         part.Text(u"그림: "_qs).Picture(broken);
         part.Write(root / "ws/local_exam/ek-3/des-exam.hwp");
     },
     "ek-3/des-exam.hwp"},
    {"EmptySubjectiveAnswer", [](const fs::path& root) { Part().Write(root / "ws/local_exam/ek-2/sbj-answer.hwp"); },
     "ek-2/sbj-answer.hwp"},
    {"NotARecord", [](const fs::path& root) { WriteFile(root / "ws/local_exam/ek-3/3.dat", "[1,2]"); }, "ek-3/3.dat"},
};

TEST_F(Export, CommandLineNamesTheBadFileInKoreanAndWritesNothing)
{
    fs::remove(Question(2) / "sbj-exam.hwp");
    const fs::path out = m_root / "out";
    fs::create_directories(out);
    std::string dats;
    for (const std::string& dat : Dats()) dats += " " + Quote(dat);
    const Shell korean = RunShell("LC_ALL=ko_KR.UTF-8 " + std::string(VARNEL_EXPORT_PROGRAM) + " --moodle " +
                                  Quote(out / "quiz.xml") + dats);
    EXPECT_EQ(WEXITSTATUS(korean.status), 1);
    EXPECT_NE(korean.output.find((Question(2) / "sbj-exam.hwp").string() + ": 문서가 없습니다"), std::string::npos)
        << korean.output;
    EXPECT_TRUE(fs::is_empty(out));
    const Shell english = RunShell("LC_ALL=C " + std::string(VARNEL_EXPORT_PROGRAM) + " --qti " +
                                   Quote(out / "items.zip") + dats);
    EXPECT_NE(english.output.find("the document is missing"), std::string::npos) << english.output;
    EXPECT_TRUE(fs::is_empty(out));
}

INSTANTIATE_TEST_SUITE_P(Inputs, ExportRefuses, testing::ValuesIn(kBadInputs),
                         [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

}  // namespace
