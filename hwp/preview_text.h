// PrvText: the first text of a document as file managers and pickers show it, in the
// word processor's own form.
#pragma once

#include <string>
#include <string_view>

#include "hwp/document.h"

namespace hwp {

// UTF-16LE bytes: every paragraph followed by CR LF, an object as '<' its text '>' (a
// text box's text; nothing for a table or a picture), a tab as a space; at most 1024
// units, cut where the next one would not fit.
std::string PreviewTextStream(const Document& document);

// The first line of that text (at most 80 units), the title of a new document's summary.
std::u16string PreviewTitle(const Document& document);

// Whether a summary information stream holds nothing but a code page and a title, as the
// one the writer composes: it describes the content and is renewed with it. A summary
// with an author, dates or keywords is the user's and is kept.
bool IsTitleOnlySummary(std::string_view stream);

}  // namespace hwp
