#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

namespace kestrola::testing {

/// The build tree's folder for the window tests' pictures, and a picture of `widget` saved
/// there as `name` (.png); returns its path.
QString ScreensDir();
QString SavePicture(QWidget* widget, const QString& name);
/// `widget` as it paints now, one image pixel per widget pixel.
QImage Grab(QWidget* widget);
/// Pixel colours without alpha, as an image holds them.
QColor PixelAt(const QImage& image, int x, int y);
QColor Opaque(const QColor& colour);
/// True when some pixel inside `area` of `image` has exactly `colour`.
bool AnyPixel(const QImage& image, const QRect& area, const QColor& colour);
/// Shows and activates `widget`; false when it never comes on screen.
bool ShowAndActivate(QWidget* widget);
/// Runs `action` with the modal window (or pop-up menu) once one shows, inside its loop. When
/// none shows within 10 s, or it is still open 30 s later, the test fails and it is closed.
void WhenModal(std::function<void(QWidget*)> action);
void WhenPopup(std::function<void(QWidget*)> action);

} // namespace kestrola::testing
