// Build helper: draws an SVG SIZE pixels square, or at its natural size when SIZE is 0, into a
// PNG (for the desktop's icon theme) or, when OUTPUT ends in .pixels, into the stored pixels
// the program reads at start. Usage: kestrola-render-icon INPUT.svg SIZE OUTPUT
#include "controls/SvgDrawing.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg SIZE OUTPUT\n", argv[0]);
        return 2;
    }
    // No display is needed to draw into an image.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const int size = std::atoi(argv[2]);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (size < 0 || !renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot draw %s at %s\n", argv[0], argv[1], argv[2]);
        return 1;
    }
    const QImage image = kestrola::ui::DrawSvg(renderer, QSize(size, size));
    const QString output = QString::fromLocal8Bit(argv[3]);
    if (!output.endsWith(QStringLiteral(".pixels")))
        return image.save(output, "PNG") ? 0 : 1;
    QFile file(output);
    const QByteArray stored = kestrola::ui::StoredPixels(image);
    return file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size() ? 0 : 1;
}
