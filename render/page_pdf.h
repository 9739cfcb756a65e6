// Every page of a document as a PDF: the layout of the page images, with real text in
// embedded fonts (teachers print and pass these on).
#pragma once

#include "document/editor_document.h"

#include <string>

// Writes all pages of `document` to `path`, replacing it in one instant or leaving it as
// it was. False when the file cannot be written.
bool WriteDocumentPdf(const editor::EditorDocument& document, const std::string& path);
