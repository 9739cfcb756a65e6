// PDFs and page images of documents the word processor wrote, and the PDF's text as a
// reader extracts it: a sheet per page of each section's size, text at its char shapes'
// sizes, no control characters, in reading order.
#include "tests/render/render_testing.h"

#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "render/page_image.h"
#include "render/page_pdf.h"
#include "tools/templates/template_documents.h"

#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

using namespace render_testing;

namespace {

std::string SamplesFolder()
{
    const std::filesystem::path folder = std::filesystem::path(std::getenv("VARNEL_SOURCE_DIR")) / "../shared/hwp-samples";
    return std::filesystem::is_directory(folder) ? folder.string() : std::string();
}

// The text poppler's extractor gives, keeping the page's rows.
QString ExtractedText(const std::string& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QString::fromStdString(pdf), QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The sizes, in points, that the text of the PDF's deflated content streams is shown at:
// each Tf's size through the text matrix and the matrices in force (all upright here).
std::set<double> ShownTextSizes(const std::string& pdf)
{
    std::set<double> sizes;
    for (std::size_t at = pdf.find("stream\n"); at != std::string::npos; at = pdf.find("stream\n", at + 1)) {
        std::string content(1 << 20, '\0');
        uLongf length = content.size();
        const std::size_t end = pdf.find("endstream", at);
        if (end == std::string::npos || uncompress(reinterpret_cast<Bytef*>(content.data()), &length,
                                                   reinterpret_cast<const Bytef*>(pdf.data() + at + 7),
                                                   static_cast<uLong>(end - at - 7)) != Z_OK)
            continue;
        std::istringstream in(content.substr(0, length));
        std::vector<double> scales{1.0}, operands;
        double fontSize = 0, textScale = 1;
        for (std::string token; in >> token;) {
            char* rest = nullptr;
            const double number = std::strtod(token.c_str(), &rest);
            if (*rest == '\0') {
                operands.push_back(number);
                continue;
            }
            if (token == "q")
                scales.push_back(scales.back());
            else if (token == "Q" && scales.size() > 1)
                scales.pop_back();
            else if (token == "cm" && operands.size() >= 6)
                scales.back() *= std::abs(operands[operands.size() - 3]);
            else if (token == "Tm" && operands.size() >= 6)
                textScale = std::abs(operands[operands.size() - 3]);
            else if (token == "Tf" && !operands.empty())
                fontSize = operands.back();
            else if (token == "Tj")
                sizes.insert(std::round(fontSize * textScale * scales.back() * 100) / 100);
            if (token.front() != '/' && token.front() != '<')
                operands.clear();
        }
    }
    return sizes;
}

// No control characters, line or paragraph separators or object replacement characters.
QString Unreadable(const QString& text)
{
    QString found;
    for (const QChar c : text) {
        if ((c.category() == QChar::Other_Control && c != u'\n' && c != u'\f') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || c == QChar::ObjectReplacementCharacter || c == QChar::ReplacementCharacter)
            found += QStringLiteral("U+%1 ").arg(c.unicode(), 4, 16, QChar(u'0'));
    }
    return found;
}

// The text of the body's paragraphs, in order, in pieces between the objects standing in
// them, without white space and private-use characters (a symbol font's, no text to give).
std::vector<QString> BodyPieces(const QTextDocument& text)
{
    std::vector<QString> pieces;
    const QRegularExpression dropped(QStringLiteral("[\\s\\x{E000}-\\x{F8FF}]"),
                                     QRegularExpression::UseUnicodePropertiesOption);
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (text.frameAt(block.position()) != text.rootFrame())
            continue;
        for (QString piece : block.text().split(QChar::ObjectReplacementCharacter)) {
            piece.remove(dropped);
            if (!piece.isEmpty())
                pieces.push_back(piece);
        }
    }
    return pieces;
}

class PdfSamples : public RenderTest {};

TEST_F(PdfSamples, EverySamplesPdfGivesItsBodyTextInOrderAndNoControlCharacters)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample documents";
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext";
    int documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".hwp" || name.rfind("password", 0) == 0)
            continue;
        SCOPED_TRACE(name);
        const auto document = editor::ReadHwpFile(entry.path().string());
        ASSERT_TRUE(document);
        ASSERT_TRUE(WriteDocumentPdf(*document, PathOf(name + ".pdf")));
        const QString text = ExtractedText(PathOf(name + ".pdf"));
        EXPECT_EQ(Unreadable(text).toStdString(), "");
        // Rows as printed; the marks poppler puts around right-to-left text are its own.
        QString rows = text;
        rows.remove(QRegularExpression(QStringLiteral("[\\s\\x{202A}-\\x{202E}]"),
                                       QRegularExpression::UseUnicodePropertiesOption));
        qsizetype at = 0;
        for (const QString& piece : BodyPieces(document->Text())) {
            const qsizetype found = rows.indexOf(piece, at);
            EXPECT_GE(found, 0) << piece.toStdString() << " after " << rows.mid(at, 40).toStdString();
            if (found >= 0)
                at = found + piece.size();
        }
        ++documents;
    }
    EXPECT_GE(documents, 20);
}

TEST_F(PdfSamples, EachSectionPrintsOnItsOwnSheetInPageImagesAndThePdf)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample documents";
    // Section 1 on A4 portrait, section 2 on A4 landscape.
    const auto document = editor::ReadHwpFile(folder + "/pagedefs.hwp");
    ASSERT_TRUE(document);
    const editor::PagedLayout layout(*document);
    ASSERT_EQ(layout.PageCount(), 2);
    for (const int page : {0, 1}) {
        ASSERT_TRUE(WritePageImage(layout, page, PathOf("page.png")));
        EXPECT_EQ(QImageReader(QString::fromStdString(PathOf("page.png"))).size(),
                  page == 0 ? QSize(2480, 3508) : QSize(3508, 2480));
    }
    ASSERT_TRUE(WriteDocumentPdf(*document, PathOf("pagedefs.pdf")));
    const QString pdf = QString::fromLatin1(ReadBytes(PathOf("pagedefs.pdf")));
    QStringList boxes;
    for (auto box = QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9]+)[0-9.]* ([0-9]+)")).globalMatch(pdf);
         box.hasNext();) {
        const QRegularExpressionMatch match = box.next();
        boxes << match.captured(1) + "x" + match.captured(2);
    }
    EXPECT_EQ(boxes, QStringList({"595x842", "842x595"}));
}

TEST_F(PdfSamples, ThePdfShowsTextAtItsCharShapesSizeInTheBodyAndInTables)
{
    // Sizes of a whole number of layout pixels (10.5 points, 14 px) and of none.
    auto made = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&made->Text());
    cursor.movePosition(QTextCursor::End);
    for (const double points : {10.0, 10.5, 16.0}) {
        QTextCharFormat format = made->DefaultCharFormat();
        format.setFontPointSize(points);
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("봄이 오면 산과 들에 꽃이 핀다. Spring %1 ").arg(points), format);
    }
    QTextCharFormat inCell = made->DefaultCharFormat();
    inCell.setFontPointSize(9.5);
    cursor.insertTable(1, 2)->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("표 칸"), inCell);
    // Through the file, so the sizes are the char shapes'.
    ASSERT_TRUE(editor::WriteHwpFile(*made, PathOf("sizes.hwp")));
    const auto document = editor::ReadHwpFile(PathOf("sizes.hwp"));
    ASSERT_TRUE(document);
    ASSERT_TRUE(WriteDocumentPdf(*document, PathOf("sizes.pdf")));
    EXPECT_EQ(ShownTextSizes(ReadBytes(PathOf("sizes.pdf"))), (std::set<double>{9.5, 10.0, 10.5, 16.0}));
}

} // namespace
