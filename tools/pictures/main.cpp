// varnel-pictures FOLDER: draws the picture-button images (type, level, difficulty) into
// FOLDER as PNG files. Sizes are the buttons' sizes on a dialog at scale 1.0.
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>

namespace {

struct Look {
    QColor fill;
    QColor border;
    QColor text;
};

// On: a solid colour with white letters; off: pale grey with grey letters and a thin
// border, so the two states differ even to colour-blind eyes.
Look OnLook(const QColor& colour)
{
    return {colour, colour.darker(130), Qt::white};
}

Look OffLook()
{
    return {QColor(0xF2, 0xF2, 0xF2), QColor(0xB8, 0xB8, 0xB8), QColor(0x8C, 0x8C, 0x8C)};
}

QImage Canvas(int width, int height, const Look& look, QPainter& painter)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    painter.begin(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 4, 4);
    painter.fillPath(shape, look.fill);
    painter.setPen(QPen(look.border, 1));
    painter.drawPath(shape);
    return image;
}

QFont LabelFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

bool Save(QImage& image, QPainter& painter, const QString& folder, const QString& name)
{
    painter.end();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "varnel-pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool Label(const QString& folder, const QString& name, const QString& text, int width, int height, const Look& look)
{
    QPainter painter;
    QImage image = Canvas(width, height, look, painter);
    painter.setPen(look.text);
    painter.setFont(LabelFont(12, true));
    painter.drawText(QRect(0, 0, width, height), Qt::AlignCenter, text);
    return Save(image, painter, folder, name);
}

bool Difficulty(const QString& folder, int level)
{
    const int width = 38;
    const int height = 26;
    const QColor colours[] = {QColor(0x2E, 0x9E, 0x5B), QColor(0x2F, 0x6F, 0xC4), QColor(0xE0, 0x8A, 0x1E),
                              QColor(0xC9, 0x3B, 0x3B)};
    const Look look = OnLook(colours[level - 1]);
    QPainter painter;
    QImage image = Canvas(width, height, look, painter);
    painter.setPen(look.text);
    painter.setFont(LabelFont(10, true));
    painter.drawText(QRect(0, 1, width, 13), Qt::AlignCenter, QStringLiteral("난이도"));
    // Four marks, as many filled as the level.
    for (int i = 0; i < 4; ++i) {
        const QRectF mark(5 + i * 7.5, 16, 5, 5);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(i < level ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
        painter.drawRect(mark);
    }
    return Save(image, painter, folder, QStringLiteral("dif%1").arg(level));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnel-pictures FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    struct Type {
        const char* word;
        const char16_t* label;
        QColor colour;
    };
    const Type types[] = {{"obj", u"객관", QColor(0x2F, 0x6F, 0xC4)},
                          {"sbj", u"주관", QColor(0x2E, 0x9E, 0x5B)},
                          {"des", u"서술", QColor(0xB0, 0x5A, 0xC8)}};
    for (const Type& type : types) {
        const QString word = QString::fromLatin1(type.word);
        const QString label = QString::fromUtf16(type.label);
        ok = Label(folder, word + QStringLiteral("_y"), label, 28, 26, OnLook(type.colour)) && ok;
        ok = Label(folder, word + QStringLiteral("_n"), label, 28, 26, OffLook()) && ok;
    }

    struct Level {
        const char* word;
        const char16_t* label;
    };
    const Level levels[] = {{"ele", u"초등"}, {"mid", u"중등"}, {"high", u"고등"}};
    for (const Level& level : levels) {
        const QString word = QString::fromLatin1(level.word);
        const QString label = QString::fromUtf16(level.label);
        ok = Label(folder, word + QStringLiteral("_e"), label, 40, 26, OnLook(QColor(0x24, 0x3B, 0x6B))) && ok;
        ok = Label(folder, word + QStringLiteral("_d"), label, 40, 26, OffLook()) && ok;
    }

    for (int level = 1; level <= 4; ++level)
        ok = Difficulty(folder, level) && ok;
    return ok ? 0 : 1;
}
