// equation-sheet: renders a list of equation scripts (one a line) into one PNG, each
// with its script beside it and its box (width, ascent, descent) and baseline drawn
// faintly, to look the typesetter over.
//
//   equation-sheet SCRIPTS.txt OUT.png [base size in px, default 30]
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <vector>

#include "math/layout.h"
#include "math/paint.h"
#include "math/qt_font.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: equation-sheet SCRIPTS.txt OUT.png [size]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double unit = argc > 3 ? std::atof(argv[3]) : 30.0;

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "equation-sheet: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<QString> scripts;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (!line.trimmed().isEmpty()) scripts.push_back(line);
    }

    const math::QtMathFont& font = math::QtMathFont::Shared();
    if (!font.IsValid()) std::fprintf(stderr, "equation-sheet: the math font did not load; drawing with defaults\n");
    std::vector<math::EquationLayout> layouts;
    double height = 20;
    for (const QString& s : scripts) {
        layouts.push_back(math::Typeset(s.toStdU16String(), font));
        height += std::max(1.2, layouts.back().ascent + layouts.back().descent + 0.5) * unit;
    }
    const int width = static_cast<int>(unit * 34);
    QImage image(width, static_cast<int>(height) + 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont label(QStringLiteral("NanumGothic"));
    label.setPixelSize(static_cast<int>(unit * 0.42));
    painter.setFont(label);
    double y = 20;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        const math::EquationLayout& l = layouts[i];
        const double rowHeight = std::max(1.2, l.ascent + l.descent + 0.5) * unit;
        const double baseline = y + 0.25 * unit + l.ascent * unit;
        painter.setPen(QColor(120, 120, 120));
        painter.drawText(QRectF(10, y, unit * 15, rowHeight), Qt::AlignVCenter | Qt::TextWordWrap,
                         QString::number(i + 1) + QStringLiteral(". ") + scripts[i]);
        const QPointF origin(unit * 16, baseline);
        painter.setPen(QColor(200, 220, 255));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(origin.x(), baseline - l.ascent * unit, l.width * unit, (l.ascent + l.descent) * unit));
        painter.setPen(QColor(255, 200, 200));
        painter.drawLine(QPointF(origin.x(), baseline), QPointF(origin.x() + l.width * unit, baseline));
        math::PaintEquation(painter, l, font, origin, unit);
        painter.setPen(QColor(235, 235, 235));
        painter.drawLine(QPointF(0, y + rowHeight), QPointF(width, y + rowHeight));
        y += rowHeight;
    }
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "equation-sheet: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%zu equations -> %s\n", scripts.size(), argv[2]);
    return 0;
}
