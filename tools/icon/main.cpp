// varnel-icon SVG FOLDER NAME SIZE...: draws the application icon at each size into
// FOLDER/<size>x<size>/apps/NAME.png, the hicolor theme's layout, from the one SVG source.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fputs("usage: varnel-icon SVG FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "varnel-icon: bad size %s\n", argv[i]);
            return 2;
        }
        // Drawn at the size asked for, not scaled from another: small sizes stay sharp.
        QImageReader reader(source, "svg");
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "varnel-icon: %s: %s (is the SVG image plugin installed?)\n", argv[1],
                         reader.errorString().toLocal8Bit().constData());
            return 1;
        }
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(apps) || !image.save(apps + QLatin1Char('/') + name + QStringLiteral(".png"), "PNG")) {
            std::fprintf(stderr, "varnel-icon: cannot write in %s\n", apps.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
