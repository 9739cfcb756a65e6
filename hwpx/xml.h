// The XML parts of an HWPX package as a small element tree, parsed by QXmlStreamReader
// with the limits an untrusted file needs: no document type declaration (so no entity
// can be declared, let alone expanded), a bounded depth, element count and size.
#pragma once

#include <QString>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hwpx {

// An element, or a piece of character data between elements (name empty, `text` set):
// mixed content such as a run's text with tabs and line breaks keeps its order.
struct XmlNode {
    QString name;   // local name, without the namespace prefix
    QString prefix;
    // Unprefixed names; an attribute with a prefix is named "prefix:name".
    std::vector<std::pair<QString, QString>> attributes;
    QString text;
    std::vector<XmlNode> children;
    // The namespaces the element declares itself, by prefix.
    std::map<QString, QString> namespaces;

    bool IsText() const { return name.isEmpty(); }
    // The attribute's value, or `fallback` when it is absent.
    QString Attr(QStringView key, const QString& fallback = {}) const;
    long long Int(QStringView key, long long fallback = 0) const;
    // "1" or "true".
    bool Flag(QStringView key) const;
    // The first child element of that name, or nullptr.
    const XmlNode* Child(QStringView childName) const;
    // The child elements of that name, in order.
    std::vector<const XmlNode*> Children(QStringView childName) const;
    // Every piece of character data below, in order.
    QString AllText() const;
};

constexpr std::size_t kMaxXmlDepth = 256;
constexpr std::size_t kMaxXmlNodes = 4'000'000;

// Throws hwp::HwpError naming `part` when the bytes are not well-formed XML, declare a
// document type, nest deeper than kMaxXmlDepth or hold more than kMaxXmlNodes nodes.
XmlNode ParseXml(std::string_view bytes, const std::string& part);

// The element and everything below it as XML text of its own, declaring the namespaces
// it uses that `root` (the part's root) declares: what the model keeps of an element it
// does not read, to write back unchanged.
std::string KeptXml(const XmlNode& element, const XmlNode& root);

}  // namespace hwpx
