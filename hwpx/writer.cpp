#include "hwpx/writer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <set>

#include "hwp/picture.h"
#include "hwp/preview_text.h"
#include "hwpx/package.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"
#include "support/files.h"

namespace hwpx {
namespace {

constexpr const char* kPackageNs = "http://www.hancom.co.kr/schema/2011/hpf";
constexpr const char* kOpfNs = "http://www.idpf.org/2007/opf/";
constexpr const char* kContainerNs = "urn:oasis:names:tc:opendocument:xmlns:container";

template <typename Body>
std::string Xml(Body&& body)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter out(&buffer);
    out.writeStartDocument(QStringLiteral("1.0"), true);
    body(out);
    out.writeEndDocument();
    return bytes.toStdString();
}

struct BinItem {
    QString id;
    std::string name;
    std::string bytes;
    QString mediaType;
};

QString MediaType(const QString& extension)
{
    static const QStringList kPictures = {QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("jpeg"),
                                          QStringLiteral("jpg"), QStringLiteral("png"), QStringLiteral("tif"),
                                          QStringLiteral("tiff"), QStringLiteral("wmf"), QStringLiteral("emf"),
                                          QStringLiteral("svg")};
    if (extension == QLatin1String("jpg"))
        return QStringLiteral("image/jpeg");
    if (kPictures.contains(extension))
        return QStringLiteral("image/") + extension;
    return QStringLiteral("application/") + (extension == QLatin1String("ole") ? extension : QStringLiteral("octet-stream"));
}

// Items keep the entries they were read from, which kept elements name; the others take
// "imageN" names no kept item has.
std::vector<BinItem> BinItems(const hwp::Document& document, std::map<std::uint16_t, QString>& names)
{
    std::vector<BinItem> items;
    std::set<QString> taken;
    std::set<QString> used;
    for (const hwp::BinDataItem& item : document.binData)
        taken.insert(QFileInfo(QString::fromStdString(item.packageEntry)).completeBaseName());
    int next = 1;
    for (std::size_t i = 0; i < document.binData.size(); ++i) {
        const hwp::BinDataItem& item = document.binData[i];
        if (item.streamName.empty())
            continue;   // a linked file: nothing to carry
        std::string bytes;
        try {
            bytes = hwp::BinDataBytes(item);
        } catch (const hwp::HwpError&) {
            continue;
        }
        const std::string& source = item.packageEntry.empty() ? item.streamName : item.packageEntry;
        QString extension = QFileInfo(QString::fromStdString(source)).suffix().toLower();
        if (extension.isEmpty())
            extension = QStringLiteral("bin");
        BinItem out;
        out.id = QFileInfo(QString::fromStdString(item.packageEntry)).completeBaseName();
        if (item.packageEntry.starts_with("BinData/") && !out.id.isEmpty() && !used.contains(out.id)) {
            out.name = item.packageEntry;
        } else {
            // New, or a second item of the same name (from another document).
            while (taken.contains(QStringLiteral("image%1").arg(next)))
                ++next;
            out.id = QStringLiteral("image%1").arg(next++);
            out.name = "BinData/" + out.id.toStdString() + "." + extension.toStdString();
        }
        used.insert(out.id);
        out.bytes = std::move(bytes);
        out.mediaType = MediaType(extension);
        names[static_cast<std::uint16_t>(i + 1)] = out.id;
        items.push_back(std::move(out));
    }
    return items;
}

// The package file the document was read with, when it is XML.
std::optional<XmlNode> KeptPackageFile(const hwp::Document& document)
{
    const auto kept = document.hwpxParts.find("Contents/content.hpf");
    if (kept == document.hwpxParts.end())
        return std::nullopt;
    try {
        return ParseXml(kept->second, kept->first);
    } catch (const hwp::HwpError&) {
        return std::nullopt;
    }
}

// Ours, with the metadata of the package file read (title, author, dates) and its items
// of kept parts (settings, scripts, ...).
std::string ContentHpf(const hwp::Document& document, const std::vector<BinItem>& items)
{
    const std::optional<XmlNode> kept = KeptPackageFile(document);
    const XmlNode* keptMetadata = kept ? kept->Child(u"metadata") : nullptr;
    std::vector<const XmlNode*> keptItems;
    if (const XmlNode* manifest = kept ? kept->Child(u"manifest") : nullptr) {
        for (const XmlNode* item : manifest->Children(u"item")) {
            if (document.hwpxParts.contains(item->Attr(u"href").toStdString()))
                keptItems.push_back(item);
        }
    }
    return Xml([&](QXmlStreamWriter& out) {
        out.writeNamespace(QString::fromLatin1(kOpfNs), QStringLiteral("opf"));
        out.writeNamespace(QString::fromLatin1(kPackageNs), QStringLiteral("hpf"));
        out.writeStartElement(kOpfNs, QStringLiteral("package"));
        out.writeAttribute(QStringLiteral("version"), QString());
        if (keptMetadata != nullptr) {
            WriteKept(out, *keptMetadata);
        } else {
            out.writeStartElement(kOpfNs, QStringLiteral("metadata"));
            out.writeTextElement(kOpfNs, QStringLiteral("language"), QStringLiteral("ko"));
            out.writeEndElement();
        }
        out.writeStartElement(kOpfNs, QStringLiteral("manifest"));
        const auto item = [&](const QString& id, const QString& href, const QString& type) {
            out.writeEmptyElement(kOpfNs, QStringLiteral("item"));
            out.writeAttribute(QStringLiteral("id"), id);
            out.writeAttribute(QStringLiteral("href"), href);
            out.writeAttribute(QStringLiteral("media-type"), type);
        };
        item(QStringLiteral("header"), QStringLiteral("Contents/header.xml"), QStringLiteral("application/xml"));
        for (const BinItem& bin : items) {
            item(bin.id, QString::fromStdString(bin.name), bin.mediaType);
            out.writeAttribute(QStringLiteral("isEmbeded"), QStringLiteral("1"));
        }
        for (std::size_t i = 0; i < document.sections.size(); ++i)
            item(QStringLiteral("section%1").arg(i), QStringLiteral("Contents/section%1.xml").arg(i),
                 QStringLiteral("application/xml"));
        for (const XmlNode* keptItem : keptItems)
            WriteKept(out, *keptItem);
        out.writeEndElement();
        out.writeStartElement(kOpfNs, QStringLiteral("spine"));
        out.writeEmptyElement(kOpfNs, QStringLiteral("itemref"));
        out.writeAttribute(QStringLiteral("idref"), QStringLiteral("header"));
        for (std::size_t i = 0; i < document.sections.size(); ++i) {
            out.writeEmptyElement(kOpfNs, QStringLiteral("itemref"));
            out.writeAttribute(QStringLiteral("idref"), QStringLiteral("section%1").arg(i));
        }
        out.writeEndElement();
        out.writeEndElement();
    });
}

std::string Container()
{
    return Xml([](QXmlStreamWriter& out) {
        out.writeNamespace(QString::fromLatin1(kContainerNs), QStringLiteral("ocf"));
        out.writeStartElement(kContainerNs, QStringLiteral("container"));
        out.writeStartElement(kContainerNs, QStringLiteral("rootfiles"));
        out.writeEmptyElement(kContainerNs, QStringLiteral("rootfile"));
        out.writeAttribute(QStringLiteral("full-path"), QStringLiteral("Contents/content.hpf"));
        out.writeAttribute(QStringLiteral("media-type"), QStringLiteral("application/hwpml-package+xml"));
        out.writeEndElement();
        out.writeEndElement();
    });
}

}  // namespace

namespace {

// The namespaces the word processor declares on every part, by prefix.
const std::vector<std::pair<QString, QString>>& StandardNamespaces()
{
    static const std::vector<std::pair<QString, QString>> namespaces = {
        {QStringLiteral("ha"), QStringLiteral("http://www.hancom.co.kr/hwpml/2011/app")},
        {QStringLiteral("hp"), QString::fromLatin1(kParagraphNs)},
        {QStringLiteral("hp10"), QStringLiteral("http://www.hancom.co.kr/hwpml/2016/paragraph")},
        {QStringLiteral("hs"), QString::fromLatin1(kSectionNs)},
        {QStringLiteral("hc"), QString::fromLatin1(kCoreNs)},
        {QStringLiteral("hh"), QString::fromLatin1(kHeadNs)},
        {QStringLiteral("hhs"), QStringLiteral("http://www.hancom.co.kr/hwpml/2011/history")},
        {QStringLiteral("hm"), QStringLiteral("http://www.hancom.co.kr/hwpml/2011/master-page")},
        {QStringLiteral("hpf"), QString::fromLatin1(kPackageNs)},
        {QStringLiteral("dc"), QStringLiteral("http://purl.org/dc/elements/1.1/")},
        {QStringLiteral("opf"), QString::fromLatin1(kOpfNs)},
        {QStringLiteral("ooxmlchart"), QStringLiteral("http://www.hancom.co.kr/hwpml/2016/ooxmlchart")},
        {QStringLiteral("hwpunitchar"), QStringLiteral("http://www.hancom.co.kr/hwpml/2016/HwpUnitChar")},
        {QStringLiteral("epub"), QStringLiteral("http://www.idpf.org/2007/ops")},
        {QStringLiteral("config"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:config:1.0")},
    };
    return namespaces;
}

void WriteKeptNode(QXmlStreamWriter& out, const XmlNode& node, bool top)
{
    if (node.IsText()) {
        out.writeCharacters(node.text);
        return;
    }
    out.writeStartElement(node.prefix.isEmpty() ? node.name : node.prefix + QLatin1Char(':') + node.name);
    // At the top, only what the part's root does not declare already.
    const auto& standard = StandardNamespaces();
    for (const auto& [prefix, uri] : node.namespaces) {
        if (!top || std::find(standard.begin(), standard.end(), std::pair<QString, QString>(prefix, uri)) == standard.end())
            out.writeAttribute(prefix.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefix, uri);
    }
    for (const auto& [name, value] : node.attributes)
        out.writeAttribute(name, value);
    for (const XmlNode& child : node.children)
        WriteKeptNode(out, child, false);
    out.writeEndElement();
}

}  // namespace

void DeclareNamespaces(QXmlStreamWriter& out)
{
    for (const auto& [prefix, uri] : StandardNamespaces())
        out.writeNamespace(uri, prefix);
}

void WriteKept(QXmlStreamWriter& out, const XmlNode& element)
{
    WriteKeptNode(out, element, true);
}

void WriteKept(QXmlStreamWriter& out, const std::string& xml)
{
    WriteKept(out, ParseXml(xml, "a kept element"));
}

XmlNode MergeKept(XmlNode ours, const XmlNode& kept)
{
    for (const auto& attribute : kept.attributes) {
        if (std::none_of(ours.attributes.begin(), ours.attributes.end(),
                         [&attribute](const auto& a) { return a.first == attribute.first; }))
            ours.attributes.push_back(attribute);
    }
    for (const auto& [prefix, uri] : kept.namespaces)
        ours.namespaces.try_emplace(prefix, uri);
    // Text is the model's (a script); white space between elements is nobody's.
    const auto hasText = [](const XmlNode& node) {
        return std::any_of(node.children.begin(), node.children.end(),
                           [](const XmlNode& child) { return child.IsText() && !child.text.trimmed().isEmpty(); });
    };
    if (hasText(ours) || hasText(kept))
        return ours;
    // Kept children go before the first of ours that followed them when read.
    std::vector<XmlNode> merged;
    std::vector<bool> used(ours.children.size(), false);
    const auto whole = [](const QString& name) { return name == u"subList" || name == u"tr"; };
    for (const XmlNode& child : kept.children) {
        if (child.IsText())
            continue;
        std::size_t match = 0;
        while (match < ours.children.size() && (used[match] || ours.children[match].name != child.name))
            ++match;
        if (match == ours.children.size()) {
            if (!whole(child.name))
                merged.push_back(child);
            continue;
        }
        // Ours before the match, not in the kept element, keep their place before it.
        for (std::size_t i = 0; i < match; ++i) {
            if (!used[i] && std::none_of(kept.children.begin(), kept.children.end(),
                                         [&](const XmlNode& k) { return !k.IsText() && k.name == ours.children[i].name; })) {
                merged.push_back(std::move(ours.children[i]));
                used[i] = true;
            }
        }
        used[match] = true;
        merged.push_back(whole(child.name) ? std::move(ours.children[match]) : MergeKept(std::move(ours.children[match]), child));
    }
    for (std::size_t i = 0; i < ours.children.size(); ++i) {
        if (!used[i])
            merged.push_back(std::move(ours.children[i]));
    }
    ours.children = std::move(merged);
    return ours;
}

void SetAttr(XmlNode& node, const QString& key, const QString& value)
{
    for (auto& [name, old] : node.attributes) {
        if (name == key) {
            old = value;
            return;
        }
    }
    node.attributes.emplace_back(key, value);
}

QString ColorText(hwp::ColorRef color)
{
    if (color == hwp::kNoColor)
        return QStringLiteral("none");
    const std::uint32_t rgb = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

std::string WriteHwpxToBytes(const hwp::Document& document, const std::string& previewPng)
{
    hwp::CheckDocument(document);
    std::map<std::uint16_t, QString> binNames;
    const std::vector<BinItem> items = BinItems(document, binNames);
    std::vector<std::pair<std::string, std::string>> parts;
    const auto kept = [&document](const std::string& name) -> const std::string* {
        const auto found = document.hwpxParts.find(name);
        return found == document.hwpxParts.end() ? nullptr : &found->second;
    };
    parts.emplace_back("mimetype", "application/hwp+zip");
    if (const std::string* version = kept("version.xml"))
        parts.emplace_back("version.xml", *version);
    else
        parts.emplace_back("version.xml", Xml([](QXmlStreamWriter& out) {
                               out.writeEmptyElement(QStringLiteral("version"));
                               out.writeAttribute(QStringLiteral("major"), QStringLiteral("5"));
                               out.writeAttribute(QStringLiteral("minor"), QStringLiteral("1"));
                               out.writeAttribute(QStringLiteral("application"), QStringLiteral("Varnel"));
                           }));
    const std::string* container = kept("META-INF/container.xml");
    parts.emplace_back("META-INF/container.xml", container != nullptr ? *container : Container());
    parts.emplace_back("Contents/content.hpf", ContentHpf(document, items));
    parts.emplace_back("Contents/header.xml", Xml([&](QXmlStreamWriter& out) { WriteHeaderXml(out, document, binNames); }));
    for (std::size_t i = 0; i < document.sections.size(); ++i)
        parts.emplace_back("Contents/section" + std::to_string(i) + ".xml", Xml([&](QXmlStreamWriter& out) {
                               WriteSectionXml(out, document, document.sections[i], binNames);
                           }));
    for (const BinItem& item : items)
        parts.emplace_back(item.name, item.bytes);
    // The preview text describes the content, as the word processor's own files do.
    const std::string preview = hwp::PreviewTextStream(document);
    parts.emplace_back("Preview/PrvText.txt",
                       QString::fromUtf16(reinterpret_cast<const char16_t*>(preview.data()),
                                          static_cast<qsizetype>(preview.size() / 2))
                           .toStdString());
    if (!previewPng.empty())
        parts.emplace_back("Preview/PrvImage.png", previewPng);
    std::set<std::string> written;
    for (const auto& [name, bytes] : parts)
        written.insert(name);
    for (const auto& [name, bytes] : document.hwpxParts) {
        if (!written.contains(name) && name != "Contents/content.hpf")
            parts.emplace_back(name, bytes);
    }
    return WritePackage(parts);
}

void WriteHwpx(const hwp::Document& document, const std::string& path, const std::string& previewPng)
{
    if (!WriteWholeFile(path, WriteHwpxToBytes(document, previewPng)))
        throw hwp::HwpError(path + ": cannot write the file");
}

}  // namespace hwpx
