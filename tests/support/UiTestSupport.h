#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace kestrola::testing {

/// Saves a picture of `widget` as `name` (.png) in the build tree's folder for pictures.
void SavePicture(QWidget* widget, const QString& name);
/// Shows and activates `widget`; false when it never comes on screen.
bool ShowAndActivate(QWidget* widget);
/// Runs `action` with the modal window once one shows, inside its loop. When none shows
/// within 10 s, or it is still open 30 s later, the test fails and it is closed.
void WhenModal(std::function<void(QWidget*)> action);

} // namespace kestrola::testing
