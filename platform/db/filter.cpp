#include "filter.h"

#include "internal.h"

#include <QLocale>
#include <QRegularExpression>

#include <cstring>

namespace db {

struct Filter::Node {
    enum Op { And, Or, Not, Eq, Ne, Lt, Le, Gt, Ge, IsNull, IsNotNull, Like };
    Op op = Eq;
    std::shared_ptr<const Node> left, right;  // for And/Or/Not
    int field = -1;
    Kind kind = Kind::Unknown;
    // The literal, kept in the forms the comparison may need.
    enum LitType { Number, Text, Date, Null, Bool } litType = Null;
    double number = 0;
    QString text;  // original text, or canonical date text
    qint64 dateKey = 0;
    bool boolean = false;
    QRegularExpression like;
};

namespace {

using Node = Filter::Node;

std::optional<double> ToNumber(const QVariant& v) {
    if (IsNull(v)) return std::nullopt;
    switch (v.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return v.toDouble();
        case QMetaType::Bool:
            return v.toBool() ? -1.0 : 0.0;
        case QMetaType::QString: {
            bool ok = false;
            const double d = v.toString().trimmed().toDouble(&ok);
            if (ok) return d;
            const double l = QLocale().toDouble(v.toString().trimmed(), &ok);
            return ok ? std::optional(l) : std::nullopt;
        }
        default:
            if (v.metaType() == QMetaType::fromType<Currency>()) return v.value<Currency>().toDouble();
            return std::nullopt;
    }
}

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Compares a cell with a filter literal; nullopt when the two cannot be compared.
std::optional<int> CompareWithLiteral(const QVariant& cell, const Node& n) {
    Kind kind = n.kind;
    if (kind == Kind::Unknown) {
        switch (cell.metaType().id()) {
            case QMetaType::QString: kind = Kind::Text; break;
            case QMetaType::Bool: kind = Kind::YesNo; break;
            case QMetaType::Double: kind = Kind::Double; break;
            default:
                kind = cell.metaType() == QMetaType::fromType<Currency>() ? Kind::Currency : Kind::Integer;
        }
    }
    switch (n.litType) {
        case Node::Date: {
            const auto d = detail::DateKey(cell);
            if (!d) return std::nullopt;
            return Cmp(*d, n.dateKey);
        }
        case Node::Bool: {
            const auto x = ToNumber(cell);
            if (!x) return std::nullopt;
            return Cmp(*x != 0, n.boolean);
        }
        case Node::Number: {
            if (kind == Kind::YesNo) {
                const bool b = cell.toBool();
                return Cmp(b ? (n.number < 0 ? -1.0 : 1.0) : 0.0, n.number);
            }
            if (kind == Kind::Text) {
                if (const auto x = ToNumber(cell)) return Cmp(*x, n.number);
                return cell.toString().compare(n.text, Qt::CaseInsensitive);
            }
            const auto x = ToNumber(cell);
            if (!x) return std::nullopt;
            return Cmp(*x, n.number);
        }
        case Node::Text: {
            if (kind == Kind::Text) return cell.toString().compare(n.text, Qt::CaseInsensitive);
            if (kind == Kind::DateTime) {
                const auto d = detail::DateKey(cell);
                const auto lit = detail::DateKey(QVariant(n.text));
                if (!d || !lit) return std::nullopt;
                return Cmp(*d, *lit);
            }
            if (kind == Kind::YesNo) {
                if (n.text.compare(u"True", Qt::CaseInsensitive) == 0) return Cmp(cell.toBool(), true);
                if (n.text.compare(u"False", Qt::CaseInsensitive) == 0) return Cmp(cell.toBool(), false);
            }
            // A quoted number against a number field ([Invoice Number] = '17').
            const auto x = ToNumber(cell);
            const auto y = ToNumber(QVariant(n.text));
            if (!x || !y) return std::nullopt;
            return Cmp(*x, *y);
        }
        case Node::Null:
            return std::nullopt;
    }
    return std::nullopt;
}

bool Eval(const Node& n, const Cells& cells) {
    switch (n.op) {
        case Node::And: return Eval(*n.left, cells) && Eval(*n.right, cells);
        case Node::Or: return Eval(*n.left, cells) || Eval(*n.right, cells);
        case Node::Not: return !Eval(*n.left, cells);
        default: break;
    }
    const QVariant& cell = cells.at(n.field);
    const bool null = IsNull(cell);
    if (n.op == Node::IsNull) return null;
    if (n.op == Node::IsNotNull) return !null;
    if (n.litType == Node::Null) {
        if (n.op == Node::Eq) return null;
        if (n.op == Node::Ne) return !null;
        return false;
    }
    if (null) return false;
    if (n.op == Node::Like) return n.like.match(ValueText(detail::FromCell(cell, n.kind))).hasMatch();
    const auto c = CompareWithLiteral(cell, n);
    if (!c) return false;
    switch (n.op) {
        case Node::Eq: return *c == 0;
        case Node::Ne: return *c != 0;
        case Node::Lt: return *c < 0;
        case Node::Le: return *c <= 0;
        case Node::Gt: return *c > 0;
        case Node::Ge: return *c >= 0;
        default: return false;
    }
}

class Parser {
public:
    Parser(const QString& text, const FieldLookup& fields) : s_(text), fields_(fields) {}

    std::shared_ptr<const Node> Run(QString* error) {
        auto node = ParseOr();
        SkipSpace();
        if (node && pos_ < s_.size()) Fail(QStringLiteral("unexpected text '%1'").arg(s_.mid(pos_)));
        if (!error_.isEmpty()) {
            if (error) *error = QStringLiteral("Invalid filter \"%1\": %2").arg(s_, error_);
            return nullptr;
        }
        return node;
    }

private:
    void Fail(const QString& why) {
        if (error_.isEmpty()) error_ = why;
    }
    void SkipSpace() {
        while (pos_ < s_.size() && s_[pos_].isSpace()) ++pos_;
    }
    bool Word(const char* w) {
        SkipSpace();
        const qsizetype n = static_cast<qsizetype>(strlen(w));
        if (QStringView(s_).mid(pos_, n).compare(QLatin1String(w), Qt::CaseInsensitive) != 0) return false;
        if (pos_ + n < s_.size() && (s_[pos_ + n].isLetterOrNumber() || s_[pos_ + n] == u'_')) return false;
        pos_ += n;
        return true;
    }
    bool Char(QChar c) {
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::shared_ptr<const Node> ParseOr() {
        auto left = ParseAnd();
        while (left && Word("or")) {
            auto n = std::make_shared<Node>();
            n->op = Node::Or;
            n->left = left;
            n->right = ParseAnd();
            if (!n->right) return nullptr;
            left = n;
        }
        return left;
    }
    std::shared_ptr<const Node> ParseAnd() {
        auto left = ParseFactor();
        while (left && Word("and")) {
            auto n = std::make_shared<Node>();
            n->op = Node::And;
            n->left = left;
            n->right = ParseFactor();
            if (!n->right) return nullptr;
            left = n;
        }
        return left;
    }
    std::shared_ptr<const Node> ParseFactor() {
        if (Char(u'(')) {
            auto inner = ParseOr();
            if (!inner) return nullptr;
            if (!Char(u')')) {
                Fail(QStringLiteral("missing )"));
                return nullptr;
            }
            return inner;
        }
        if (Word("not")) {
            auto n = std::make_shared<Node>();
            n->op = Node::Not;
            n->left = ParseFactor();
            return n->left ? n : nullptr;
        }
        return ParseComparison();
    }

    std::shared_ptr<const Node> ParseComparison() {
        SkipSpace();
        QString name;
        if (Char(u'[')) {
            const qsizetype e = s_.indexOf(u']', pos_);
            if (e < 0) {
                Fail(QStringLiteral("missing ]"));
                return nullptr;
            }
            name = s_.mid(pos_, e - pos_);
            pos_ = e + 1;
        } else {
            const qsizetype b = pos_;
            while (pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'_' || s_[pos_] == u'.')) ++pos_;
            name = s_.mid(b, pos_ - b);
            // A qualified name (Table.Column) is looked up by its column.
            if (name.contains(u'.') && fields_.indexOf(name) < 0) name = name.section(u'.', -1);
        }
        if (name.isEmpty()) {
            Fail(QStringLiteral("a field name is expected"));
            return nullptr;
        }
        auto n = std::make_shared<Node>();
        n->field = fields_.indexOf(name);
        if (n->field < 0) {
            Fail(QStringLiteral("no field is named '%1'").arg(name));
            return nullptr;
        }
        n->kind = fields_.kindOf(n->field);
        if (Word("is")) {
            n->op = Word("not") ? Node::IsNotNull : Node::IsNull;
            if (!Word("null")) Fail(QStringLiteral("NULL expected after IS"));
            return n;
        }
        if (Word("like")) {
            n->op = Node::Like;
            if (!ParseValue(*n) || n->litType != Node::Text) {
                Fail(QStringLiteral("a quoted pattern is expected after LIKE"));
                return nullptr;
            }
            QString re;
            for (QChar c : n->text) {
                if (c == u'*' || c == u'%') re += QStringLiteral(".*");
                else if (c == u'?' || c == u'_') re += u'.';
                else re += QRegularExpression::escape(QString(c));
            }
            n->like = QRegularExpression(u'^' + re + u'$', QRegularExpression::CaseInsensitiveOption |
                                                              QRegularExpression::DotMatchesEverythingOption);
            return n;
        }
        SkipSpace();
        static const std::pair<const char*, Node::Op> ops[] = {
            {"<=", Node::Le}, {">=", Node::Ge}, {"<>", Node::Ne}, {"!=", Node::Ne},
            {"=", Node::Eq},  {"<", Node::Lt},  {">", Node::Gt}};
        bool found = false;
        for (const auto& [text, op] : ops) {
            const qsizetype len = static_cast<qsizetype>(strlen(text));
            if (QStringView(s_).mid(pos_, len) == QLatin1String(text)) {
                n->op = op;
                pos_ += len;
                found = true;
                break;
            }
        }
        if (!found) {
            Fail(QStringLiteral("a comparison is expected after '%1'").arg(name));
            return nullptr;
        }
        if (!ParseValue(*n)) return nullptr;
        return n;
    }

    bool ParseValue(Node& n) {
        SkipSpace();
        if (pos_ >= s_.size()) {
            Fail(QStringLiteral("a value is expected"));
            return false;
        }
        const QChar c = s_[pos_];
        if (c == u'\'' || c == u'"') {
            QString text;
            ++pos_;
            for (;;) {
                if (pos_ >= s_.size()) {
                    Fail(QStringLiteral("unterminated text"));
                    return false;
                }
                if (s_[pos_] == c) {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == c) {
                        text += c;
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                text += s_[pos_++];
            }
            n.litType = Node::Text;
            n.text = text;
            return true;
        }
        if (c == u'#') {
            const qsizetype e = s_.indexOf(u'#', pos_ + 1);
            if (e < 0) {
                Fail(QStringLiteral("missing closing #"));
                return false;
            }
            const auto dt = ParseDateLiteral(QStringView(s_).mid(pos_ + 1, e - pos_ - 1));
            if (!dt) {
                Fail(QStringLiteral("'%1' is not a date").arg(s_.mid(pos_, e - pos_ + 1)));
                return false;
            }
            n.litType = Node::Date;
            n.text = CanonicalDateText(*dt);
            n.dateKey = detail::ToStoredDate(*dt).key;
            pos_ = e + 1;
            return true;
        }
        // An undelimited date: 2026-04-01[ 10:00[:00]] or 4/1/2026[ 10:00[:00]].
        static const QRegularExpression bareDate(QStringLiteral(
            R"(\G(\d{4}-\d{2}-\d{2}(?:[ T]\d{2}:\d{2}(?::\d{2})?)?|\d{1,2}/\d{1,2}/\d{4}(?: \d{1,2}:\d{2}(?::\d{2})?)?)(?![\d/:-]))"));
        if (const auto m = bareDate.match(s_, pos_); m.hasMatch()) {
            const auto dt = ParseDateLiteral(m.capturedView(1));
            if (!dt) {
                Fail(QStringLiteral("'%1' is not a date").arg(m.captured(1)));
                return false;
            }
            n.litType = Node::Date;
            n.text = CanonicalDateText(*dt);
            n.dateKey = detail::ToStoredDate(*dt).key;
            pos_ = m.capturedEnd(0);
            return true;
        }
        static const QRegularExpression number(QStringLiteral(R"(\G[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)"));
        if (const auto m = number.match(s_, pos_); m.hasMatch()) {
            n.litType = Node::Number;
            n.text = m.captured(0);
            n.number = n.text.toDouble();
            pos_ = m.capturedEnd(0);
            return true;
        }
        if (Word("null")) {
            n.litType = Node::Null;
            return true;
        }
        if (Word("true")) {
            n.litType = Node::Bool;
            n.boolean = true;
            return true;
        }
        if (Word("false")) {
            n.litType = Node::Bool;
            n.boolean = false;
            return true;
        }
        Fail(QStringLiteral("'%1' is not a value").arg(s_.mid(pos_)));
        return false;
    }

    const QString& s_;
    const FieldLookup& fields_;
    qsizetype pos_ = 0;
    QString error_;
};

}  // namespace

std::optional<Filter> Filter::Parse(const QString& text, const FieldLookup& fields, QString* error) {
    Parser p(text, fields);
    auto root = p.Run(error);
    if (!root) return std::nullopt;
    Filter f;
    f.root_ = std::move(root);
    return f;
}

bool Filter::Matches(const Cells& cells) const { return root_ && Eval(*root_, cells); }

int CompareCells(const QVariant& a, const QVariant& b, Kind kind) {
    const bool an = IsNull(a), bn = IsNull(b);
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    if (kind == Kind::DateTime) {
        const auto x = detail::DateKey(a), y = detail::DateKey(b);
        if (x && y) return Cmp(*x, *y);
    }
    if (a.metaType().id() == QMetaType::QString && b.metaType().id() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseInsensitive);
    if (a.metaType() == QMetaType::fromType<Currency>() && b.metaType() == QMetaType::fromType<Currency>())
        return Cmp(a.value<Currency>(), b.value<Currency>());
    const auto x = ToNumber(a), y = ToNumber(b);
    if (x && y) return Cmp(*x, *y);
    return ValueText(a).compare(ValueText(b), Qt::CaseInsensitive);
}

std::optional<SortOrder> SortOrder::Parse(const QString& text, const FieldLookup& fields, QString* error) {
    SortOrder order;
    for (QString part : text.split(u',', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        bool desc = false;
        if (part.endsWith(u" desc", Qt::CaseInsensitive)) {
            desc = true;
            part.chop(5);
        } else if (part.endsWith(u" asc", Qt::CaseInsensitive)) {
            part.chop(4);
        }
        part = part.trimmed();
        if (part.startsWith(u'[') && part.endsWith(u']')) part = part.mid(1, part.size() - 2);
        const int index = fields.indexOf(part);
        if (index < 0) {
            if (error) *error = QStringLiteral("Invalid sort \"%1\": no field is named '%2'").arg(text, part);
            return std::nullopt;
        }
        order.keys_.push_back({index, fields.kindOf(index), desc});
    }
    return order;
}

bool SortOrder::Less(const Cells& a, const Cells& b) const {
    for (const Key& k : keys_) {
        const int c = CompareCells(a.at(k.index), b.at(k.index), k.kind);
        if (c != 0) return k.descending ? c > 0 : c < 0;
    }
    return false;
}

}  // namespace db
