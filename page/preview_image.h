// The picture of page 1 an HWP file carries for file managers and pickers (PrvImage):
// drawn by PagedLayout, fitted into 177 x 250 pixels like the word processor's, as a GIF,
// the format its files use. Who calls it: the pane's save and varnel-hwp rewrite.
#pragma once

#include "document/editor_document.h"

#include <QImage>

#include <string>

namespace editor {

// Empty when the document has no page to draw.
std::string PreviewImageOf(const EditorDocument& document);
class PagedLayout;
std::string PreviewImageOf(const PagedLayout& layout);

// A GIF89a of the image in 256 colours (a 6 x 6 x 6 colour cube and a grey ramp, which
// keeps anti-aliased text smooth); empty for an empty image.
std::string EncodeGif(const QImage& image);

}  // namespace editor
