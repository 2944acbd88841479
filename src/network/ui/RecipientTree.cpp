#include "network/ui/RecipientTree.h"

#include "controls/Resources.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrola::ui {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

RecipientTree::RecipientTree(QWidget* parent)
    : QWidget(parent), m_tree(new QTreeWidget(this)), m_status(new QLabel(this)),
      m_groups(new QLabel(this)), m_computers(new QLabel(this)) {
    InitResources();
    m_tree->setObjectName(QStringLiteral("1119"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    // Buttons and lines below the root, none at the root itself; whole rows select and follow
    // the mouse; no dragging; the selection stays visible without the focus.
    m_tree->setRootIsDecorated(false);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setMouseTracking(true);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setFrameShape(QFrame::StyledPanel);
    m_tree->setFrameShadow(QFrame::Sunken);
    m_tree->setIconSize(QSize(16, 16));

    m_status->setObjectName(QStringLiteral("1218"));
    m_groups->setObjectName(QStringLiteral("1219"));
    m_computers->setObjectName(QStringLiteral("1220"));
    m_status->setText(QStringLiteral("Clear ..."));
    m_groups->setText(QStringLiteral("Groups: 0"));
    m_computers->setText(QStringLiteral("Machines:  0"));

    auto* labels = new QHBoxLayout();
    labels->addWidget(m_status, 1);
    labels->addWidget(m_groups);
    labels->addWidget(m_computers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree, 1);
    layout->addLayout(labels);

    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { SelectionChanged(current); });
}

bool RecipientTree::UseSystemImageList() {
    // The desktop offers no list of small icons for network places; the tree keeps none.
    m_images = nullptr;
    return false;
}

void RecipientTree::CreateOwnImageList(const std::vector<int>& icons) {
    m_ownImages.clear();
    for (const int id : icons)
        m_ownImages.push_back(LoadIconResource(id));
}

void RecipientTree::UseOwnImageList() {
    m_images = &m_ownImages;
}

void RecipientTree::DeleteAllItems() {
    m_tree->clear();
}

core::NetworkPanel::Item RecipientTree::InsertSorted(Item parent, const std::string& text,
                                                     int image) {
    QTreeWidgetItem* under = ItemOf(parent);
    const int count = under != nullptr ? under->childCount() : m_tree->topLevelItemCount();
    std::vector<std::string> siblings;
    siblings.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* sibling =
            under != nullptr ? under->child(i) : m_tree->topLevelItem(i);
        siblings.push_back(ToUtf8(sibling->text(0)));
    }
    const int at = static_cast<int>(core::SortedInsertIndex(siblings, text));
    auto* item = new QTreeWidgetItem(QStringList{FromUtf8(text)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    if (m_images != nullptr && image >= 0 && static_cast<std::size_t>(image) < m_images->size())
        item->setIcon(0, (*m_images)[static_cast<std::size_t>(image)]);
    if (under != nullptr)
        under->insertChild(at, item);
    else
        m_tree->insertTopLevelItem(at, item);
    return HandleOf(item);
}

core::NetworkPanel::Item RecipientTree::FirstChild(Item parent) const {
    const QTreeWidgetItem* under = ItemOf(parent);
    if (under == nullptr)
        return HandleOf(m_tree->topLevelItem(0));
    return HandleOf(under->child(0));
}

core::NetworkPanel::Item RecipientTree::NextSibling(Item item) const {
    QTreeWidgetItem* node = ItemOf(item);
    if (node == nullptr)
        return kNoItem;
    if (QTreeWidgetItem* parent = node->parent())
        return HandleOf(parent->child(parent->indexOfChild(node) + 1));
    return HandleOf(m_tree->topLevelItem(m_tree->indexOfTopLevelItem(node) + 1));
}

std::string RecipientTree::ItemText(Item item) const {
    const QTreeWidgetItem* node = ItemOf(item);
    return node != nullptr ? ToUtf8(node->text(0)) : std::string();
}

bool RecipientTree::IsChecked(Item item) const {
    const QTreeWidgetItem* node = ItemOf(item);
    return node != nullptr && node->checkState(0) == Qt::Checked;
}

void RecipientTree::SetChecked(Item item, bool checked) {
    if (QTreeWidgetItem* node = ItemOf(item))
        node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

QLabel* RecipientTree::Label(int control) const {
    switch (control) {
    case core::kScanStatusLabel:
        return m_status;
    case core::kGroupCountLabel:
        return m_groups;
    case core::kComputerCountLabel:
        return m_computers;
    default:
        return nullptr;
    }
}

void RecipientTree::SetLabelText(int control, const std::string& text) {
    if (QLabel* label = Label(control)) {
        label->setText(FromUtf8(text));
        emit labelChanged(control, label->text());
    }
}

void RecipientTree::SelectionChanged(QTreeWidgetItem* current) {
    if (current == nullptr || !m_selectionRule)
        return;
    if (const std::optional<std::string> recipient = m_selectionRule(HandleOf(current)))
        emit recipientChosen(FromUtf8(*recipient));
}

} // namespace kestrola::ui
