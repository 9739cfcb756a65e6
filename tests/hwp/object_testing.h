// Pieces the object tests share: every control of a document at any depth, a sample by
// name, a small image made in code, and what hwpjs reads of tables and pictures.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "hwp/document.h"

namespace hwp_testing {

// Every control of the body, and the controls inside their paragraph lists (cells, text
// boxes), outer ones first. The nested ones point into `lists`.
struct ControlWalk {
    std::deque<std::vector<hwp::Paragraph>> lists;
    std::vector<const hwp::Control*> controls;
};
ControlWalk AllControls(const hwp::Document& document);

// One paragraph of text in char shape 0.
hwp::Paragraph TextParagraph(const std::u16string& text, std::uint16_t paraShapeId = 0);

// The sample's path, or empty when the samples folder is not there.
std::string SamplePath(const std::string& name);

// A PNG of width x height pixels in one colour (0xRRGGBB), 96 dpi unless `dpi` is 0
// (then without a resolution chunk).
std::string MakePng(std::uint32_t width, std::uint32_t height, std::uint32_t rgb, double dpi = 96);

std::string Base64(const std::string& bytes);

struct OracleCell {
    int row = 0;
    int column = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    int borderFillId = 0;
    std::u16string text;
};
struct OracleTable {
    int rows = 0;
    int columns = 0;
    int borderFillId = 0;
    std::vector<OracleCell> cells;
};
struct OraclePicture {
    int binDataId = 0;
    int width = 0;
    int height = 0;
    std::string extension;
    int storageId = 0;
    std::string base64;
};
struct OracleObjects {
    bool available = false;   // node and the installed package are there
    bool parsed = false;
    std::string error;
    std::vector<OracleTable> tables;
    std::vector<OraclePicture> pictures;
};
// What tests/oracle/dump-objects.js prints for the file.
OracleObjects OracleObjectsOf(const std::string& path);

}  // namespace hwp_testing
