#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "value.h"

namespace db {

// What a filter or sort needs to know of a record set's fields.
struct FieldLookup {
    // Index of the field with this name (any case), or -1.
    std::function<int(const QString&)> indexOf;
    std::function<Kind(int)> kindOf;
};

// Cells as a record set keeps them in memory: dates as their stored text, money as
// Currency, Yes/No as bool, numbers as int/qlonglong/double, text as QString, Null invalid.
using Cells = QVector<QVariant>;

// A record-set filter: comparisons "field op value" joined by AND/OR (any case), with
// parentheses, NOT, IS [NOT] NULL and LIKE. Values are numbers, 'quoted text' (a doubled
// quote stands for one), #date# literals and undelimited dates. Text compares without case.
class Filter {
public:
    struct Node;
    static std::optional<Filter> Parse(const QString& text, const FieldLookup& fields, QString* error);
    bool Matches(const Cells& cells) const;

private:
    std::shared_ptr<const Node> root_;
};

// "[a], b DESC, c ASC"
class SortOrder {
public:
    static std::optional<SortOrder> Parse(const QString& text, const FieldLookup& fields, QString* error);
    // True when a sorts before b.
    bool Less(const Cells& a, const Cells& b) const;
    bool empty() const { return keys_.empty(); }

private:
    struct Key {
        int index;
        Kind kind;
        bool descending;
    };
    std::vector<Key> keys_;
};

// Order of two cells of one field, Null first; text without case.
int CompareCells(const QVariant& a, const QVariant& b, Kind kind);

}  // namespace db
