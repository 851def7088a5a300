#include "app/notes/note_path.h"

#include <climits>

#include "common/chars.h"
#include "store/record_format.h"
#include "store/tree_store.h"

namespace qm {

namespace {

constexpr char kBackslash = '\\';

// Replaces every `from` by "\"; `from` is plain ASCII starting with '%', which no GB18030
// character holds as a trail byte, so a byte search finds only real occurrences.
void ReplaceWithBackslash(std::string* text, std::string_view from) {
    size_t pos = 0;
    while ((pos = text->find(from, pos)) != std::string::npos) {
        text->replace(pos, from.size(), 1, kBackslash);
        ++pos;
    }
}

// The first child of `parent` titled `title`, or -1.
int FindChild(const PathTree& tree, int parent, const std::string& title) {
    const int count = tree.nodeCount();
    const int parentDepth = tree.depthOf(parent);
    // A node inside the parent's subtree is its child when no node between them is shallower.
    int shallowest = INT_MAX;
    for (int node = parent + 1; node < count; ++node) {
        const int depth = tree.depthOf(node);
        if (depth <= parentDepth) break;
        if (depth <= shallowest) {
            shallowest = depth;
            if (tree.titleOf(node) == title) return node;
        }
    }
    return -1;
}

}  // namespace

int StorePathTree::nodeCount() const { return store_->NodeCount(); }

int StorePathTree::depthOf(int node) const {
    return ParseIntField(store_->GetField(node, kFieldDepth));
}

std::string StorePathTree::titleOf(int node) const { return store_->GetField(node, kFieldTitle); }

int PathTree::parentOf(int node) const {
    const int depth = depthOf(node);
    for (int before = node - 1; before >= 0; --before) {
        if (depthOf(before) < depth) return before;
    }
    return -1;
}

int ParentNode(const PathTree& tree, int node) {
    if (node < 0 || node >= tree.nodeCount()) return -1;
    return tree.parentOf(node);
}

std::vector<int> ChildNodes(const PathTree& tree, int node) {
    std::vector<int> children;
    const int count = tree.nodeCount();
    if (node < 0 || node >= count) return children;
    const int parentDepth = tree.depthOf(node);
    int shallowest = INT_MAX;
    for (int next = node + 1; next < count; ++next) {
        const int depth = tree.depthOf(next);
        if (depth <= parentDepth) break;
        if (depth <= shallowest) {
            shallowest = depth;
            children.push_back(next);
        }
    }
    return children;
}

std::string EscapeTitle(std::string_view title) {
    std::string out;
    out.reserve(title.size());
    size_t pos = 0;
    while (pos < title.size()) {
        const size_t length = CharLengthAt(title, pos);
        if (length == 1 && title[pos] == kBackslash) {
            out += "%5C";
        } else {
            out.append(title.substr(pos, length));
        }
        pos += length;
    }
    return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> pieces(1);
    size_t pos = 0;
    while (pos < path.size()) {
        const size_t length = CharLengthAt(path, pos);
        if (length == 1 && path[pos] == kBackslash) {
            pieces.emplace_back();
        } else {
            pieces.back().append(path.substr(pos, length));
        }
        pos += length;
    }
    return pieces;
}

std::string NotePath(const PathTree& tree, int node, std::string_view replacementTitle) {
    if (node < 0 || node >= tree.nodeCount()) return {};
    std::string result;
    for (int k = node; k > 0; k = ParentNode(tree, k)) {
        const std::string title = k == node && !replacementTitle.empty()
                                      ? std::string(replacementTitle)
                                      : tree.titleOf(k);
        std::string piece = EscapeTitle(title);
        if (!result.empty()) piece += kBackslash;
        result.insert(0, piece);
    }
    return std::string(kPathPrefix) + result;
}

int ResolvePath(const PathTree& tree, std::string_view path) {
    if (tree.nodeCount() == 0) return -1;
    std::vector<std::string> pieces = SplitPath(path);
    while (pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();
    int matched = 0;
    for (size_t k = 1; k < pieces.size(); ++k) {
        std::string title = pieces[k];
        ReplaceWithBackslash(&title, "%5C");
        ReplaceWithBackslash(&title, "%5c");
        const int child = FindChild(tree, matched, title);
        if (child < 0) break;
        matched = child;
    }
    return matched;
}

}  // namespace qm
