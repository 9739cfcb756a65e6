// Packages from an untrusted source: each hostile or damaged one is refused with a
// message naming what is wrong, and nothing is written anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "hwp/error.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"

namespace {

using Parts = std::vector<std::pair<std::string, std::string>>;

const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(</hh:refList></hh:head>)";

std::string Section(const std::string& body)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
           R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph"><hp:p paraPrIDRef="0" styleIDRef="0">)"
           R"(<hp:run charPrIDRef="0"><hp:t>)" + body + R"(</hp:t></hp:run></hp:p></hs:sec>)";
}

Parts MinimalParts()
{
    return {{"mimetype", "application/hwp+zip"},
            {"Contents/header.xml", kHeader},
            {"Contents/section0.xml", Section("가나다")}};
}

// Sets the uncompressed size of `name` to `size` in its local header and in the central
// directory, as a forged archive would declare it.
std::string DeclareSize(std::string zip, const std::string& name, std::uint32_t size)
{
    const auto put = [&zip](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            zip[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    for (std::size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4)) {
        if (zip.compare(at + 30, name.size(), name) == 0)
            put(at + 22, size);
    }
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
        if (zip.compare(at + 46, name.size(), name) == 0)
            put(at + 24, size);
    }
    return zip;
}

struct HostileCase {
    const char* what;
    std::function<std::string()> package;
    std::vector<std::string> expected;   // each a part of the message
};

TEST(HwpxHostilePackages, AreRefusedWithAMessageNamingThePartAndNothingIsWritten)
{
    const std::string cwd = std::filesystem::current_path().string();
    const std::vector<HostileCase> cases = {
        {"an entry climbing out of the package",
         [] {
             Parts parts = MinimalParts();
             parts.emplace_back("../../evil.xml", "x");
             return hwpx::WritePackage(parts);
         },
         {"../../evil.xml", "climbs out"}},
        {"an absolute entry name",
         [] {
             Parts parts = MinimalParts();
             parts.emplace_back("/tmp/evil.xml", "x");
             return hwpx::WritePackage(parts);
         },
         {"/tmp/evil.xml", "not a package part name"}},
        {"an entry declaring 4 GB in a few bytes",
         [] { return DeclareSize(hwpx::WritePackage(MinimalParts()), "Contents/section0.xml", 0xFFFFFF00u); },
         {"Contents/section0.xml", "MB"}},
        {"an entry unpacking past the part limit",
         [] {
             Parts parts = MinimalParts();
             parts.emplace_back("BinData/image1.png", std::string(hwpx::kMaxEntryBytes + 1, '\0'));
             return hwpx::WritePackage(parts);
         },
         {"BinData/image1.png", "more than"}},
        {"entity expansion",
         [] {
             Parts parts = MinimalParts();
             parts[2].second = R"(<?xml version="1.0"?><!DOCTYPE sec [<!ENTITY a "aaaaaaaaaa">)"
                               R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]><sec>&b;</sec>)";
             return hwpx::WritePackage(parts);
         },
         {"Contents/section0.xml", "document type"}},
        {"100,000 nested elements",
         [] {
             std::string deep;
             for (int i = 0; i < 100000; ++i)
                 deep += "<a>";
             for (int i = 0; i < 100000; ++i)
                 deep += "</a>";
             Parts parts = MinimalParts();
             parts[2].second = Section(deep);
             return hwpx::WritePackage(parts);
         },
         {"Contents/section0.xml", "deeper than"}},
        {"a missing section0.xml",
         [] {
             Parts parts = MinimalParts();
             parts.pop_back();
             return hwpx::WritePackage(parts);
         },
         {"Contents/section0.xml", "missing"}},
        {"a damaged header",
         [] {
             Parts parts = MinimalParts();
             parts[1].second = "<hh:head><hh:refList>";
             return hwpx::WritePackage(parts);
         },
         {"Contents/header.xml", "damaged XML"}},
        {"another kind of package",
         [] {
             Parts parts = MinimalParts();
             parts[0].second = "application/epub+zip";
             return hwpx::WritePackage(parts);
         },
         {"mimetype", "epub"}},
        {"a picture of an item the package lacks",
         [] {
             Parts parts = MinimalParts();
             parts[2].second = Section(R"(</hp:t><hp:pic><hc:img xmlns:hc="urn:c" binaryItemIDRef="image9"/></hp:pic><hp:t>)");
             return hwpx::WritePackage(parts);
         },
         {"Contents/section0.xml", "image9"}},
    };
    ASSERT_NO_THROW(hwpx::ReadHwpxFromBytes(hwpx::WritePackage(MinimalParts()))) << "the unharmed package reads";
    for (const HostileCase& hostile : cases) {
        std::string message;
        try {
            hwpx::ReadAnyDocumentFromBytes(hostile.package());
        } catch (const hwp::HwpError& error) {
            message = error.what();
        }
        ASSERT_FALSE(message.empty()) << hostile.what << " was read";
        for (const std::string& part : hostile.expected)
            EXPECT_NE(message.find(part), std::string::npos) << hostile.what << ": " << message;
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/evil.xml"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(cwd) / ".." / ".." / "evil.xml"));
}

TEST(HwpxHostilePackages, AnHwpxPackageIsToldByItsContentNotItsName)
{
    EXPECT_TRUE(hwpx::LooksLikeHwpx(hwpx::WritePackage(MinimalParts())));
    Parts other = MinimalParts();
    other[0].second = "application/epub+zip";
    EXPECT_FALSE(hwpx::LooksLikeHwpx(hwpx::WritePackage(other)));
    EXPECT_FALSE(hwpx::LooksLikeHwpx("PK\x03\x04 but no archive"));
    EXPECT_THROW(hwpx::ReadAnyDocumentFromBytes("neither format"), hwp::HwpError);
}

}  // namespace
