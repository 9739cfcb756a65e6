// The element writer shared by the header and section writers.
#pragma once

#include <QXmlStreamWriter>

#include <map>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

inline constexpr const char* kParagraphNs = "http://www.hancom.co.kr/hwpml/2011/paragraph";
inline constexpr const char* kSectionNs = "http://www.hancom.co.kr/hwpml/2011/section";
inline constexpr const char* kHeadNs = "http://www.hancom.co.kr/hwpml/2011/head";
inline constexpr const char* kCoreNs = "http://www.hancom.co.kr/hwpml/2011/core";

// Namespaces declared on every root, so parts read alike and kept elements find theirs.
void DeclareNamespaces(QXmlStreamWriter& out);

// An element as read (hwpx::KeptXml), written where the writer stands; `element` is its
// parse, which the caller may have patched. Throws hwp::HwpError for text that is not XML.
void WriteKept(QXmlStreamWriter& out, const XmlNode& element);
void WriteKept(QXmlStreamWriter& out, const std::string& xml);

// `ours`, an element as the writer made it from the model, with what `kept` (the element
// as read) holds beyond it: the attributes ours lacks, and the children ours lacks in
// their places among ours, children of both merged alike; paragraph lists and table rows
// are ours whole.
XmlNode MergeKept(XmlNode ours, const XmlNode& kept);

// Sets the attribute, adding it when absent.
void SetAttr(XmlNode& node, const QString& key, const QString& value);

// "#RRGGBB" of 0x00BBGGRR, "none" for kNoColor.
QString ColorText(hwp::ColorRef color);

// `binNames` gives the package item id of each 1-based bin-data id.
void WriteHeaderXml(QXmlStreamWriter& out, const hwp::Document& document, const std::map<std::uint16_t, QString>& binNames);

// `binNames` gives the package item id of each 1-based bin-data id.
void WriteSectionXml(QXmlStreamWriter& out, const hwp::Document& document, const hwp::Section& section,
                     const std::map<std::uint16_t, QString>& binNames);

}  // namespace hwpx
