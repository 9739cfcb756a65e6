#include "hwpx/reader.h"

#include <QFileInfo>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "hwp/bytes.h"
#include "hwp/limits.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwpx/header_reader.h"
#include "hwpx/package.h"
#include "hwpx/section_reader.h"
#include "hwpx/values.h"

namespace hwpx {
namespace {

constexpr std::size_t kMaxSections = 4096;

struct Manifest {
    std::string hpf = "Contents/content.hpf";
    std::string header = "Contents/header.xml";
    std::vector<std::string> sections;
    std::vector<std::pair<QString, std::string>> binItems;   // package id, entry name
};

// Section parts in number order when no manifest lists them.
std::vector<std::string> SectionsByName(const Package& package)
{
    std::vector<std::string> sections;
    for (std::size_t i = 0; i < kMaxSections; ++i) {
        const std::string name = "Contents/section" + std::to_string(i) + ".xml";
        if (package.Find(name) == nullptr)
            break;
        sections.push_back(name);
    }
    return sections;
}

// META-INF/container.xml names the package file (Contents/content.hpf); it lists the
// parts and their order. A package without them (or with damaged ones) is read by the
// parts' usual names.
Manifest ReadManifest(const Package& package)
{
    Manifest manifest;
    std::string& hpf = manifest.hpf;
    if (const std::string* container = package.Find("META-INF/container.xml")) {
        try {
            const XmlNode root = ParseXml(*container, "META-INF/container.xml");
            if (const XmlNode* files = root.Child(u"rootfiles")) {
                for (const XmlNode* file : files->Children(u"rootfile")) {
                    const QString path = file->Attr(u"full-path");
                    if (path.endsWith(QLatin1String(".hpf")))
                        hpf = path.toStdString();
                }
            }
        } catch (const hwp::HwpError&) {
        }
    }
    std::map<QString, std::string> hrefs;
    std::vector<QString> spine;
    if (const std::string* content = package.Find(hpf)) {
        const XmlNode root = ParseXml(*content, hpf);
        if (const XmlNode* items = root.Child(u"manifest")) {
            for (const XmlNode* item : items->Children(u"item")) {
                const std::string href = item->Attr(u"href").toStdString();
                hrefs[item->Attr(u"id")] = href;
                if (href.starts_with("BinData/"))
                    manifest.binItems.emplace_back(item->Attr(u"id"), href);
            }
        }
        if (const XmlNode* order = root.Child(u"spine")) {
            for (const XmlNode* ref : order->Children(u"itemref"))
                spine.push_back(ref->Attr(u"idref"));
        }
    }
    for (const QString& id : spine) {
        const auto found = hrefs.find(id);
        if (found == hrefs.end())
            continue;
        if (found->second.find("header") != std::string::npos && found->second.ends_with(".xml"))
            manifest.header = found->second;
        else if (found->second.find("section") != std::string::npos && manifest.sections.size() < kMaxSections)
            manifest.sections.push_back(found->second);
    }
    if (manifest.sections.empty())
        manifest.sections = SectionsByName(package);
    if (manifest.sections.empty())
        manifest.sections.push_back("Contents/section0.xml");   // missing: reported when read
    if (manifest.binItems.empty()) {
        for (const auto& [name, data] : package.parts) {
            if (name.starts_with("BinData/"))
                manifest.binItems.emplace_back(QFileInfo(QString::fromStdString(name)).completeBaseName(), name);
        }
    }
    return manifest;
}

void AddBinData(const Package& package, const Manifest& manifest, hwp::Document& document,
                std::map<QString, std::uint16_t>& binIds)
{
    for (const auto& [id, name] : manifest.binItems) {
        const std::string* data = package.Find(name);
        if (data == nullptr)
            continue;   // a linked or lost item: pictures that show it are refused by name
        if (document.binData.size() >= 0xFFFE)
            throw hwp::HwpError("the HWPX package holds more items than a document may name");
        const auto storageId = static_cast<std::uint16_t>(document.binData.size() + 1);
        std::string extension = QFileInfo(QString::fromStdString(name)).suffix().toLower().toStdString();
        if (extension.empty() || extension.size() > 8)
            extension = "bin";
        hwp::ByteWriter record;
        record.U16(0x0001);   // embedded, compressed as the document says
        record.U16(storageId);
        record.Text16(std::u16string(extension.begin(), extension.end()));
        hwp::BinDataItem item;
        item.record = hwp::ToBytes(record.Data());
        char stream[32];
        std::snprintf(stream, sizeof stream, "BIN%04X.", storageId);
        item.streamName = stream + extension;
        item.stream = hwp::DeflateRaw(*data);
        item.packageEntry = name;
        document.binData.push_back(std::move(item));
        binIds[id] = storageId;
    }
}

// Tables a header may leave empty get the new document's, so every id 0 is valid.
void FillEmptyTables(hwp::Document& document)
{
    const hwp::Document fresh = hwp::NewDocument();
    for (std::size_t lang = 0; lang < document.faces.size(); ++lang) {
        if (document.faces[lang].empty())
            document.faces[lang] = fresh.faces[lang];
    }
    if (document.borderFills.empty())
        document.borderFills = fresh.borderFills;
    if (document.charShapes.empty())
        document.charShapes = fresh.charShapes;
    if (document.tabDefs.empty())
        document.tabDefs = fresh.tabDefs;
    if (document.paraShapes.empty())
        document.paraShapes = fresh.paraShapes;
    if (document.styles.empty())
        document.styles = fresh.styles;
}

// Every part the model does not read, for the HWPX writer; the package file too, whose
// metadata and items of kept parts it writes back. A container that names another package
// file than the writer's goes: the writer names its own.
void KeepUnreadParts(const Package& package, const Manifest& manifest, hwp::Document& document)
{
    std::set<std::string> read = {"mimetype", manifest.header};
    read.insert(manifest.sections.begin(), manifest.sections.end());
    for (const hwp::BinDataItem& item : document.binData)
        read.insert(item.packageEntry);
    if (manifest.hpf != "Contents/content.hpf")
        read.insert({"META-INF/container.xml", manifest.hpf});
    for (const auto& [name, bytes] : package.parts) {
        if (!read.contains(name))
            document.hwpxParts[name] = bytes;
    }
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw hwp::HwpError(path + ": cannot open the file");
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file && !file.eof())
        throw hwp::HwpError(path + ": cannot read the file");
    return bytes.str();
}

}  // namespace

hwp::Document ReadHwpxFromBytes(std::string_view bytes)
{
    const Package package = ReadPackage(bytes);
    const Manifest manifest = ReadManifest(package);
    hwp::Document document;
    document.headerFlags = hwp::kHeaderCompressed;
    std::map<QString, std::uint16_t> binIds;
    AddBinData(package, manifest, document, binIds);
    ReadHeader(ParseXml(package.Require(manifest.header), manifest.header), binIds, document);
    FillEmptyTables(document);
    for (const std::string& name : manifest.sections) {
        const XmlNode sec = ParseXml(package.Require(name), name);
        document.sections.push_back(ReadSection(sec, document, binIds, name));
    }
    KeepUnreadParts(package, manifest, document);
    try {
        hwp::CheckDocument(document);
        hwp::CheckLimits(document);
    } catch (const hwp::HwpError& error) {
        throw hwp::HwpError(std::string("the HWPX document refers to what it does not hold: ") + error.what());
    }
    return document;
}

hwp::Document ReadAnyDocumentFromBytes(std::string_view bytes)
{
    // Any ZIP archive goes to the HWPX reader, whose refusal says what the package is.
    if (LooksLikeHwpx(bytes) || bytes.starts_with(std::string_view("PK\x03\x04", 4)))
        return ReadHwpxFromBytes(bytes);
    return hwp::ReadDocumentFromBytes(bytes);
}

hwp::Document ReadAnyDocument(const std::string& path)
{
    // An HWP file is read a stream at a time, never whole: its pictures may be most of it.
    {
        std::ifstream file(path, std::ios::binary);
        char signature[8] = {};
        if (file && file.read(signature, sizeof signature) &&
            std::string_view(signature, sizeof signature) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            return hwp::ReadDocument(path);
    }
    const std::string bytes = ReadWholeFile(path);
    try {
        return ReadAnyDocumentFromBytes(bytes);
    } catch (const hwp::HwpError& error) {
        throw hwp::HwpError(path + ": " + error.what());
    }
}

bool IsHwpxFile(const std::string& path)
{
    try {
        return LooksLikeHwpx(ReadWholeFile(path));
    } catch (const hwp::HwpError&) {
        return false;
    }
}

}  // namespace hwpx
