#include "network/ui/ShellTreeView.h"

#include "controls/Resources.h"
#include "resources/IconResources.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QThread>
#include <algorithm>
#include <type_traits>

namespace kestrola::ui {

namespace {

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

const QString kFolderIcon = QStringLiteral(":/icons/folder.svg");

} // namespace

/// A tree widget item that owns its record.
class ShellTreeView::TreeItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 19;

    TreeItem(ShellTreeView* view, Item id, std::unique_ptr<core::ShellItemData> record)
        : QTreeWidgetItem(kType), view(view), id(id), record(std::move(record)) {}
    ~TreeItem() override { view->m_items.erase(id); }

    ShellTreeView* view;
    Item id;
    std::unique_ptr<core::ShellItemData> record;
    bool expandedOnce = false;
};

ShellTreeView::ShellTreeView(QTreeWidget* tree, platform::ShellNamespace& shellNamespace,
                             QObject* parent)
    : QObject(parent), m_tree(tree), m_rules(shellNamespace, *this) {
    InitResources();
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &ShellTreeView::OnItemExpanded);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, &ShellTreeView::OnContextMenu);
}

ShellTreeView::~ShellTreeView() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_answered.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    // The items refer to this view; they go with it.
    if (m_tree)
        m_tree->clear();
}

template <typename Work> auto ShellTreeView::OnUiThread(Work&& work) -> decltype(work()) {
    using Result = decltype(work());
    if (QThread::currentThread() == thread())
        return work();
    std::unique_lock lock(m_mutex);
    if (m_closing)
        return Result();
    bool done = false;
    // The call is dropped unrun when the view goes first: the destructor raises m_closing and
    // the posted call dies with the object.
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(
            this,
            [&] {
                work();
                std::lock_guard answered(m_mutex);
                done = true;
                m_answered.notify_all();
            },
            Qt::QueuedConnection);
        m_answered.wait(lock, [&] { return done || m_closing; });
    } else {
        std::optional<Result> result;
        QMetaObject::invokeMethod(
            this,
            [&] {
                Result value = work();
                std::lock_guard answered(m_mutex);
                result = std::move(value);
                done = true;
                m_answered.notify_all();
            },
            Qt::QueuedConnection);
        m_answered.wait(lock, [&] { return done || m_closing; });
        return done ? std::move(*result) : Result();
    }
}

bool ShellTreeView::StartFill() {
    if (m_filling.exchange(true))
        return false;
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this] {
        m_rules.FillFromSpecialFolder(platform::kNetworkPlacesFolder);
        m_filling = false;
        QMetaObject::invokeMethod(this, &ShellTreeView::Filled, Qt::QueuedConnection);
    });
    return true;
}

ShellTreeView::Item ShellTreeView::ItemOf(QTreeWidgetItem* item) const {
    if (item == nullptr || item->type() != TreeItem::kType)
        return kRoot;
    return static_cast<TreeItem*>(item)->id;
}

QTreeWidgetItem* ShellTreeView::WidgetItem(Item item) const {
    return Find(item);
}

ShellTreeView::TreeItem* ShellTreeView::Find(Item item) const {
    const auto found = m_items.find(item);
    return found == m_items.end() ? nullptr : found->second;
}

ShellTreeView::HitTest ShellTreeView::HitTestAt(const QPoint& point) const {
    if (!m_tree)
        return {};
    QTreeWidgetItem* item = m_tree->itemAt(point);
    if (item == nullptr)
        return {};
    HitTest hit{ItemOf(item), false};

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

void ShellTreeView::DeleteAllItems() {
    OnUiThread([&] {
        if (m_tree)
            m_tree->clear();
    });
}

ShellTreeView::Item ShellTreeView::InsertItem(Item parent, Item after, NewItem item,
                                              std::unique_ptr<core::ShellItemData> record) {
    return OnUiThread([&]() -> Item {
        if (!m_tree)
            return kRoot;
        TreeItem* parentItem = nullptr;
        if (parent != kRoot) {
            parentItem = Find(parent);
            if (parentItem == nullptr)
                return kRoot;
        }
        const Item id = m_nextItem++;
        auto* created = new TreeItem(this, id, std::move(record));
        m_items[id] = created;
        created->setText(0, ToQString(item.text));
        created->setIcon(0, IconFor(item.iconNames, item.openIconNames));
        created->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        created->setCheckState(0, Qt::Unchecked);
        created->setChildIndicatorPolicy(item.childCountOne
                                             ? QTreeWidgetItem::ShowIndicator
                                             : QTreeWidgetItem::DontShowIndicatorWhenChildless);
        int index = parentItem != nullptr ? parentItem->childCount() : m_tree->topLevelItemCount();
        if (TreeItem* previous = Find(after);
            previous != nullptr && previous->parent() == parentItem) {
            index = (parentItem != nullptr ? parentItem->indexOfChild(previous)
                                           : m_tree->indexOfTopLevelItem(previous)) +
                    1;
        }
        if (parentItem != nullptr)
            parentItem->insertChild(index, created);
        else
            m_tree->insertTopLevelItem(index, created);
        return id;
    });
}

ShellTreeView::Item ShellTreeView::FirstChild(Item parent) {
    return OnUiThread([&]() -> Item {
        if (!m_tree)
            return kRoot;
        if (parent == kRoot)
            return ItemOf(m_tree->topLevelItem(0));
        TreeItem* found = Find(parent);
        return found != nullptr ? ItemOf(found->child(0)) : kRoot;
    });
}

ShellTreeView::Item ShellTreeView::NextSibling(Item item) {
    return OnUiThread([&]() -> Item {
        TreeItem* found = Find(item);
        if (!m_tree || found == nullptr)
            return kRoot;
        if (QTreeWidgetItem* parent = found->parent())
            return ItemOf(parent->child(parent->indexOfChild(found) + 1));
        return ItemOf(m_tree->topLevelItem(m_tree->indexOfTopLevelItem(found) + 1));
    });
}

const core::ShellItemData* ShellTreeView::ItemData(Item item) {
    return OnUiThread([&]() -> const core::ShellItemData* {
        TreeItem* found = Find(item);
        return found != nullptr ? found->record.get() : nullptr;
    });
}

std::string ShellTreeView::ItemText(Item item) {
    return OnUiThread([&]() -> std::string {
        TreeItem* found = Find(item);
        return found != nullptr ? found->text(0).toStdString() : std::string();
    });
}

bool ShellTreeView::IsExpandedOnce(Item item) {
    return OnUiThread([&] {
        TreeItem* found = Find(item);
        return found != nullptr && found->expandedOnce;
    });
}

void ShellTreeView::Expand(Item item) {
    OnUiThread([&] {
        TreeItem* found = Find(item);
        if (found == nullptr || found->isExpanded())
            return;
        // The expanding notification comes first, also for an item that is not shown.
        RunExpanding(found);
        if (Find(item) == found)
            found->setExpanded(true);
    });
}

void ShellTreeView::Collapse(Item item) {
    OnUiThread([&] {
        if (TreeItem* found = Find(item))
            found->setExpanded(false);
    });
}

void ShellTreeView::SortChildren(Item parent, const Compare& compare) {
    OnUiThread([&] {
        if (!m_tree)
            return;
        TreeItem* parentItem = parent != kRoot ? Find(parent) : nullptr;
        if (parent != kRoot && parentItem == nullptr)
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
    });
}

bool ShellTreeView::IsChecked(Item item) {
    return OnUiThread([&] {
        TreeItem* found = Find(item);
        return found != nullptr && found->checkState(0) == Qt::Checked;
    });
}

void ShellTreeView::SetChecked(Item item, bool checked) {
    OnUiThread([&] {
        if (TreeItem* found = Find(item))
            found->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    });
}

void ShellTreeView::Select(Item item) {
    OnUiThread([&] {
        if (!m_tree)
            return;
        if (TreeItem* found = Find(item)) {
            m_tree->setCurrentItem(found);
            return;
        }
        m_tree->clearSelection();
        m_tree->setCurrentItem(nullptr);
    });
}

std::optional<std::size_t> ShellTreeView::TrackMenu(const std::vector<std::string>& labels) {
    return OnUiThread([&]() -> std::optional<std::size_t> {
        if (!m_tree)
            return std::nullopt;
        QMenu menu(m_tree);
        for (const std::string& label : labels) {
            // Application names may hold an ampersand, which a menu would take as a mnemonic.
            menu.addAction(ToQString(label).replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
        QAction* chosen = menu.exec(m_tree->viewport()->mapToGlobal(m_menuPoint));
        const qsizetype index = menu.actions().indexOf(chosen);
        if (chosen == nullptr || index < 0)
            return std::nullopt;
        return static_cast<std::size_t>(index);
    });
}

void ShellTreeView::CopyText(const std::string& text) {
    OnUiThread([&] { QApplication::clipboard()->setText(ToQString(text)); });
}

void ShellTreeView::OnItemExpanded(QTreeWidgetItem* item) {
    if (item != nullptr && item->type() == TreeItem::kType)
        RunExpanding(static_cast<TreeItem*>(item));
}

void ShellTreeView::RunExpanding(TreeItem* item) {
    const Item id = item->id;
    m_rules.ExpandShellItem(id);
    if (Find(id) != item)
        return;
    item->expandedOnce = true;
    // An item whose folder held no folders loses its expand button.
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ShellTreeView::OnContextMenu(const QPoint& point) {
    m_menuPoint = point;
    m_rules.ShowShellContextMenu(HitTestAt(point));
}

QIcon ShellTreeView::IconFor(const std::vector<std::string>& names,
                             const std::vector<std::string>& open) {
    QIcon icon;
    for (const std::string& name : names) {
        if (QIcon::hasThemeIcon(ToQString(name))) {
            icon = QIcon::fromTheme(ToQString(name));
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
        if (!QIcon::hasThemeIcon(ToQString(name)))
            continue;
        const QIcon opened = QIcon::fromTheme(ToQString(name));
        for (const QSize& size : opened.availableSizes())
            icon.addPixmap(opened.pixmap(size), QIcon::Selected);
        break;
    }
    return icon;
}

} // namespace kestrola::ui
