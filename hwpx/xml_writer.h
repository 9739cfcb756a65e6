// The element writer shared by the header and section writers.
#pragma once

#include <QXmlStreamWriter>

#include <map>

#include "hwp/document.h"

namespace hwpx {

inline constexpr const char* kParagraphNs = "http://www.hancom.co.kr/hwpml/2011/paragraph";
inline constexpr const char* kSectionNs = "http://www.hancom.co.kr/hwpml/2011/section";
inline constexpr const char* kHeadNs = "http://www.hancom.co.kr/hwpml/2011/head";
inline constexpr const char* kCoreNs = "http://www.hancom.co.kr/hwpml/2011/core";

// Namespaces declared on every root, so parts read alike.
void DeclareNamespaces(QXmlStreamWriter& out);

// "#RRGGBB" of 0x00BBGGRR, "none" for kNoColor.
QString ColorText(hwp::ColorRef color);

void WriteHeaderXml(QXmlStreamWriter& out, const hwp::Document& document);

// `binNames` gives the package item id of each 1-based bin-data id.
void WriteSectionXml(QXmlStreamWriter& out, const hwp::Document& document, const hwp::Section& section,
                     const std::map<std::uint16_t, QString>& binNames);

}  // namespace hwpx
