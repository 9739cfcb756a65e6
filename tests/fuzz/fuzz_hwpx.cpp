// Feeds arbitrary bytes to the HWPX reader as a whole package, and again as the header
// or section part inside a valid package (so mutations reach the XML readers instead of
// stopping at the ZIP layer). Anything but HwpError escaping, or a crash, is a finding.
// What reads successfully must also write as HWPX and HWP and read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(</hh:refList></hh:head>)";
const char* const kSection =
    R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
    R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph"><hp:p paraPrIDRef="0" styleIDRef="0">)"
    R"(<hp:run charPrIDRef="0"><hp:t>가</hp:t></hp:run></hp:p></hs:sec>)";

void ReadAndRewrite(std::string_view bytes)
{
    try {
        const hwp::Document document = hwpx::ReadAnyDocumentFromBytes(bytes);
        hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(document));
        hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    } catch (const hwp::HwpError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size > 1 && data[0] == '<') {
        // An XML part: the header when it says so, else the section.
        const bool header = bytes.find("head") != std::string_view::npos && bytes.find(":sec") == std::string_view::npos;
        ReadAndRewrite(hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                                           {"Contents/header.xml", header ? std::string(bytes) : kHeader},
                                           {"Contents/section0.xml", header ? kSection : std::string(bytes)}}));
    } else {
        ReadAndRewrite(bytes);
    }
    return 0;
}
