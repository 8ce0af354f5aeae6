#include "k729host/element_tree.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace k729::host {
namespace {

class Walker {
public:
    Walker(const ElementVisitor& visit, const ElementNamer& name) : visit_(visit), name_(name) {}

    // False once a fault has stopped the walk.
    bool walk(Element* element, int depth) {
        if (depth > kMaxElementDepth)
            return fail("element tree deeper than " + std::to_string(kMaxElementDepth) + " levels");
        if (std::any_of(ancestors_.begin(), ancestors_.end(),
                        [&](const Ancestor& a) { return a.first == element; })) {
            const auto& [parent, parentIndex] = ancestors_.back();
            return fail("element tree has a cycle: the child list of " +
                        nameOf(*parent, parentIndex) + " leads back to an element above it");
        }
        if (count_ == kMaxElementsPerFrame)
            return fail("element tree has more than " + std::to_string(kMaxElementsPerFrame) +
                        " elements");
        const std::size_t index = count_++;
        ElementVisit visit{element, nullptr, std::nullopt, index, depth};
        if (!ancestors_.empty()) {
            visit.parent = ancestors_.back().first;
            visit.parentIndex = ancestors_.back().second;
        }
        visit_(visit);

        if (!element->children) return true;
        ancestors_.emplace_back(element, index);
        bool going = true;
        for (std::size_t i = 0; going; ++i) {
            if (i == kMaxChildren) {
                going = fail("the child list of " + nameOf(*element, index) +
                             " has no end within " + std::to_string(kMaxChildren) + " entries");
                break;
            }
            Element* child = element->children[i];
            if (!child) break;
            going = walk(child, depth + 1);
        }
        ancestors_.pop_back();
        return going;
    }

    std::optional<std::string>& fault() { return fault_; }

private:
    using Ancestor = std::pair<const Element*, std::size_t>;

    bool fail(std::string what) {
        fault_ = std::move(what);
        return false;
    }

    std::string nameOf(const Element& element, std::size_t index) const {
        return name_ ? name_(element, index) : "element " + std::to_string(index);
    }

    const ElementVisitor& visit_;
    const ElementNamer& name_;
    std::vector<Ancestor> ancestors_;
    std::size_t count_ = 0;
    std::optional<std::string> fault_;
};

} // namespace

Element* rootElement(const GaugeHeader& header) {
    return header.rootCell ? *header.rootCell : nullptr;
}

std::optional<std::string> walkElementTree(Element* root, const ElementVisitor& visit,
                                           const ElementNamer& name) {
    if (!root) return std::nullopt;
    Walker walker(visit, name);
    walker.walk(root, 0);
    return std::move(walker.fault());
}

std::size_t childCount(const Element& element) {
    std::size_t count = 0;
    if (element.children)
        while (count < kMaxChildren && element.children[count])
            ++count;
    return count;
}

} // namespace k729::host
