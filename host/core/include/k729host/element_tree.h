// The walk over a gauge's element tree in drawing order: an element, then
// each entry of its null-ended child list in order, depth first. The records
// are the module's, so the walk guards against a corrupt tree (too deep, a
// child list leading back up, too many elements, a child list without its
// end) and stops at the first fault.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "k729/element.h"
#include "k729/module.h"

namespace k729::host {

// Guards against a corrupt element tree; real gauges nest three or four deep.
inline constexpr int kMaxElementDepth = 32;
inline constexpr std::size_t kMaxElementsPerFrame = 4096;
inline constexpr std::size_t kMaxChildren = 1024;

struct ElementVisit {
    Element* element;
    const Element* parent;                  // null for the root
    std::optional<std::size_t> parentIndex; // the parent's index; none for the root
    std::size_t index;                      // position in drawing order, from 0
    int depth;                              // 0 for the root
};

using ElementVisitor = std::function<void(const ElementVisit&)>;
// How a fault names the element at `index`; "element 3" when none is given.
using ElementNamer = std::function<std::string(const Element& element, std::size_t index)>;

// The root element the header's cell holds; null when there is none.
Element* rootElement(const GaugeHeader& header);

// Calls `visit` for each element from `root` (none when null) in drawing
// order. Returns the fault that stopped the walk, if any.
std::optional<std::string> walkElementTree(Element* root, const ElementVisitor& visit,
                                           const ElementNamer& name = {});

// The entries of the element's child list before its null, at most kMaxChildren.
std::size_t childCount(const Element& element);

} // namespace k729::host
