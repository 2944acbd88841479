#include "controls/Resources.h"

#include "controls/SvgDrawing.h"
#include "resources/IconResources.h"

#include <QResource>

// Q_INIT_RESOURCE has to be used outside any namespace.
static void InitKestrolaResources() {
    Q_INIT_RESOURCE(kestrola);
}

namespace kestrola::ui {

void InitResources() {
    static const bool done = (InitKestrolaResources(), true);
    (void)done;
}

QString ImageResourcePath(int id) {
    const auto name = core::ImageResourceName(id);
    if (name.empty())
        return {};
    return QStringLiteral(":/icons/") + QString::fromLatin1(name.data(), name.size()) +
           QStringLiteral(".svg");
}

namespace {

// The images shown at start are drawn at build time (src/CMakeLists.txt says which and at what
// sizes): copying stored pixels costs far less than parsing and drawing the SVG. `pixels`
// empty is the natural size.
QPixmap DrawnAheadOfTime(std::string_view name, QSize pixels) {
    QString path = QStringLiteral(":/icons/drawn/") + QString::fromLatin1(name.data(), name.size());
    if (!pixels.isEmpty())
        path += QStringLiteral("-%1x%2").arg(pixels.width()).arg(pixels.height());
    const QResource stored(path + QStringLiteral(".pixels"));
    if (!stored.isValid())
        return {};
    return QPixmap::fromImage(FromStoredPixels(stored.uncompressedData()));
}

} // namespace

QPixmap LoadImageResource(int id, QSize size, qreal ratio) {
    InitResources();
    const auto name = core::ImageResourceName(id);
    if (name.empty())
        return {};
    const QSize pixels = size * ratio;
    QPixmap pixmap = size.isEmpty() && ratio != 1.0 ? QPixmap() : DrawnAheadOfTime(name, pixels);
    if (pixmap.isNull()) {
        QSvgRenderer renderer(ImageResourcePath(id));
        if (!renderer.isValid())
            return {};
        pixmap = QPixmap::fromImage(
            DrawSvg(renderer, size.isEmpty() ? renderer.defaultSize() * ratio : pixels));
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon LoadIconResource(int id) {
    InitResources();
    const QString path = ImageResourcePath(id);
    if (path.isEmpty())
        return {};
    QIcon icon;
    for (const int side : {16, 24, 32, 48})
        icon.addPixmap(LoadImageResource(id, QSize(side, side)));
    return icon;
}

QCursor LinkCursor() {
    const QPixmap pixmap = LoadImageResource(core::kLinkCursor);
    if (pixmap.isNull())
        return QCursor(Qt::PointingHandCursor);
    return QCursor(pixmap, core::kLinkCursorHotX, core::kLinkCursorHotY);
}

} // namespace kestrola::ui
