// A pane's document (or a stretch of it, such as one option) as HTML for other
// programs: formats as elements, tables with their spans and borders, the <보기> box as a
// bordered block with its title, pictures as image files with their size and alt text,
// equations as MathML or as TeX for MathJax.
//
// Two dialects: QTI items take XHTML without style attributes, so looks come from class
// names defined in the package's stylesheet (PackageStylesheet); Moodle takes plain HTML
// with inline styles.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class QTextDocument;

namespace item_export {

enum class Dialect { Qti, Moodle };

struct ImageFile {
    std::string name;        // "q12-1.png"
    std::string bytes;       // as stored in the document; BMP converted to PNG
    std::string mediaType;   // "image/png"
};

// The image files of one package, each picture's bytes once.
class ImageStore {
public:
    // The file for these bytes, added under "<owner>-<n>.<extension>" when new.
    const ImageFile& Add(const std::string& owner, std::string bytes, const std::string& extension,
                         const std::string& mediaType);
    const std::vector<ImageFile>& Files() const { return m_files; }

private:
    std::vector<ImageFile> m_files;
    std::map<std::string, std::size_t> m_byBytes;
    std::map<std::string, int> m_counts;
};

class ContentWriter {
public:
    // `imagePrefix` goes before an image's file name in src ("../images/", "@@PLUGINFILE@@/").
    ContentWriter(Dialect dialect, ImageStore& images, std::string imagePrefix);

    // Pictures added from here on are named after `owner` ("q12", "p7").
    void SetOwner(std::string owner) { m_owner = std::move(owner); }

    // The HTML of [from, to) of `document` (to < 0: its end). `path` names the document
    // in errors: ExportError for a picture whose bytes are missing or do not decode.
    std::string Html(const QTextDocument& document, int from, int to, const std::string& path);

    // The image files the Html calls since the last call referred to, in order of first use.
    std::vector<std::string> TakeUsedImages();
    // Colours the QTI dialect named by class (0xRRGGBB).
    const std::set<std::uint32_t>& Colours() const { return m_colours; }

private:
    friend class HtmlBuilder;
    Dialect m_dialect;
    ImageStore& m_images;
    std::string m_imagePrefix;
    std::string m_owner = "img";
    std::vector<std::string> m_used;
    std::set<std::uint32_t> m_colours;
};

// The stylesheet QTI items and stimuli link: the classes ContentWriter uses.
std::string PackageStylesheet(const std::set<std::uint32_t>& colours);

// The plain text of [from, to), paragraphs trimmed, empty ones left out.
std::vector<std::string> ParagraphTexts(const QTextDocument& document, int from = 0, int to = -1);

}  // namespace item_export
