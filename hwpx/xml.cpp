#include "hwpx/xml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <set>

#include "hwp/error.h"

namespace hwpx {

QString XmlNode::Attr(QStringView key, const QString& fallback) const
{
    for (const auto& [name, value] : attributes) {
        if (name == key)
            return value;
    }
    return fallback;
}

long long XmlNode::Int(QStringView key, long long fallback) const
{
    const QString value = Attr(key);
    bool ok = false;
    const long long number = value.toLongLong(&ok);
    if (ok)
        return number;
    // Unsigned ids past the signed range (4294967295 for "none") and decimals ("0.5").
    const double real = value.toDouble(&ok);
    return ok && real > -9e18 && real < 9e18 ? static_cast<long long>(real) : fallback;
}

bool XmlNode::Flag(QStringView key) const
{
    const QString value = Attr(key);
    return value == QLatin1String("1") || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

const XmlNode* XmlNode::Child(QStringView childName) const
{
    for (const XmlNode& child : children) {
        if (child.name == childName)
            return &child;
    }
    return nullptr;
}

std::vector<const XmlNode*> XmlNode::Children(QStringView childName) const
{
    std::vector<const XmlNode*> out;
    for (const XmlNode& child : children) {
        if (child.name == childName)
            out.push_back(&child);
    }
    return out;
}

QString XmlNode::AllText() const
{
    if (IsText())
        return text;
    QString out;
    for (const XmlNode& child : children)
        out += child.AllText();
    return out;
}

XmlNode ParseXml(std::string_view bytes, const std::string& part)
{
    const auto fail = [&part](const std::string& why) -> void { throw hwp::HwpError(part + ": " + why); };
    QXmlStreamReader reader(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    XmlNode root;
    std::vector<XmlNode*> open{&root};
    std::size_t nodes = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            fail("the XML declares a document type, which a document part never does");
            break;
        case QXmlStreamReader::EntityReference:
            fail("the XML refers to an entity it does not define");
            break;
        case QXmlStreamReader::StartElement: {
            if (open.size() > kMaxXmlDepth)
                fail("the XML nests deeper than " + std::to_string(kMaxXmlDepth) + " elements");
            if (++nodes > kMaxXmlNodes)
                fail("the XML holds more than " + std::to_string(kMaxXmlNodes) + " elements");
            XmlNode node;
            node.name = reader.name().toString();
            node.prefix = reader.prefix().toString();
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                node.attributes.emplace_back(attribute.prefix().isEmpty() ? attribute.name().toString()
                                                                          : attribute.qualifiedName().toString(),
                                             attribute.value().toString());
            for (const QXmlStreamNamespaceDeclaration& declaration : reader.namespaceDeclarations())
                node.namespaces.emplace(declaration.prefix().toString(), declaration.namespaceUri().toString());
            open.back()->children.push_back(std::move(node));
            open.push_back(&open.back()->children.back());
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters: {
            if (open.size() == 1)
                break;
            XmlNode* parent = open.back();
            if (!parent->children.empty() && parent->children.back().IsText()) {
                parent->children.back().text += reader.text();
            } else {
                if (++nodes > kMaxXmlNodes)
                    fail("the XML holds more than " + std::to_string(kMaxXmlNodes) + " elements");
                XmlNode text;
                text.text = reader.text().toString();
                parent->children.push_back(std::move(text));
            }
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError())
        fail("damaged XML at line " + std::to_string(reader.lineNumber()) + ": " + reader.errorString().toStdString());
    if (root.children.empty() || root.children.front().IsText())
        fail("the part holds no XML element");
    XmlNode top = std::move(root.children.front());
    return top;
}

namespace {

QString Qualified(const XmlNode& node)
{
    return node.prefix.isEmpty() ? node.name : node.prefix + QLatin1Char(':') + node.name;
}

void UsedPrefixes(const XmlNode& node, std::set<QString>& prefixes)
{
    if (node.IsText())
        return;
    prefixes.insert(node.prefix);
    for (const auto& [name, value] : node.attributes) {
        if (const qsizetype colon = name.indexOf(QLatin1Char(':')); colon > 0)
            prefixes.insert(name.left(colon));
    }
    for (const XmlNode& child : node.children)
        UsedPrefixes(child, prefixes);
}

void Declare(QXmlStreamWriter& out, const QString& prefix, const QString& uri)
{
    out.writeAttribute(prefix.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefix, uri);
}

void WriteNode(QXmlStreamWriter& out, const XmlNode& node)
{
    if (node.IsText()) {
        out.writeCharacters(node.text);
        return;
    }
    out.writeStartElement(Qualified(node));
    for (const auto& [prefix, uri] : node.namespaces)
        Declare(out, prefix, uri);
    for (const auto& [name, value] : node.attributes)
        out.writeAttribute(name, value);
    for (const XmlNode& child : node.children)
        WriteNode(out, child);
    out.writeEndElement();
}

}  // namespace

std::string KeptXml(const XmlNode& element, const XmlNode& root)
{
    std::set<QString> prefixes;
    UsedPrefixes(element, prefixes);
    QString text;
    QXmlStreamWriter out(&text);
    out.writeStartElement(Qualified(element));
    std::map<QString, QString> declared = element.namespaces;
    for (const QString& prefix : prefixes) {
        const auto uri = root.namespaces.find(prefix);
        if (uri != root.namespaces.end())
            declared.try_emplace(prefix, uri->second);
    }
    for (const auto& [prefix, uri] : declared)
        Declare(out, prefix, uri);
    for (const auto& [name, value] : element.attributes)
        out.writeAttribute(name, value);
    for (const XmlNode& child : element.children)
        WriteNode(out, child);
    out.writeEndElement();
    return text.toStdString();
}

}  // namespace hwpx
