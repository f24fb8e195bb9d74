#include "platform/forms/TreeView.h"

#include <QMouseEvent>
#include <QTreeWidgetItemIterator>

#include "platform/automation/Errors.h"
#include "platform/forms/ImageList.h"
#include "platform/forms/Twips.h"

namespace forms {

namespace {

constexpr int KeyRole = Qt::UserRole;
constexpr int IdRole = Qt::UserRole + 1;
constexpr int ImageRole = Qt::UserRole + 2;

constexpr std::int32_t ControlDeleted = 35605;
constexpr std::int32_t ImageListNotInitialized = 35613;

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

// ---- Node ----

QTreeWidgetItem* Node::Item() const {
    if (tree_ == nullptr) {
        automation::Raise(automation::ObjectVariableNotSet);
    }
    return tree_->ItemOf(id_);
}

std::string Node::Key() const {
    return Item()->data(0, KeyRole).toString().toStdString();
}

std::string Node::Text() const {
    return Item()->text(0).toStdString();
}

void Node::SetText(const std::string& text) {
    Item()->setText(0, ToQt(text));
}

int Node::Image() const {
    return Item()->data(0, ImageRole).toInt();
}

void Node::SetImage(int index) {
    QTreeWidgetItem* item = Item();
    item->setIcon(0, tree_->IconFor(index));
    item->setData(0, ImageRole, index);
}

bool Node::Expanded() const {
    return Item()->isExpanded();
}

void Node::SetExpanded(bool expanded) {
    Item()->setExpanded(expanded);
}

Node Node::Child() const {
    QTreeWidgetItem* item = Item();
    return item->childCount() > 0 ? tree_->NodeOf(item->child(0)) : Node();
}

int Node::Children() const {
    return Item()->childCount();
}

Node Node::FirstSibling() const {
    QTreeWidgetItem* parent = Item()->parent();
    return tree_->NodeOf(parent ? parent->child(0) : tree_->topLevelItem(0));
}

Node Node::LastSibling() const {
    QTreeWidgetItem* parent = Item()->parent();
    return tree_->NodeOf(parent ? parent->child(parent->childCount() - 1)
                                : tree_->topLevelItem(tree_->topLevelItemCount() - 1));
}

Node Node::Next() const {
    QTreeWidgetItem* item = Item();
    QTreeWidgetItem* parent = item->parent();
    const int row = tree_->RowOf(item) + 1;
    return tree_->NodeOf(parent ? parent->child(row) : tree_->topLevelItem(row));
}

Node Node::Previous() const {
    QTreeWidgetItem* item = Item();
    QTreeWidgetItem* parent = item->parent();
    const int row = tree_->RowOf(item) - 1;
    if (row < 0) {
        return Node();
    }
    return tree_->NodeOf(parent ? parent->child(row) : tree_->topLevelItem(row));
}

Node Node::Parent() const {
    QTreeWidgetItem* parent = Item()->parent();
    return tree_->NodeOf(parent);
}

Node Node::Root() const {
    QTreeWidgetItem* item = Item();
    while (item->parent() != nullptr) {
        item = item->parent();
    }
    return tree_->NodeOf(item);
}

// ---- TreeView ----

TreeView::TreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (NodeClick) {
            NodeClick(NodeOf(item));
        }
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (Expand) {
            Expand(NodeOf(item));
        }
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (Collapse) {
            Collapse(NodeOf(item));
        }
    });
}

Node TreeView::Add(const std::string& relativeKey, int relationship, const std::string& key,
                   const std::string& text, int image) {
    if (relativeKey.empty()) {
        return Add(Node(), relationship, key, text, image);
    }
    const auto relative = byKey_.find(relativeKey);
    if (relative == byKey_.end()) {
        automation::Raise(automation::ElementNotFound, "TreeView");
    }
    return Add(NodeOf(relative->second), relationship, key, text, image);
}

Node TreeView::Add(const Node& relative, int relationship, const std::string& key,
                   const std::string& text, int image) {
    QTreeWidgetItem* relativeItem = nullptr;
    if (relative) {
        if (relative.tree_ != this) {
            automation::Raise(automation::InvalidProcedureCall, "TreeView");
        }
        relativeItem = relative.Item();
        if (relationship < tvwFirst || relationship > tvwChild) {
            automation::Raise(automation::InvalidProcedureCall, "TreeView");
        }
    }
    if (!key.empty() && byKey_.count(key) != 0) {
        automation::Raise(automation::KeyNotUnique, "TreeView");
    }
    const QIcon icon = IconFor(image);

    const std::uint64_t id = nextId_++;
    auto* item = new QTreeWidgetItem();
    item->setText(0, ToQt(text));
    item->setData(0, KeyRole, ToQt(key));
    item->setData(0, IdRole, QVariant::fromValue<qulonglong>(id));
    item->setData(0, ImageRole, image);
    item->setIcon(0, icon);

    if (relativeItem == nullptr) {
        addTopLevelItem(item);
    } else if (relationship == tvwChild) {
        relativeItem->addChild(item);
    } else {
        QTreeWidgetItem* parent = relativeItem->parent();
        const int count = parent ? parent->childCount() : topLevelItemCount();
        int row = 0;
        switch (relationship) {
            case tvwFirst:
                row = 0;
                break;
            case tvwLast:
                row = count;
                break;
            case tvwNext:
                row = RowOf(relativeItem) + 1;
                break;
            default:  // tvwPrevious
                row = RowOf(relativeItem);
                break;
        }
        if (parent) {
            parent->insertChild(row, item);
        } else {
            insertTopLevelItem(row, item);
        }
    }
    byId_.emplace(id, item);
    if (!key.empty()) {
        byKey_.emplace(key, item);
    }
    return Node(this, id);
}

Node TreeView::Nodes(const std::string& key) {
    const Node node = Find(key);
    if (!node) {
        automation::Raise(automation::ElementNotFound, "TreeView");
    }
    return node;
}

Node TreeView::Find(const std::string& key) {
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? Node() : NodeOf(found->second);
}

void TreeView::Remove(const std::string& key) {
    Remove(Nodes(key));
}

void TreeView::Remove(const Node& node) {
    if (node && node.tree_ != this) {
        automation::Raise(automation::InvalidProcedureCall, "TreeView");
    }
    QTreeWidgetItem* item = node.Item();
    Forget(item);
    delete item;
}

void TreeView::Clear() {
    byKey_.clear();
    byId_.clear();
    clear();
}

std::vector<Node> TreeView::AllNodes() {
    std::vector<Node> nodes;
    nodes.reserve(byId_.size());
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        nodes.push_back(NodeOf(*it));
    }
    return nodes;
}

void TreeView::ExpandWhere(const std::function<bool(const Node&)>& which) {
    // With a layout pending, the view only records each expansion.
    scheduleDelayedItemsLayout();
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        if (which(NodeOf(*it))) {
            (*it)->setExpanded(true);
        }
    }
    executeDelayedItemsLayout();
}

Node TreeView::SelectedItem() {
    return NodeOf(currentItem());
}

void TreeView::SetSelectedItem(const Node& node) {
    if (!node) {
        setCurrentItem(nullptr);
        return;
    }
    if (node.tree_ != this) {
        automation::Raise(automation::InvalidProcedureCall, "TreeView");
    }
    setCurrentItem(node.Item());
}

Node TreeView::HitTest(const QPoint& viewportPos) {
    return NodeOf(itemAt(viewportPos));
}

Node TreeView::HitTestTwips(double x, double y) {
    const QPoint inControl(TwipsToPixels(x), TwipsToPixels(y));
    return HitTest(viewport()->mapFrom(this, inControl));
}

void TreeView::mousePressEvent(QMouseEvent* event) {
    if (MouseDown) {
        int button = 0;
        switch (event->button()) {
            case Qt::LeftButton:
                button = vbLeftButton;
                break;
            case Qt::RightButton:
                button = vbRightButton;
                break;
            case Qt::MiddleButton:
                button = vbMiddleButton;
                break;
            default:
                break;
        }
        const Qt::KeyboardModifiers modifiers = event->modifiers();
        const int shift = (modifiers & Qt::ShiftModifier ? vbShiftMask : 0) |
                          (modifiers & Qt::ControlModifier ? vbCtrlMask : 0) |
                          (modifiers & Qt::AltModifier ? vbAltMask : 0);
        const QPoint inControl = viewport()->mapTo(this, event->position().toPoint());
        MouseDown(button, shift, PixelsToTwips(inControl.x()), PixelsToTwips(inControl.y()));
    }
    QTreeWidget::mousePressEvent(event);
}

QTreeWidgetItem* TreeView::ItemOf(std::uint64_t id) const {
    const auto found = byId_.find(id);
    if (found == byId_.end()) {
        automation::Raise(ControlDeleted, "TreeView", "Control has been deleted");
    }
    return found->second;
}

Node TreeView::NodeOf(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return Node();
    }
    return Node(this, item->data(0, IdRole).toULongLong());
}

int TreeView::RowOf(QTreeWidgetItem* item) const {
    // The model remembers each item's last row, so this is a constant-time lookup while
    // the siblings stay put, unlike QTreeWidgetItem::indexOfChild, which searches.
    return indexFromItem(item).row();
}

QIcon TreeView::IconFor(int image) const {
    if (image == 0) {
        return QIcon();
    }
    if (images_ == nullptr) {
        automation::Raise(ImageListNotInitialized, "TreeView",
                          "ImageList must be initialized before it can be used");
    }
    return images_->Item(image);
}

void TreeView::Forget(QTreeWidgetItem* item) {
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        pending.pop_back();
        byId_.erase(current->data(0, IdRole).toULongLong());
        const std::string key = current->data(0, KeyRole).toString().toStdString();
        if (!key.empty()) {
            byKey_.erase(key);
        }
        for (int i = 0; i < current->childCount(); ++i) {
            pending.push_back(current->child(i));
        }
    }
}

}  // namespace forms
