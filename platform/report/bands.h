#pragma once

#include <vector>

#include "report.h"

// A section as it prints once: its items grown to hold their texts, and cut where a page ends.
namespace report::detail {

constexpr double kEps = 0.5;  // twips

// Where an item's control stands in the report.
struct Key {
    int section = -1, control = -1;
};

// One section as it prints once, its items placed from the section's top.
struct Band {
    std::vector<Item> items;
    std::vector<Key> keys;
    double height = 0;

    void Add(Item item, Key key) {
        items.push_back(std::move(item));
        keys.push_back(key);
    }
};

// Boxes grow to the height of their text; what stands below a box that grew moves down
// with it (the captions of a row, such as column headings, as one), and the section grows by
// as much as its lowest part moved.
void Grow(Band& band, const Section& section);

// Cuts `band` at the lowest height not above `room` that runs between lines of text and
// above anything else it would cross; the part below goes to `rest`, moved up to start at 0.
// False when nothing would stay above the cut.
bool Split(Band& band, double room, Band* rest);

}  // namespace report::detail
