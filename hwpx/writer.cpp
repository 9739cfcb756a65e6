#include "hwpx/writer.h"

#include <QBuffer>
#include <QFileInfo>

#include "hwp/picture.h"
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

std::vector<BinItem> BinItems(const hwp::Document& document, std::map<std::uint16_t, QString>& names)
{
    std::vector<BinItem> items;
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
        QString extension = QFileInfo(QString::fromStdString(item.streamName)).suffix().toLower();
        if (extension.isEmpty())
            extension = QStringLiteral("bin");
        BinItem out;
        out.id = QStringLiteral("image%1").arg(i + 1);
        out.name = "BinData/" + out.id.toStdString() + "." + extension.toStdString();
        out.bytes = std::move(bytes);
        out.mediaType = QStringLiteral("image/") + (extension == QLatin1String("jpg") ? QStringLiteral("jpeg") : extension);
        names[static_cast<std::uint16_t>(i + 1)] = out.id;
        items.push_back(std::move(out));
    }
    return items;
}

std::string ContentHpf(const hwp::Document& document, const std::vector<BinItem>& items)
{
    return Xml([&](QXmlStreamWriter& out) {
        out.writeNamespace(QString::fromLatin1(kOpfNs), QStringLiteral("opf"));
        out.writeNamespace(QString::fromLatin1(kPackageNs), QStringLiteral("hpf"));
        out.writeStartElement(kOpfNs, QStringLiteral("package"));
        out.writeAttribute(QStringLiteral("version"), QString());
        out.writeStartElement(kOpfNs, QStringLiteral("metadata"));
        out.writeTextElement(kOpfNs, QStringLiteral("language"), QStringLiteral("ko"));
        out.writeEndElement();
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

void DeclareNamespaces(QXmlStreamWriter& out)
{
    out.writeNamespace(QString::fromLatin1(kParagraphNs), QStringLiteral("hp"));
    out.writeNamespace(QString::fromLatin1(kSectionNs), QStringLiteral("hs"));
    out.writeNamespace(QString::fromLatin1(kHeadNs), QStringLiteral("hh"));
    out.writeNamespace(QString::fromLatin1(kCoreNs), QStringLiteral("hc"));
}

QString ColorText(hwp::ColorRef color)
{
    if (color == hwp::kNoColor)
        return QStringLiteral("none");
    const std::uint32_t rgb = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

std::string WriteHwpxToBytes(const hwp::Document& document)
{
    hwp::CheckDocument(document);
    std::map<std::uint16_t, QString> binNames;
    const std::vector<BinItem> items = BinItems(document, binNames);
    std::vector<std::pair<std::string, std::string>> parts;
    parts.emplace_back("mimetype", "application/hwp+zip");
    parts.emplace_back("version.xml", Xml([](QXmlStreamWriter& out) {
                           out.writeEmptyElement(QStringLiteral("version"));
                           out.writeAttribute(QStringLiteral("major"), QStringLiteral("5"));
                           out.writeAttribute(QStringLiteral("minor"), QStringLiteral("1"));
                           out.writeAttribute(QStringLiteral("application"), QStringLiteral("Varnel"));
                       }));
    parts.emplace_back("META-INF/container.xml", Container());
    parts.emplace_back("Contents/content.hpf", ContentHpf(document, items));
    parts.emplace_back("Contents/header.xml", Xml([&](QXmlStreamWriter& out) { WriteHeaderXml(out, document); }));
    for (std::size_t i = 0; i < document.sections.size(); ++i)
        parts.emplace_back("Contents/section" + std::to_string(i) + ".xml", Xml([&](QXmlStreamWriter& out) {
                               WriteSectionXml(out, document, document.sections[i], binNames);
                           }));
    for (const BinItem& item : items)
        parts.emplace_back(item.name, item.bytes);
    return WritePackage(parts);
}

void WriteHwpx(const hwp::Document& document, const std::string& path)
{
    if (!WriteWholeFile(path, WriteHwpxToBytes(document)))
        throw hwp::HwpError(path + ": cannot write the file");
}

}  // namespace hwpx
