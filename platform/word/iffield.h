#pragma once

#include <QString>
#include <optional>
#include <vector>

// The IF field as a mail merge resolves it. Internal to the word layer.
namespace word::detail {

// A piece of a field's instruction: text typed in the instruction, or what a field nested in
// it gives (never split into words or read for quotes and operators).
struct InstructionPiece {
    QString text;
    bool literal = true;
};

// What `IF Expression1 Operator Expression2 "TrueText" "FalseText"` shows, the way word
// processors compare: as numbers when both sides are numbers (money included), else as text,
// "=" and "<>" with the wildcards * and ? when the right side is quoted. Nothing when the
// instruction is no IF field or cannot be read.
std::optional<QString> EvaluateIf(const std::vector<InstructionPiece>& pieces);

}  // namespace word::detail
