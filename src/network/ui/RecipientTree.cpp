#include "network/ui/RecipientTree.h"

#include "controls/Resources.h"
#include "network/ShellTree.h"
#include "resources/IconResources.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrola::ui {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

const QString kFolderIcon = QStringLiteral(":/icons/folder.svg");

} // namespace

/// A tree widget item with its handle; in shell mode it owns the record of its place.
class RecipientTree::TreeItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 19;

    TreeItem(RecipientTree* tree, Item id, std::unique_ptr<core::ShellItemData> record)
        : QTreeWidgetItem(kType), tree(tree), id(id), record(std::move(record)) {}
    ~TreeItem() override { tree->m_items.erase(id); }

    RecipientTree* tree;
    Item id;
    std::unique_ptr<core::ShellItemData> record;
    bool expandedOnce = false;
};

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
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);

    m_status->setObjectName(QStringLiteral("1218"));
    m_groups->setObjectName(QStringLiteral("1219"));
    m_computers->setObjectName(QStringLiteral("1220"));
    // The labels show names other hosts announce: plain text, never markup.
    for (QLabel* label : {m_status, m_groups, m_computers})
        label->setTextFormat(Qt::PlainText);
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
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr && item->type() == TreeItem::kType)
            RunExpanding(static_cast<TreeItem*>(item));
    });
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { OnContextMenu(point); });
}

RecipientTree::~RecipientTree() {
    m_tree->clear();
}

bool RecipientTree::UseSystemImageList() {
    // The desktop offers no list of small icons for network places; shell items bring their
    // own themed icons instead.
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

RecipientTree::TreeItem* RecipientTree::NewTreeItem(std::unique_ptr<core::ShellItemData> record) {
    const Item id = m_nextItem++;
    auto* created = new TreeItem(this, id, std::move(record));
    m_items[id] = created;
    created->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    created->setCheckState(0, Qt::Unchecked);
    return created;
}

RecipientTree::TreeItem* RecipientTree::Find(Item item) const {
    const auto found = m_items.find(item);
    return found == m_items.end() ? nullptr : found->second;
}

QTreeWidgetItem* RecipientTree::ItemOf(Item item) const {
    return Find(item);
}

RecipientTree::Item RecipientTree::HandleOf(QTreeWidgetItem* item) const {
    if (item == nullptr || item->type() != TreeItem::kType)
        return kNoItem;
    return static_cast<TreeItem*>(item)->id;
}

RecipientTree::Item RecipientTree::InsertSorted(Item parent, const std::string& text, int image) {
    QTreeWidgetItem* under = Find(parent);
    if (parent != kNoItem && under == nullptr)
        return kNoItem;
    const int count = under != nullptr ? under->childCount() : m_tree->topLevelItemCount();
    std::vector<std::string> siblings;
    siblings.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* sibling =
            under != nullptr ? under->child(i) : m_tree->topLevelItem(i);
        siblings.push_back(ToUtf8(sibling->text(0)));
    }
    const int at = static_cast<int>(core::SortedInsertIndex(siblings, text));
    TreeItem* item = NewTreeItem(nullptr);
    item->setText(0, FromUtf8(text));
    if (m_images != nullptr && image >= 0 && static_cast<std::size_t>(image) < m_images->size())
        item->setIcon(0, (*m_images)[static_cast<std::size_t>(image)]);
    if (under != nullptr)
        under->insertChild(at, item);
    else
        m_tree->insertTopLevelItem(at, item);
    return item->id;
}

RecipientTree::Item RecipientTree::InsertItem(Item parent, Item after, NewItem item,
                                              std::unique_ptr<core::ShellItemData> record) {
    TreeItem* parentItem = nullptr;
    if (parent != kNoItem) {
        parentItem = Find(parent);
        if (parentItem == nullptr)
            return kNoItem;
    }
    TreeItem* created = NewTreeItem(std::move(record));
    created->setText(0, FromUtf8(item.text));
    created->setIcon(0, IconFor(item.iconNames, item.openIconNames));
    created->setChildIndicatorPolicy(item.childCountOne
                                         ? QTreeWidgetItem::ShowIndicator
                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    int index = parentItem != nullptr ? parentItem->childCount() : m_tree->topLevelItemCount();
    if (TreeItem* previous = Find(after); previous != nullptr && previous->parent() == parentItem) {
        index = (parentItem != nullptr ? parentItem->indexOfChild(previous)
                                       : m_tree->indexOfTopLevelItem(previous)) +
                1;
    }
    if (parentItem != nullptr)
        parentItem->insertChild(index, created);
    else
        m_tree->insertTopLevelItem(index, created);
    return created->id;
}

RecipientTree::Item RecipientTree::FirstChild(Item parent) const {
    if (parent == kNoItem)
        return HandleOf(m_tree->topLevelItem(0));
    const TreeItem* under = Find(parent);
    return under != nullptr ? HandleOf(under->child(0)) : kNoItem;
}

RecipientTree::Item RecipientTree::NextSibling(Item item) const {
    TreeItem* node = Find(item);
    if (node == nullptr)
        return kNoItem;
    if (QTreeWidgetItem* parent = node->parent())
        return HandleOf(parent->child(parent->indexOfChild(node) + 1));
    return HandleOf(m_tree->topLevelItem(m_tree->indexOfTopLevelItem(node) + 1));
}

std::string RecipientTree::ItemText(Item item) const {
    const TreeItem* node = Find(item);
    return node != nullptr ? ToUtf8(node->text(0)) : std::string();
}

bool RecipientTree::IsChecked(Item item) const {
    const TreeItem* node = Find(item);
    return node != nullptr && node->checkState(0) == Qt::Checked;
}

void RecipientTree::SetChecked(Item item, bool checked) {
    if (TreeItem* node = Find(item))
        node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

const core::ShellItemData* RecipientTree::ItemData(Item item) {
    const TreeItem* node = Find(item);
    return node != nullptr ? node->record.get() : nullptr;
}

bool RecipientTree::IsExpandedOnce(Item item) {
    const TreeItem* node = Find(item);
    return node != nullptr && node->expandedOnce;
}

void RecipientTree::Expand(Item item) {
    TreeItem* node = Find(item);
    if (node == nullptr || node->isExpanded())
        return;
    // The expanding notification comes first, also for an item that is not shown.
    RunExpanding(node);
    if (Find(item) == node)
        node->setExpanded(true);
}

void RecipientTree::Collapse(Item item) {
    if (TreeItem* node = Find(item))
        node->setExpanded(false);
}

void RecipientTree::SortChildren(Item parent, const Compare& compare) {
    TreeItem* parentItem = parent != kNoItem ? Find(parent) : nullptr;
    if (parent != kNoItem && parentItem == nullptr)
        return;
    QTreeWidgetItem* current = m_tree->currentItem();
    QList<QTreeWidgetItem*> children;
    if (parentItem != nullptr) {
        children = parentItem->takeChildren();
    } else {
        while (m_tree->topLevelItemCount() > 0)
            children.append(m_tree->takeTopLevelItem(0));
    }
    std::vector<QTreeWidgetItem*> expanded;
    for (QTreeWidgetItem* child : children) {
        if (child->isExpanded())
            expanded.push_back(child);
    }
    auto recordOf = [](QTreeWidgetItem* item) -> const core::ShellItemData* {
        return item->type() == TreeItem::kType ? static_cast<TreeItem*>(item)->record.get()
                                               : nullptr;
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](QTreeWidgetItem* first, QTreeWidgetItem* second) {
                         return compare(recordOf(first), recordOf(second)) < 0;
                     });
    if (parentItem != nullptr)
        parentItem->addChildren(children);
    else
        m_tree->addTopLevelItems(children);
    // Taking items out forgets their expansion and the current item; put both back.
    for (QTreeWidgetItem* child : expanded)
        child->setExpanded(true);
    if (current != nullptr && m_tree->currentItem() != current && children.contains(current))
        m_tree->setCurrentItem(current);
}

void RecipientTree::Select(Item item) {
    if (TreeItem* node = Find(item)) {
        m_tree->setCurrentItem(node);
        return;
    }
    m_tree->clearSelection();
    m_tree->setCurrentItem(nullptr);
}

std::optional<std::size_t> RecipientTree::TrackMenu(const std::vector<std::string>& labels) {
    QMenu menu(m_tree);
    for (const std::string& label : labels) {
        // Application names may hold an ampersand, which a menu would take as a mnemonic.
        menu.addAction(FromUtf8(label).replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    QAction* chosen = menu.exec(m_tree->viewport()->mapToGlobal(m_menuPoint));
    const qsizetype index = menu.actions().indexOf(chosen);
    if (chosen == nullptr || index < 0)
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

void RecipientTree::CopyText(const std::string& text) {
    QApplication::clipboard()->setText(FromUtf8(text));
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
    if (current == nullptr)
        return;
    const Item item = HandleOf(current);
    const std::optional<std::string> recipient =
        m_events != nullptr ? m_events->SelectedRecipient(item) : ItemText(item);
    if (recipient)
        emit recipientChosen(FromUtf8(*recipient));
}

void RecipientTree::RunExpanding(TreeItem* item) {
    const Item id = item->id;
    if (m_events != nullptr)
        m_events->ExpandShellItem(id);
    if (Find(id) != item)
        return;
    item->expandedOnce = true;
    // An item whose folder held no folders loses its expand button.
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void RecipientTree::OnContextMenu(const QPoint& point) {
    if (m_events == nullptr)
        return;
    m_menuPoint = point;
    m_events->ShowShellContextMenu(HitTestAt(point));
}

core::ShellTreeControl::HitTest RecipientTree::HitTestAt(const QPoint& point) const {
    QTreeWidgetItem* item = m_tree->itemAt(point);
    if (item == nullptr)
        return {};
    core::ShellTreeControl::HitTest hit{HandleOf(item), false};

    // Lay the row out as the item delegate draws it, to tell the image and the text from the
    // check box and the empty rest of the row.
    QStyleOptionViewItem option;
    option.initFrom(m_tree->viewport());
    option.widget = m_tree;
    option.rect = m_tree->visualItemRect(item);
    option.font = m_tree->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
    option.text = item->text(0);
    option.checkState = item->checkState(0);
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.decorationAlignment = Qt::AlignCenter;
    if (!item->icon(0).isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = item->icon(0);
        const int side = m_tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_tree);
        option.decorationSize =
            m_tree->iconSize().isValid() ? m_tree->iconSize() : QSize(side, side);
    }
    QStyle* style = m_tree->style();
    const QRect image = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, m_tree);
    QRect label = style->subElementRect(QStyle::SE_ItemViewItemText, &option, m_tree);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_tree) + 1;
    label.setWidth(
        std::min(label.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
    hit.onIconOrLabel =
        (option.features & QStyleOptionViewItem::HasDecoration && image.contains(point)) ||
        label.contains(point);
    return hit;
}

QIcon RecipientTree::IconFor(const std::vector<std::string>& names,
                             const std::vector<std::string>& open) {
    QIcon icon;
    for (const std::string& name : names) {
        if (QIcon::hasThemeIcon(FromUtf8(name))) {
            icon = QIcon::fromTheme(FromUtf8(name));
            break;
        }
    }
    if (icon.isNull()) {
        switch (core::FallbackIconFor(names)) {
        case core::ShellFallbackIcon::Computer:
            return LoadIconResource(core::kComputerIcon);
        case core::ShellFallbackIcon::Group:
            return LoadIconResource(core::kGroupIcon);
        case core::ShellFallbackIcon::Folder:
            return QIcon(kFolderIcon);
        }
    }
    for (const std::string& name : open) {
        if (!QIcon::hasThemeIcon(FromUtf8(name)))
            continue;
        const QIcon opened = QIcon::fromTheme(FromUtf8(name));
        for (const QSize& size : opened.availableSizes())
            icon.addPixmap(opened.pixmap(size), QIcon::Selected);
        break;
    }
    return icon;
}

} // namespace kestrola::ui
