#pragma once

#include <vector>

#include "report.h"

namespace report {

// The widest line a control printed, and for a control that wraps its widest word; in twips.
struct TextWidth {
    double line = 0, word = 0;
};
using TextWidths = std::vector<std::vector<TextWidth>>;  // by section, then control

// The sections with their controls placed to hold what they print: a control keeps its left
// edge (a right-aligned one its right edge) and its order, is given the width its text
// needs, and moves right only as far as the text before it demands; everything to its right
// in every section moves with it, so columns stay under their headings. Where the columns
// then run past `right`, wrapping boxes give up width. A wrapping box is widened to its widest
// word where the page has room for every such word, so that no word (an order number) is
// broken. Lines stretch with what they rule.
std::vector<Section> FitColumns(std::vector<Section> sections, const TextWidths& widths,
                                double right);

}  // namespace report
