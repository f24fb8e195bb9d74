// A tree of keyed nodes over QTreeWidget, with the node operations the windows are written
// against: add relative to another node, find by key, remove with children, icons from an
// image list, expanded state, siblings, parent, hit testing and the selected node.
//
// Keys are unique in the whole tree and compared exactly (two names that differ only in
// case may both exist on the host's drives); a node may have no key. Lookups go through a
// hash map, so trees of tens of thousands of nodes stay fast. Change the tree's structure
// only through this class: the maps must see every node that comes and goes.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace forms {

class ImageList;
class TreeView;

// Where Add puts a node relative to its relative.
inline constexpr int tvwFirst = 0;     // first among the relative's siblings
inline constexpr int tvwLast = 1;      // last among the relative's siblings
inline constexpr int tvwNext = 2;      // right after the relative
inline constexpr int tvwPrevious = 3;  // right before the relative
inline constexpr int tvwChild = 4;     // last child of the relative

// Mouse buttons and shift states of MouseDown.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// A reference to a node, like the old Node object. A default-constructed Node is Nothing;
// using a member of Nothing raises run-time error 91, using a node that has been removed
// raises 35605 (control has been deleted). Navigation returns Nothing where there is no
// such node.
class Node {
  public:
    Node() = default;
    explicit operator bool() const { return tree_ != nullptr; }
    friend bool operator==(const Node& a, const Node& b) { return a.id_ == b.id_; }

    std::string Key() const;
    std::string Text() const;
    void SetText(const std::string& text);
    // 0 when the node shows no picture.
    int Image() const;
    // 0 removes the picture; otherwise an index into the tree's image list (run-time error
    // 35613 without a list, 35600 outside it).
    void SetImage(int index);
    bool Expanded() const;
    // Setting it raises the tree's Expand or Collapse event when the state changes.
    void SetExpanded(bool expanded);

    Node Child() const;  // first child
    int Children() const;
    Node FirstSibling() const;
    Node LastSibling() const;
    Node Next() const;
    Node Previous() const;
    Node Parent() const;
    Node Root() const;  // the top-level node above this one (or this node)

    QTreeWidgetItem* Item() const;

  private:
    friend class TreeView;
    Node(TreeView* tree, std::uint64_t id) : tree_(tree), id_(id) {}

    TreeView* tree_ = nullptr;
    std::uint64_t id_ = 0;
};

class TreeView : public QTreeWidget {
  public:
    explicit TreeView(QWidget* parent = nullptr);

    // Adds a node. An empty relativeKey adds a top-level node at the end (the relationship is
    // then ignored); otherwise the node goes where `relationship` says relative to the node
    // with that key. An empty key adds a node without a key. Errors: 35602 for a key already
    // in the tree, 35601 for a relative key that is not, 5 for an unknown relationship, and
    // the image errors of Node::SetImage; nothing is added when one is raised.
    Node Add(const std::string& relativeKey, int relationship, const std::string& key,
             const std::string& text, int image = 0);
    Node Add(const Node& relative, int relationship, const std::string& key,
             const std::string& text, int image = 0);

    // The node with this key; raises run-time error 35601 (element not found) when there is
    // none.
    Node Nodes(const std::string& key);
    // The node with this key, or Nothing.
    Node Find(const std::string& key);
    bool Exists(const std::string& key) const { return byKey_.count(key) != 0; }
    // Removes the node and everything below it; 35601 when the key is not in the tree.
    void Remove(const std::string& key);
    void Remove(const Node& node);
    void Clear();
    int Count() const { return static_cast<int>(byId_.size()); }
    // Every node, parents before their children, siblings in order.
    std::vector<Node> AllNodes();
    // Expands every node `which` picks (raising Expand for each), with the tree laid out once
    // afterwards: expanding one node after another in a laid-out tree moves every row below
    // it each time, which grows with the square of the tree.
    void ExpandWhere(const std::function<bool(const Node&)>& which);

    Node SelectedItem();
    void SetSelectedItem(const Node& node);

    // The node at a point of the viewport (pixels, as mouse events give them), or Nothing.
    Node HitTest(const QPoint& viewportPos);
    // The same for a point in twips from the control's top left corner.
    Node HitTestTwips(double x, double y);

    void SetImageList(const ImageList* images) { images_ = images; }
    const ImageList* GetImageList() const { return images_; }

    // Events, as the old control raised them.
    std::function<void(Node)> NodeClick;
    std::function<void(Node)> Expand;
    std::function<void(Node)> Collapse;
    // Button, shift state, and the position in twips from the control's top left corner.
    std::function<void(int button, int shift, double x, double y)> MouseDown;

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    friend class Node;
    QTreeWidgetItem* ItemOf(std::uint64_t id) const;  // raises 91 / 35605
    Node NodeOf(QTreeWidgetItem* item);
    int RowOf(QTreeWidgetItem* item) const;
    QIcon IconFor(int image) const;  // raises the image errors
    void Forget(QTreeWidgetItem* item);

    const ImageList* images_ = nullptr;
    std::uint64_t nextId_ = 1;
    std::unordered_map<std::string, QTreeWidgetItem*> byKey_;
    std::unordered_map<std::uint64_t, QTreeWidgetItem*> byId_;
};

}  // namespace forms
