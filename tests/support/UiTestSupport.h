#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

namespace kestrola::testing {

/// The folder in the build tree where window tests leave their pictures.
QString ScreensDir();
/// Saves a picture of `widget` as `name` (a .png file) into ScreensDir(); returns its path.
QString SavePicture(QWidget* widget, const QString& name);

/// A picture of `widget` as it paints now, one image pixel per widget pixel.
QImage Grab(QWidget* widget);
/// The colour at (x, y) of `image`, without its alpha.
QColor PixelAt(const QImage& image, int x, int y);
/// `colour` as an image pixel holds it: eight opaque bits per channel.
QColor Opaque(const QColor& colour);
/// True when some pixel inside `area` of `image` has exactly `colour`.
bool AnyPixel(const QImage& image, const QRect& area, const QColor& colour);

/// Shows `widget`, activates it and waits until it is on screen; false when it never is.
bool ShowAndActivate(QWidget* widget);

/// Runs `action` with the modal window once one is showing (from inside its modal loop).
/// When none shows within 10 seconds, or the window is still open 30 seconds later, the test
/// fails and every modal window is closed so the test cannot hang.
void WhenModal(std::function<void(QWidget*)> action);

/// Runs `action` with the open pop-up menu once one is showing.
void WhenPopup(std::function<void(QWidget*)> action);

} // namespace kestrola::testing
