// varnel-hwp image and pdf: the pages of a document as a save exports them.
#pragma once

// Runs `image` or `pdf` when argv[1] names one and returns the exit status; -1 for any
// other command.
int RunPageCommand(int argc, char** argv);

#include <functional>
#include <string>
#include <vector>

#include "hwp/document.h"

// The picture of page 1 a rewritten document carries (page/preview_image.h); empty when
// it cannot be drawn.
std::string PreviewImageFor(const hwp::Document& document);

// A page (1 = the first) and the PNG it becomes.
struct ImageOutput {
    int page = 1;
    std::string path;
};
// Given the document's page count, the pages to write; none, with a complaint, when the
// document lacks what was asked for.
using PageChoice = std::function<std::vector<ImageOutput>(int pageCount, std::string& complaint)>;

// Writes the pages of `in` that `choose` picks as PNG images at `dpi` (painted at twice
// that and halved, as a save's images are), each file replaced in one instant or left
// as it was. The exit status: 0, or 1 after saying why.
int WriteImagePages(const std::string& in, int dpi, const PageChoice& choose);
