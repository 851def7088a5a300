// Path texts of notebook notes: "QM:\" followed by the titles below the root joined by "\"
// (a "\" inside a title written "%5C"), built by NotePath and found again by ResolvePath.
// Qt-free; all text is GB18030, where only a single-byte "\" counts (0x5C is also a valid
// trail byte of a two-byte character).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TreeStore;

// The tree a path walks: its nodes in pre-order with their depths and titles. A node's parent
// is the nearest node before it with a smaller depth, as the tree view builds it.
class PathTree {
public:
    virtual ~PathTree() = default;
    virtual int nodeCount() const = 0;
    // Both take a node in [0, nodeCount()).
    virtual int depthOf(int node) const = 0;
    virtual std::string titleOf(int node) const = 0;  // GB18030
    // The parent of a node in [0, nodeCount()), -1 at the top: the nearest node before it with
    // a smaller depth, found by walking back. A tree that keeps parent links answers at once.
    virtual int parentOf(int node) const;
};

// The tree of a store, read field by field (nothing is written).
class StorePathTree : public PathTree {
public:
    explicit StorePathTree(TreeStore* store) : store_(store) {}
    int nodeCount() const override;
    int depthOf(int node) const override;
    std::string titleOf(int node) const override;

private:
    TreeStore* store_;
};

inline constexpr std::string_view kPathPrefix = "QM:\\";

// The parent of `node`, -1 for a node at the top or out of range.
int ParentNode(const PathTree& tree, int node);

// The children of `node` in tree order; empty when it has none or is out of range.
std::vector<int> ChildNodes(const PathTree& tree, int node);

// Every single-byte "\" of a title written "%5C".
std::string EscapeTitle(std::string_view title);

// The text cut at every single-byte "\": one piece more than there are backslashes.
std::vector<std::string> SplitPath(std::string_view path);

// The path text of `node`: "QM:\" + the escaped titles of its ancestors below the root and its
// own, joined by "\"; "QM:\" for the root. A non-empty `replacementTitle` stands for the
// node's own title (a rename not yet in the tree). Empty when `node` is -1 or out of range.
std::string NotePath(const PathTree& tree, int node, std::string_view replacementTitle = {});

// The node a path text names: whatever stands before the first "\" stands for the root
// (node 0); each following piece, with "%5C" and "%5c" read as "\", selects the first child
// of that title (byte for byte). Returns the deepest node matched, the root when no piece
// below it matches; trailing empty pieces (a prefix ending in "\") are not compared. Returns
// -1 only for an empty tree.
int ResolvePath(const PathTree& tree, std::string_view path);

}  // namespace qm
