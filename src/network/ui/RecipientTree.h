#pragma once

#include "network/NetworkPanel.h"

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrola::ui {

/// The network panel's recipient tree (control 1119) with its check boxes and the three labels
/// below it: status (1218), group counter (1219) and computer counter (1220). It carries out
/// the scanner's panel operations, which always arrive on the user-interface thread.
class RecipientTree : public QWidget, public core::NetworkPanel {
    Q_OBJECT

public:
    /// Turns a newly selected item into a recipient, or none (the scanner's rule).
    using SelectionRule = std::function<std::optional<std::string>(Item item)>;

    explicit RecipientTree(QWidget* parent = nullptr);

    bool UseSystemImageList() override;
    void CreateOwnImageList(const std::vector<int>& icons) override;
    void UseOwnImageList() override;
    void DeleteAllItems() override;
    Item InsertSorted(Item parent, const std::string& text, int image) override;
    Item FirstChild(Item parent) const override;
    Item NextSibling(Item item) const override;
    std::string ItemText(Item item) const override;
    bool IsChecked(Item item) const override;
    void SetChecked(Item item, bool checked) override;
    void SetLabelText(int control, const std::string& text) override;

    /// Asks `rule` what a newly selected item gives, and says so with `recipientChosen`.
    void SetSelectionRule(SelectionRule rule) { m_selectionRule = std::move(rule); }

    QTreeWidget* Tree() const { return m_tree; }
    /// The label of control 1218, 1219 or 1220 (nullptr for another number).
    QLabel* Label(int control) const;
    /// The item behind a handle, and the handle of an item.
    static QTreeWidgetItem* ItemOf(Item item) { return reinterpret_cast<QTreeWidgetItem*>(item); }
    static Item HandleOf(QTreeWidgetItem* item) { return reinterpret_cast<Item>(item); }

signals:
    /// The selection made `text` the recipient.
    void recipientChosen(const QString& text);
    /// Label `control` now shows `text`.
    void labelChanged(int control, const QString& text);

private:
    void SelectionChanged(QTreeWidgetItem* current);

    QTreeWidget* m_tree;
    QLabel* m_status;
    QLabel* m_groups;
    QLabel* m_computers;
    std::vector<QIcon> m_ownImages;
    const std::vector<QIcon>* m_images = nullptr;
    SelectionRule m_selectionRule;
};

} // namespace kestrola::ui
