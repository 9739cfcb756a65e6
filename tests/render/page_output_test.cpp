// Page images and PDFs of whole documents, and `varnel-hwp image` / `varnel-hwp pdf`.
#include "tests/render/render_testing.h"

#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "page/text_items.h"
#include "render/page_image.h"
#include "render/page_pdf.h"
#include "tools/templates/template_documents.h"

#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextTable>

#include <fstream>
#include <iterator>
#include <utility>
#include <map>
#include <utility>

using namespace render_testing;

namespace {

// Paragraphs of `sentences` sentences, each tagged "문단 N" with its own number.
std::unique_ptr<editor::EditorDocument> KoreanPages(int paragraphs, int sentences = 1)
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    cursor.movePosition(QTextCursor::End);
    int tag = 0;
    for (int i = 0; i < paragraphs; ++i) {
        for (int j = 0; j < sentences; ++j)
            cursor.insertText(QStringLiteral("윗글의 중심 내용으로 가장 알맞은 것은? 봄이 오면 산과 들에 꽃이 핀다. 문단 %1 ").arg(++tag));
        cursor.insertBlock();
    }
    return document;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

QImage ReadImage(const std::string& path)
{
    QImageReader reader(QString::fromStdString(path));
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

QString WithoutSpaces(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s+"))).remove(QChar(0x2029));
}

class PageOutput : public RenderTest {};

TEST_F(PageOutput, ThePageImageWrittenStraightIsTheImageASaveExports)
{
    const auto document = KoreanPages(60);
    ASSERT_GE(editor::PagedLayout(*document).PageCount(), 2);
    for (const int page : {0, 1}) {
        const std::string bitmap = PathOf("page.bmp");
        ASSERT_TRUE(editor::RenderPageBmp(*document, page, 600, bitmap));
        ASSERT_TRUE(ConvertPageBitmap(bitmap, PathOf("saved.png")));
        ASSERT_TRUE(WritePageImage(*document, page, PathOf("straight.png")));
        EXPECT_EQ(PngCheckFailure(PathOf("straight.png")), "");
        EXPECT_EQ(ReadFileBytes(PathOf("straight.png")), ReadFileBytes(PathOf("saved.png"))) << "page " << page;
        EXPECT_EQ(ReadImage(PathOf("straight.png")).size(), QSize(2480, 3508));
    }
}

TEST_F(PageOutput, APageImageThatCannotBeMadeLeavesTheOldFileAlone)
{
    const auto document = KoreanPages(3);
    const std::string image = PathOf("kept.png");
    std::ofstream(image) << "old";
    EXPECT_FALSE(WritePageImage(*document, 1, image)) << "one page only";
    EXPECT_FALSE(WritePageImage(*document, -1, image));
    EXPECT_EQ(ReadFileBytes(image), "old");
    EXPECT_FALSE(WritePageImage(*document, 0, PathOf("missing/folder.png")));
}

// Tables among the paragraphs: a small one, and one whose tall cell runs over a page break
// (one column, so the document's order is the pages' order).
void AddTables(editor::EditorDocument& document)
{
    QTextCursor cursor(&document.Text());
    cursor.setPosition(document.Text().findBlockByNumber(3).position());
    QTextTable* small = cursor.insertTable(2, 2);
    for (int cell = 0; cell < 4; ++cell)
        small->cellAt(cell / 2, cell % 2).firstCursorPosition().insertText(QStringLiteral("표 칸 %1").arg(cell + 1));
    cursor.setPosition(document.Text().findBlockByNumber(20).position());
    QTextTable* tall = cursor.insertTable(1, 1);
    QTextCursor inCell = tall->cellAt(0, 0).firstCursorPosition();
    for (int line = 0; line < 40; ++line)
        inCell.insertText(QStringLiteral("긴 칸의 줄 %1\n").arg(line + 1));
}

TEST_F(PageOutput, EveryLineIsWrittenOnItsOwnPageOnly)
{
    for (const bool withTables : {false, true}) {
        SCOPED_TRACE(withTables ? "with tables" : "text only");
        // Paragraphs of several lines, so pages break inside them as well as between them.
        const auto document = KoreanPages(15, 4);
        if (withTables)
            AddTables(*document);
        const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
        ASSERT_GE(layout.PageCount(), withTables ? 3 : 2);
        // The text a painter writes, in order: what a PDF reader finds.
        QString written;
        editor::TextItemDevice device([&written](const QPointF&, const QTextItem& item) { written += item.text(); });
        QString all;
        for (int page = 0; page < layout.PageCount(); ++page) {
            QPainter painter(&device);
            layout.PaintPage(painter, page);
            painter.end();
            const QString text = WithoutSpaces(std::exchange(written, QString()));
            EXPECT_FALSE(text.isEmpty()) << "page " << page;
            all += text;
        }
        // In order and each once: the pages together are the document.
        EXPECT_EQ(all.toStdString(), WithoutSpaces(document->Text().toPlainText()).toStdString());
    }
}

TEST_F(PageOutput, ThePdfHasEveryPageAndItsTextInEmbeddedFonts)
{
    // Paragraphs of several lines, so pages break inside them.
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(15, 4), PathOf("pages.hwp")));
    const auto document = editor::ReadHwpFile(PathOf("pages.hwp"));
    ASSERT_TRUE(document);
    const int pages = editor::PagedLayout(*document).PageCount();
    ASSERT_TRUE(WriteDocumentPdf(*document, PathOf("pages.pdf")));
    const std::string pdf = ReadFileBytes(PathOf("pages.pdf"));
    ASSERT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("/FontFile2"), std::string::npos) << "an embedded TrueType font";
    std::size_t pageObjects = 0;
    for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1))
        ++pageObjects;
    EXPECT_EQ(pageObjects, static_cast<std::size_t>(pages));

    // The text itself, where poppler's text extractor is installed (the benchmarks' peer).
    const QString extractor = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (extractor.isEmpty())
        return;
    QProcess process;
    process.start(extractor, {QString::fromStdString(PathOf("pages.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString text =
        QString::fromUtf8(process.readAllStandardOutput()).replace(QRegularExpression(QStringLiteral("\\s+")), " ");
    EXPECT_TRUE(text.contains(QStringLiteral("윗글의 중심 내용으로 가장 알맞은 것은?"))) << text.left(200).toStdString();
    // Every paragraph there once, on one page, the pages in order.
    std::map<int, int> seen;
    int last = 0;
    for (int page = 1; page <= pages; ++page) {
        QProcess one;
        one.start(extractor, {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
                              QString::fromStdString(PathOf("pages.pdf")), QStringLiteral("-")});
        ASSERT_TRUE(one.waitForFinished(30000));
        const QString pageText = QString::fromUtf8(one.readAllStandardOutput())
                                     .replace(QRegularExpression(QStringLiteral("\\s+")), " ");
        auto matches = QRegularExpression(QStringLiteral("문단 (\\d+)")).globalMatch(pageText);
        while (matches.hasNext()) {
            const int tag = matches.next().captured(1).toInt();
            ++seen[tag];
            EXPECT_EQ(tag, last + 1) << "page " << page;
            last = tag;
        }
    }
    EXPECT_EQ(seen.size(), 60u);
    for (const auto& [tag, count] : seen)
        EXPECT_EQ(count, 1) << "문단 " << tag;
}

// The program as a user runs it.
class PageCommands : public RenderTest {
protected:
    struct Result {
        int status;
        std::string error;
    };
    Result Run(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(VARNEL_HWP_TOOL), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardError().toStdString()};
    }
    QString Q(const std::string& name) const { return QString::fromStdString(PathOf(name)); }
};

TEST_F(PageCommands, ImageAndPdfOfADocumentOfTwoPages)
{
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(60), PathOf("in.hwp")));
    EXPECT_EQ(Run({"image", Q("in.hwp"), Q("first.png")}).status, 0);
    EXPECT_EQ(ReadImage(PathOf("first.png")).size(), QSize(2480, 3508));
    EXPECT_EQ(Run({"image", Q("in.hwp"), Q("second.png"), "--page", "2"}).status, 0);
    EXPECT_FALSE(ReadImage(PathOf("first.png")) == ReadImage(PathOf("second.png")));
    EXPECT_EQ(Run({"pdf", Q("in.hwp"), Q("out.pdf")}).status, 0);
    EXPECT_EQ(ReadFileBytes(PathOf("out.pdf")).substr(0, 5), "%PDF-");
}

TEST_F(PageCommands, BadInputGetsAReasonAndLeavesTheOutputAlone)
{
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(3), PathOf("in.hwp")));
    std::ofstream(PathOf("text.hwp")) << "not a document";
    std::ofstream(PathOf("out.png")) << "old";

    Result result = Run({"image", Q("none.hwp"), Q("out.png")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("none.hwp: No such file"), std::string::npos) << result.error;

    result = Run({"pdf", Q("text.hwp"), Q("out.pdf")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("not a readable HWP document"), std::string::npos) << result.error;

    result = Run({"image", Q("in.hwp"), Q("out.png"), "--page", "4"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("has 1 page; there is no page 4"), std::string::npos) << result.error;

    result = Run({"image", Q("in.hwp"), Q("out.png"), "--page", "zwei"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("--page"), std::string::npos) << result.error;

    result = Run({"image", Q("in.hwp"), Q("no/such/out.png")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("no such folder"), std::string::npos) << result.error;

    result = Run({"pdf", Q("in.hwp"), QString::fromStdString(Folder())});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("is a folder"), std::string::npos) << result.error;

    EXPECT_EQ(Run({"image", Q("in.hwp")}).status, 2) << "usage";
    EXPECT_EQ(ReadFileBytes(PathOf("out.png")), "old");
    EXPECT_FALSE(Exists(PathOf("out.pdf")));
}

TEST_F(PageCommands, ImagePagesOfSeveralDocumentsAtADpiIntoAFolder)
{
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(60), PathOf("two.hwp")));
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(3), PathOf("one.hwp")));
    const QString out = Q("pages");
    // A range stops at each document's end; a page of its own must exist.
    Result result = Run({"image", "-o", out, "--pages", "1-3", "--dpi", "150", Q("two.hwp"), Q("one.hwp")});
    EXPECT_EQ(result.status, 0) << result.error;
    const QImage first = ReadImage(PathOf("pages/two-1.png"));
    EXPECT_EQ(first.size(), QSize(1240, 1754));
    EXPECT_FALSE(first == ReadImage(PathOf("pages/two-2.png")));
    EXPECT_EQ(ReadImage(PathOf("pages/one-1.png")).size(), QSize(1240, 1754));
    EXPECT_FALSE(Exists(PathOf("pages/two-3.png")));
    EXPECT_FALSE(Exists(PathOf("pages/one-2.png")));
    // At 300 dpi without --pages: every page, as a save draws it (in grey where a save's
    // image is 32-bit).
    result = Run({"image", "-o", Q("all"), Q("two.hwp")});
    EXPECT_EQ(result.status, 0) << result.error;
    ASSERT_TRUE(WritePageImage(*editor::ReadHwpFile(PathOf("two.hwp")), 1, PathOf("saved.png")));
    EXPECT_EQ(PngDepthAndColour(PathOf("all/two-2.png")), std::make_pair(8, 0));
    EXPECT_EQ(PngDepthAndColour(PathOf("saved.png")), std::make_pair(8, 6));
    EXPECT_TRUE(ReadImage(PathOf("all/two-2.png")).convertToFormat(QImage::Format_ARGB32) ==
                ReadImage(PathOf("saved.png")));

    result = Run({"image", "-o", out, "--pages", "2,3", Q("one.hwp"), Q("two.hwp")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("one.hwp has 1 page; there is no page 2"), std::string::npos) << result.error;
    // The single-document form takes --dpi too.
    result = Run({"image", Q("two.hwp"), Q("small.png"), "--page", "2", "--dpi", "100"});
    EXPECT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(ReadImage(PathOf("small.png")).width(), 827);
    EXPECT_EQ(Run({"image", Q("two.hwp"), Q("second.png"), "--pages", "2"}).status, 0);
    EXPECT_EQ(ReadFileBytes(PathOf("second.png")), ReadFileBytes(PathOf("all/two-2.png")));
}

TEST_F(PageCommands, PdfsIntoAFolderAndADocumentNamedAsTheOutputIsLeftAlone)
{
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(3), PathOf("a.hwp")));
    ASSERT_TRUE(editor::WriteHwpFile(*KoreanPages(4), PathOf("b.hwp")));
    EXPECT_EQ(Run({"pdf", "-o", Q("out"), Q("a.hwp"), Q("b.hwp")}).status, 0);
    EXPECT_EQ(ReadFileBytes(PathOf("out/a.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(ReadFileBytes(PathOf("out/b.pdf")).substr(0, 5), "%PDF-");

    // `pdf a.hwp b.hwp` meant two documents: b.hwp is not written over.
    const std::string kept = ReadFileBytes(PathOf("b.hwp"));
    for (const char* command : {"pdf", "image"}) {
        const Result result = Run({command, Q("a.hwp"), Q("b.hwp")});
        EXPECT_EQ(result.status, 2) << command;
        EXPECT_NE(result.error.find("is an HWP document, not the output"), std::string::npos) << result.error;
    }
    EXPECT_EQ(ReadFileBytes(PathOf("b.hwp")), kept);
}

} // namespace
