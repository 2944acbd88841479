#include "controls/Resources.h"

#include "resources/IconResources.h"

#include <QPainter>
#include <QSvgRenderer>

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

QPixmap LoadImageResource(int id, QSize size, qreal ratio) {
    InitResources();
    const QString path = ImageResourcePath(id);
    if (path.isEmpty())
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const QSize natural = renderer.defaultSize();
    if (size.isEmpty())
        size = natural;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    {
        // The image keeps its proportions, centred in the size asked for.
        const QSizeF fitted = QSizeF(natural).scaled(QSizeF(size * ratio), Qt::KeepAspectRatio);
        const QPointF corner((pixmap.width() - fitted.width()) / 2,
                             (pixmap.height() - fitted.height()) / 2);
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(corner, fitted));
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
