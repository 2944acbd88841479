#include "app/ui/ExpandingDialog.h"

#include "controls/Conversions.h"
#include "controls/DialogTemplate.h"
#include "window/Expansion.h"

#include <QAbstractButton>
#include <QScreen>

namespace kestrola::ui {

namespace {

QRect ScreenRect(const QWidget* widget) {
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

} // namespace

ExpandingDialog::ExpandingDialog(QWidget* parent, int markerId, int buttonId,
                                 bool keepButtonEnabled)
    : QDialog(parent), m_markerId(markerId), m_buttonId(buttonId),
      m_keepButtonEnabled(keepButtonEnabled) {}

bool ExpandingDialog::CanChangeExpansion(bool /*currentlyExpanded*/) {
    return true;
}

void ExpandingDialog::ExpansionChanged(bool /*nowExpanded*/) {}

void ExpandingDialog::OnCommand(int /*id*/) {}

void ExpandingDialog::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void ExpandingDialog::OnInitDialog() {
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (const int id = ControlId(button); id != 0)
            connect(button, &QAbstractButton::clicked, this, [this, id] { RouteCommand(id); });
    }
    ApplyExpansion(false);
}

void ExpandingDialog::RouteCommand(int id) {
    if (id == m_buttonId)
        ToggleExpanded();
    OnCommand(id);
}

void ExpandingDialog::ApplyExpansion(bool expand) {
    if (expand == m_expanded)
        return;
    QWidget* button = FindControl(this, m_buttonId);
    QWidget* marker = FindControl(this, m_markerId);
    if (button == nullptr || marker == nullptr)
        return;
    const QRect markerRect = ScreenRect(marker);

    const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::vector<QWidget*> controls;
    std::vector<core::Rect> rects;
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        controls.push_back(child);
        rects.push_back(ToRect(ScreenRect(child)));
    }
    const std::vector<bool> outside = core::OutsideMarker(rects, ToRect(markerRect));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (outside[i])
            controls[i]->setEnabled(expand);
    }

    if (expand) {
        if (m_fullSize)
            resize(*m_fullSize);
        // Pull the grown window back inside the visible desktop.
        if (const QScreen* where = screen()) {
            const QRect desktop = where->availableGeometry();
            QRect frame = frameGeometry();
            frame.moveRight(std::min(frame.right(), desktop.right()));
            frame.moveBottom(std::min(frame.bottom(), desktop.bottom()));
            frame.moveLeft(std::max(frame.left(), desktop.left()));
            frame.moveTop(std::max(frame.top(), desktop.top()));
            if (frame.topLeft() != frameGeometry().topLeft())
                move(frame.topLeft());
        }
        if (!m_keepButtonEnabled)
            button->setEnabled(false);
        m_expanded = true;
    } else {
        if (!m_fullSize) {
            m_fullSize = size();
            marker->hide();
        }
        const core::Size collapsed =
            core::CollapsedSize(ToRect(ScreenRect(this)), ToRect(markerRect));
        resize(collapsed.width, collapsed.height);
        m_expanded = false;
    }
}

bool ExpandingDialog::SetExpanded(bool expand) {
    if (expand == m_expanded)
        return true;
    if (!CanChangeExpansion(m_expanded))
        return false;
    ApplyExpansion(expand);
    if (QWidget* button = FindControl(this, m_buttonId)) {
        // The next control after the button that takes the focus by Tab.
        for (QWidget* next = button->nextInFocusChain(); next != button && next != nullptr;
             next = next->nextInFocusChain()) {
            if (isAncestorOf(next) && !next->isWindow() && next->isEnabled() &&
                next->isVisibleTo(this) && (next->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
                next->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    ExpansionChanged(m_expanded);
    return m_expanded == expand;
}

void ExpandingDialog::ToggleExpanded() {
    SetExpanded(!m_expanded);
}

} // namespace kestrola::ui
