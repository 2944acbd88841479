#pragma once

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

namespace kestrola::ui {

/// `renderer`'s picture drawn into an image of `pixels` (its natural size when empty), keeping
/// its proportions, centred. The program and the build step that draws its images ahead of time
/// both draw with this, so that both give the same pixels.
inline QImage DrawSvg(QSvgRenderer& renderer, QSize pixels) {
    const QSize natural = renderer.defaultSize();
    if (pixels.isEmpty())
        pixels = natural;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QSizeF fitted = QSizeF(natural).scaled(QSizeF(pixels), Qt::KeepAspectRatio);
    const QPointF corner((pixels.width() - fitted.width()) / 2,
                         (pixels.height() - fitted.height()) / 2);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(corner, fitted));
    return image;
}

// An image drawn ahead of time is stored as its pixels, so that reading it needs no image
// decoder (the first decoder used loads the toolkit's image plug-ins, which costs more than
// drawing the SVG): width and height as 32-bit little-endian numbers, then the rows of
// premultiplied 32-bit pixels.
inline QByteArray StoredPixels(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray stored(8, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(pixels.width()), stored.data());
    qToLittleEndian<quint32>(static_cast<quint32>(pixels.height()), stored.data() + 4);
    for (int row = 0; row < pixels.height(); ++row)
        stored.append(reinterpret_cast<const char*>(pixels.constScanLine(row)), pixels.width() * 4);
    return stored;
}

/// The image `stored` holds; a null image when it is not what StoredPixels writes.
inline QImage FromStoredPixels(const QByteArray& stored) {
    if (stored.size() < 8)
        return {};
    const quint32 width = qFromLittleEndian<quint32>(stored.constData());
    const quint32 height = qFromLittleEndian<quint32>(stored.constData() + 4);
    if (width == 0 || height == 0 || width > 4096 || height > 4096 ||
        static_cast<quint64>(stored.size()) != 8 + quint64{width} * height * 4)
        return {};
    return QImage(reinterpret_cast<const uchar*>(stored.constData()) + 8, static_cast<int>(width),
                  static_cast<int>(height), static_cast<qsizetype>(width) * 4,
                  QImage::Format_ARGB32_Premultiplied)
        .copy();
}

} // namespace kestrola::ui
