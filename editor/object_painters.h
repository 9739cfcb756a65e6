// The painters of the kept objects that the pane and the page images draw for real:
// pictures (the image from the document's bin data, cut to its crop), equations (typeset
// and drawn as glyphs) and tables (cell backgrounds, ruling lines and the cells' text).
// Each caches what it computed (decoded images, typeset equations, laid-out cells) so a
// repaint or the next page band does not compute it again; the caches are shared by
// every thread that paints.
#pragma once

namespace editor {

// Registers the three painters, replacing what was registered for their ids.
// InstallKeptObjectHandler calls it once for the program.
void RegisterObjectPainters();

} // namespace editor
