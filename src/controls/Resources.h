#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace kestrola::ui {

/// Makes the compiled-in images available (the library is static); safe to call often.
void InitResources();

/// The resource path of image `id`, such as ":/icons/263-new.svg"; empty for an unknown number.
QString ImageResourcePath(int id);

/// Image `id` drawn at its natural size (or scaled to `size` when given) for `ratio` device
/// pixels per pixel; a null pixmap for an unknown number.
QPixmap LoadImageResource(int id, QSize size = {}, qreal ratio = 1.0);

/// Image `id` as an icon that draws sharply at any size.
QIcon LoadIconResource(int id);

/// The program's link cursor (a pointing hand).
QCursor LinkCursor();

} // namespace kestrola::ui
