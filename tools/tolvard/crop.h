// Finding what is printed on a page image and cutting the white margins away.
//
// A pixel is background when it is (nearly) transparent or when each of its colour
// channels is at least kWhiteThreshold: the faint grey of anti-aliased glyph edges
// counts as ink, the last step before pure white does not.
#pragma once

#include <QImage>
#include <QRect>

namespace tolvard {

inline constexpr int kWhiteThreshold = 245;
inline constexpr int kTransparentAlpha = 16;

// The smallest rectangle holding every ink pixel; a null rectangle for a blank page.
QRect ContentRect(const QImage& page);

// The content rectangle with `padding` white pixels on each of the four sides, also
// where the content touches the page edge (the padding is then added, not taken from
// the page). A blank page gives a white square of 2 * padding. `content` receives the
// content rectangle in page coordinates.
QImage CropToContent(const QImage& page, int padding, QRect* content = nullptr);

} // namespace tolvard
