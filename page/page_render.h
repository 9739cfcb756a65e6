// page/: a document laid out on pages and painted, headless. Who calls it: the pane
// (editor/) for its page view and caret indicator, render/ for page images, PDFs and the
// print document, varnel-hwp for its image and pdf commands. This header is the way in.
//
// A tour:
//   - page_render.h     PagedLayout: a copy of an EditorDocument laid out on its pages,
//                       painted page by page into images (this header);
//   - page_glyphs.h     the glyph cache that makes repeated pages cheap;
//   - object_painters.h tables, pictures, equations, shapes and captions as printed; they
//                       register with the kept-object registry (document/kept_objects.h);
//   - control_painters.h controls that print as marks or numbers (auto numbers, notes,
//                       rubies) or not at all;
//   - page_furniture.h  headers, footers, page numbers and notes around the body;
//   - text_items.h      a paint device that hands on the text a painter writes (tests,
//                       the PDF text layer);
//   - vector_text.h     the text of PDF pages drawn from glyph runs at its exact size.
// Nothing here includes editor/: no widgets.
#pragma once

#include "document/editor_document.h"
#include "hwp/section.h"
#include "page/placed_objects.h"
#include "page/stored_breaks.h"

#include <QImage>
#include <QPainter>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QTextBlock;
class QTextLine;

namespace editor {

// A copy of the document laid out on its pages (body width and height of the page
// definition, in layout pixels). The copy leaves the pane's document and caret alone.
//
// Every section is laid out on pages of its own definition: the first on the document's
// Page(), each later one, from the character that starts it (KeptSection), on its own
// paper, orientation and margins. Pages are numbered through the document. A new set of
// columns within a section is a part laid out on its own; unless its paragraph also breaks
// the page, it begins on the sheet the part before ends on, below that part's text.
class PageGlyphs;
class PageFurniture;
class BlockOrigins;
class VectorText;
struct FurnitureCarry;
class ParagraphHeads;
struct RepeatedText;

// How the copy paints its text: into bitmaps from cached glyphs (page_glyphs.h); through
// the painter as real text, as Qt paints it; or through the painter with the plain text
// drawn from the layout's glyph runs at the exact size of its char shapes, as a PDF
// carries it (vector_text.h).
enum class PageOutput { Bitmap, Vector, Pdf };

// Whether paragraphs read from a file keep the lines stored with them where the layout
// allows (stored_breaks.h), or are all laid out anew.
enum class StoredBreaks { Follow, Ignore };

class PagedLayout {
public:
    explicit PagedLayout(const EditorDocument& document, PageOutput output = PageOutput::Bitmap,
                         StoredBreaks breaks = StoredBreaks::Follow);
    // Laid out only as far as page `page` (0-based) needs: the copy leaves out the text well
    // after it (a long table below a row), so that an early page of a long document costs what
    // the pages up to it hold. PageCount() counts the pages laid out: more than `page` + 1
    // where the document goes on, every page where it ends sooner.
    static std::unique_ptr<PagedLayout> Through(const EditorDocument& document, int page,
                                                PageOutput output = PageOutput::Bitmap);
    ~PagedLayout();

    // How the laid-out lines of the paragraphs that kept their stored lines agree with
    // them, over every section.
    LineAgreement MeasureStoredLines() const;
    // The lines every block was laid out in, over every section, as a file stores them
    // (document/hwp_mapping.h writes them for the paragraphs laid out anew).
    LaidOutLines LaidLines() const;

    int PageCount() const;
    // Where the objects the file places on the page, and the captions set beside tables
    // (placed_objects.h), lie on the sheet of page `page`, in layout pixels.
    std::vector<QRectF> PlacedObjectRects(int page) const;
    // The page definition page `page` is laid out on: its section's (the last section's
    // past the end).
    const PageSetup& PageOf(int page) const;
    // Paints the band [top, top + image.height()) of page `page` at `dpi`, on white.
    // The image is Format_RGB32. But for PDF output, text is as large as the layout's
    // fonts, which Qt holds in whole layout pixels (a 10-point char shape prints at 13 px,
    // 9.75 points).
    void PaintBand(QImage& image, int page, int top, double dpi) const;
    // Vector and PDF output only: paints page `page` with `painter`, whose coordinates are
    // layout pixels from the sheet's top left corner. Nothing is filled behind it.
    void PaintPage(QPainter& painter, int page) const;
    // Pixels of the whole sheet of page `page` at `dpi`; without a page, of the first.
    int SheetPixelWidth(int page, double dpi) const;
    int SheetPixelHeight(int page, double dpi) const;
    int SheetPixelWidth(double dpi) const { return SheetPixelWidth(0, dpi); }
    int SheetPixelHeight(double dpi) const { return SheetPixelHeight(0, dpi); }

private:
    struct Section;
    static std::vector<Section> SectionsOf(const EditorDocument& document);
    // The sections that begin before position `cut`, the last one cut there.
    static std::vector<Section> CutAt(std::vector<Section> sections, int cut);
    // A part that goes on on the last sheet of the part before: below that part's text, and
    // around that part's objects on the sheet (in sheet coordinates, outer margins included).
    struct SharedSheet {
        double startBelow = 0;
        std::vector<TextObstacle> objects;
    };
    PagedLayout(const EditorDocument& document, PageOutput output, StoredBreaks breaks,
                const std::vector<Section>& sections, std::size_t index, FurnitureCarry carried,
                std::optional<SharedSheet> shared = std::nullopt);
    void MeasureOwnLines(LineAgreement& agreement) const;
    // Where the lines of layout page `layoutPage` count their stored tops from, in the
    // layout's coordinates.
    double StoredTopOf(int layoutPage) const;
    void LayOwnLines(LaidOutLines& laid) const;
    // The layout of the section that holds page `page`, and the page's index in it.
    std::pair<const PagedLayout*, int> Locate(int page) const;
    // Every part painted on page `page` with its own index of the page, in order: the first
    // owns the sheet (its paper and furniture), the others go on below it.
    std::vector<std::pair<const PagedLayout*, int>> PartsOn(int page) const;
    // Paints this part's own page `local`; `sheet`: its furniture too.
    void PaintOwnBand(QImage& image, int local, int top, double dpi, bool sheet) const;
    void PaintOwnPage(QPainter& painter, int local, bool sheet) const;
    // How far below the body's top the text ends on the part's last sheet, with the
    // spacing after its last line (layout pixels): where a part going on below it starts.
    double TextEndOnLastSheet() const;
    // For a part that begins below another's text: the tops of its first sheet's columns
    // but the first (that one's first paragraph is lowered), which its text goes below.
    std::vector<TextObstacle> StartAbove() const;
    // The objects on this part's last sheet that text flows around, for a part going on there.
    std::vector<TextObstacle> ObjectsOnLastSheet() const;
    // A placed object that text flows around, on its sheet with its outer margins, and the
    // page and layout page it sits on.
    struct SheetObstacle {
        TextObstacle obstacle;
        int page = 0;
        int layoutPage = 0;
    };
    std::optional<SheetObstacle> ObstacleOnSheet(const PlacedObject& placed) const;
    // An obstacle on the sheet in the coordinates of layout page `layoutPage`.
    TextObstacle OnLayoutPage(TextObstacle onSheet, int layoutPage) const;
    // Lays the paragraphs with stored lines that meet `obstacles` out anew from now on.
    void ReleaseHeldLinesMeeting(const std::vector<TextObstacle>& obstacles);
    int OwnPageCount() const;

    // Ends the painter and blends the cached glyphs within `clip` (layout coordinates).
    void PaintGlyphs(QImage& image, QPainter& painter, const QRectF& clip, const std::vector<RepeatedText>& repeats) const;
    // Tables' header rows again at the top of layout page `layoutPage`, for each table that
    // runs onto it from an earlier page and whose file asks for them.
    std::vector<RepeatedText> RepeatsOn(int layoutPage) const;
    // How far the layout moves the header rows of positions [from, to) to repeat them on
    // layout page `layoutPage`; nothing when they hold no text.
    std::optional<double> RepeatShift(int from, int to, int layoutPage, double pageHeight) const;
    // Draws the lines of `repeats` meeting `area` (where they are painted) at their places.
    void DrawRepeats(QPainter& painter, const QRectF& area, const std::vector<RepeatedText>& repeats) const;
    // Paints the backgrounds of the blocks `drawn` selects and those of their lines meeting
    // `area` that `drawsLine` selects: what the document's layout paints, without the rest.
    // For PDF output the plain text of the lines is drawn from glyph runs (vector_text.h).
    void DrawLines(QPainter& painter, const QRectF& area, const std::function<bool(const QTextBlock&)>& drawn,
                   const std::function<bool(const QTextBlock&, const QTextLine&)>& drawsLine) const;
    // Whether the block is in a table cell (or another frame) rather than in the body.
    bool InCell(const QTextBlock& block) const;
    // Where the text of the table cell holding `block` begins (layout coordinates); below
    // 0 for a block outside tables.
    double CellTop(const QTextBlock& block) const;

    // Paints layout page `layoutPage` (a column of the sheet when there are several) at
    // `x` layout pixels right of the body's left edge, into the band of `image` from `top`.
    void PaintColumnBand(QImage& image, int layoutPage, double x, int top, double dpi) const;
    // The same on `painter`, for vector output.
    void PaintColumn(QPainter& painter, int layoutPage, double x) const;
    // Where column `column` begins right of the body's left edge (layout pixels).
    double ColumnLeft(int column) const;
    double ColumnWidth(int column) const;
    // The part of the layout that layout page `layoutPage` shows, in layout coordinates.
    QRectF ColumnBody(int layoutPage) const;
    // Lays the section out in its columns, when they fit.
    void SetColumns(const hwp::Columns& columns);
    // How far down the body the text of each layout page reaches (layout pixels from the
    // body's top; 0 for none), in one pass over the text.
    std::vector<double> TextBottoms() const;
    // Once laid out: how far down each sheet the lines between its columns run.
    void MeasureColumnLines();
    // The lines between the columns that cells' paragraphs set for themselves, within
    // `area` (layout coordinates).
    void PaintCellColumnLines(QPainter& painter, const QRectF& area) const;
    // The lines between the columns of page `page`, on `painter` in layout pixels from the
    // sheet's corner.
    void PaintColumnLines(QPainter& painter, int page) const;

    // Where the placed objects lie: the page of the section and the rect on its sheet.
    struct PlacedOnSheet {
        const PlacedObject* object = nullptr;
        int page = 0;
        int layoutPage = 0;
        QRectF rect;
    };
    PlacedOnSheet Place(const PlacedObject& placed) const;
    PlacedOnSheet Place(const CaptionBeside& caption) const;
    const std::vector<PlacedOnSheet>& PlacedOnSheets() const;
    // Paragraphs whose objects push their text down start a page where the object would
    // not fit above the text on the page the text starts.
    void BreakBeforePushedParagraphs();
    // Distributed columns end level on the last sheet: a paragraph starts each column but
    // the first where its share of the sheet's text begins, when the columns then still
    // hold what they would hold. Paragraphs are not split between columns.
    void BalanceLastColumns();
    // Once laid out: the lines of paragraphs laid out anew go around the objects the text
    // goes around and below those it goes above and below (placed_objects.h); paragraphs
    // that hold their stored lines (`held`) already do. True when the room the lines take
    // changed (`makeRoom`); the copy is then laid out again.
    bool FlowAroundPlacedObjects(const std::unordered_set<const StoredLines*>& held, bool makeRoom);
    std::vector<TextObstacle> NarrowColumnEdges() const;
    // Paints the placed objects of page `page` under the text (`behind`) or over it,
    // in their order; `painter`'s coordinates are layout pixels from the sheet's corner.
    void PaintPlaced(QPainter& painter, int page, bool behind) const;

    PageSetup m_page;
    // Whether the first sheet is the last of the part before, and where this part's text
    // begins on it below the body's top (layout pixels).
    bool m_sharesFirstSheet = false;
    double m_startBelow = 0;
    std::vector<TextObstacle> m_objectsAbove;   // the part before's, on the shared sheet
    // The number of the section's first block in the whole document.
    int m_firstBlock = 0;
    // The section's columns: each a page of the text's layout, side by side on the sheet.
    int m_columns = 1;
    // Each column's left edge in the body and its width, in the order the text fills them
    // (from the right where the file says so). The text is laid out as wide as the widest
    // (m_columnWidth) and held back from the rest in narrower ones; stored lines keep
    // their own widths.
    std::vector<std::pair<hwp::HwpUnit, hwp::HwpUnit>> m_columnSpans;
    hwp::HwpUnit m_columnWidth = 0;
    hwp::BorderLine m_columnLine;   // between the columns; kind 0: none
    std::vector<double> m_columnLineBottoms;   // by sheet, from the body's top
    bool m_balanced = false;           // distributed columns: level on the last sheet
    QImage m_layoutDevice;
    std::unique_ptr<QTextDocument> m_text;
    // By block number: the columns of cells' paragraphs laid side by side (stored_breaks.h).
    std::unordered_map<int, hwp::Columns> m_cellColumns;
    // The stored lines of the blocks that held what they were read with when copied.
    std::unordered_set<const StoredLines*> m_heldLines;
    std::unique_ptr<ParagraphHeads> m_heads; // numbers and bullets before paragraphs
    std::unique_ptr<PageGlyphs> m_glyphs; // Bitmap output only
    std::unique_ptr<VectorText> m_vectorText; // PDF output only
    std::unique_ptr<PageFurniture> m_furniture;
    std::vector<PlacedObject> m_placed;
    std::unordered_set<int> m_flowed;   // blocks laid around placed objects
    std::vector<CaptionBeside> m_captionsBeside;
    // Measured at the first painting, in order of their z-order.
    mutable std::optional<std::vector<PlacedOnSheet>> m_placedOnSheets;
    // The sections after the first, each laid out on its own pages; this object lays out
    // the first.
    std::vector<std::unique_ptr<PagedLayout>> m_later;
    // Measured at the first painting, when the copy is laid out.
    const BlockOrigins& Origins() const;
    mutable std::unique_ptr<BlockOrigins> m_origins;
    // Where the blocks lie, so that painting a page visits the blocks near it, not every
    // block of the document: the bottom of the lowest block up to each block number, and the
    // top of the highest from each on (layout pixels).
    std::pair<int, int> BlocksMeeting(const QRectF& area) const;
    mutable std::vector<double> m_lowestBottom;
    mutable std::vector<double> m_highestTop;
    // The body's tables with repeated header rows that hold text: the rows' positions
    // [from, to), the table's top and the layout pages it starts and ends on. Measured at
    // the first painting.
    struct RepeatedHeader {
        int from = 0;
        int to = 0;
        double top = 0;
        int firstPage = 0;
        int lastPage = 0;
    };
    mutable std::optional<std::vector<RepeatedHeader>> m_repeatedHeaders;
};

// Writes page `page` (0-based) at `dpi` as an uncompressed bottom-up 24-bit BMP, painted
// in bands so a 600-dpi A4 page needs a few megabytes instead of a whole-page image. The
// file is replaced in one instant. Each band's rows are converted and written on a second
// thread while the next band is painted. False when the page does not exist, the dpi is
// outside 1..2400 or the file cannot be written.
bool RenderPageBmp(const EditorDocument& document, int page, int dpi, const std::string& path);

} // namespace editor
