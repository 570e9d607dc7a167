#include "jetsql.h"

#include <vector>

#include "value.h"

namespace db {
namespace {

struct Tok {
    enum Type { Ident, Bracket, String, Number, Date, Op, LParen, RParen, Comma, Other, Raw };
    Type type;
    QString text;
    bool spaceBefore = false;
};

bool IsIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool IsIdentPart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

bool Tokenize(const QString& s, std::vector<Tok>& out, QString& error) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    bool space = false;
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            space = true;
            ++i;
            continue;
        }
        Tok t{Tok::Other, QString(), space};
        space = false;
        const qsizetype start = i;
        if (IsIdentStart(c)) {
            while (i < n && IsIdentPart(s[i])) ++i;
            t.type = Tok::Ident;
        } else if (c.isDigit()) {
            while (i < n && (s[i].isDigit() || s[i] == u'.')) ++i;
            if (i < n && (s[i] == u'e' || s[i] == u'E') && i + 1 < n &&
                (s[i + 1].isDigit() || s[i + 1] == u'-' || s[i + 1] == u'+')) {
                i += 2;
                while (i < n && s[i].isDigit()) ++i;
            }
            t.type = Tok::Number;
        } else if (c == u'[') {
            const qsizetype e = s.indexOf(u']', i + 1);
            if (e < 0) {
                error = QStringLiteral("Missing ] in the query");
                return false;
            }
            i = e + 1;
            t.type = Tok::Bracket;
        } else if (c == u'\'' || c == u'"') {
            ++i;
            for (;;) {
                if (i >= n) {
                    error = QStringLiteral("Unterminated text in the query");
                    return false;
                }
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            t.type = Tok::String;
        } else if (c == u'#') {
            const qsizetype e = s.indexOf(u'#', i + 1);
            if (e < 0) {
                error = QStringLiteral("Syntax error in date in query expression");
                return false;
            }
            const auto dt = ParseDateLiteral(QStringView(s).mid(i + 1, e - i - 1));
            if (!dt) {
                error = QStringLiteral("Syntax error in date in query expression '%1'")
                            .arg(s.mid(i, e - i + 1));
                return false;
            }
            i = e + 1;
            out.push_back({Tok::Date, SqlQuote(CanonicalDateText(*dt)), t.spaceBefore});
            continue;
        } else if (c == u'(') {
            ++i;
            t.type = Tok::LParen;
        } else if (c == u')') {
            ++i;
            t.type = Tok::RParen;
        } else if (c == u',') {
            ++i;
            t.type = Tok::Comma;
        } else {
            static const QString two[] = {QStringLiteral("<="), QStringLiteral(">="),
                                          QStringLiteral("<>"), QStringLiteral("!="),
                                          QStringLiteral("||"), QStringLiteral("==")};
            bool matched = false;
            for (const QString& op : two) {
                if (QStringView(s).mid(i, 2) == op) {
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) ++i;
            t.type = Tok::Op;
        }
        t.text = s.mid(start, i - start);
        out.push_back(std::move(t));
    }
    return true;
}

bool IsWord(const Tok& t, const char* word) {
    return t.type == Tok::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsArith(const Tok& t) {
    if (t.type == Tok::Op)
        return t.text == u"+" || t.text == u"-" || t.text == u"*" || t.text == u"/" ||
               t.text == u"\\" || t.text == u"^" || t.text == u"%";
    return IsWord(t, "mod");
}

bool IsUnit(const Tok& t) {
    switch (t.type) {
        case Tok::Ident: {
            static const char* const keywords[] = {"select", "from", "where", "and", "or", "not",
                                                   "as", "on", "is", "null", "between", "like",
                                                   "in", "group", "order", "by", "having",
                                                   "join", "inner", "left", "right", "outer",
                                                   "case", "when", "then", "else", "end", "mod"};
            for (const char* k : keywords)
                if (IsWord(t, k)) return k == std::string_view("null");
            return true;
        }
        case Tok::Bracket:
        case Tok::String:
        case Tok::Number:
        case Tok::Date:
        case Tok::Raw:
            return true;
        default:
            return false;
    }
}

QString Join(const std::vector<Tok>& v, size_t b, size_t e) {
    QString out;
    for (size_t i = b; i < e; ++i) {
        if (i > b && v[i].spaceBefore) out += u' ';
        out += v[i].text;
    }
    return out;
}

// Start of the operand that ends just before `end` (exclusive), walking left.
size_t OperandStart(const std::vector<Tok>& v, size_t end) {
    size_t i = end;
    for (;;) {
        if (i == 0 || !IsUnit(v[i - 1])) return i;
        --i;
        // qualified name a.b.c and function call f(...)
        while (i >= 2 && v[i - 1].text == u"." && IsUnit(v[i - 2]))
            i -= 2;
        if (v[i].type == Tok::Raw && v[i].text.startsWith(u'(') && i >= 1 &&
            v[i - 1].type == Tok::Ident && IsUnit(v[i - 1]))
            --i;
        if (i >= 1 && IsArith(v[i - 1]) && i >= 2 && IsUnit(v[i - 2])) {
            --i;
            continue;
        }
        return i;
    }
}

// End (exclusive) of the operand that starts at `begin`, walking right.
size_t OperandEnd(const std::vector<Tok>& v, size_t begin) {
    size_t i = begin;
    if (i < v.size() && v[i].type == Tok::Op && (v[i].text == u"-" || v[i].text == u"+")) ++i;
    for (;;) {
        if (i >= v.size() || !IsUnit(v[i])) return i;
        if (v[i].type == Tok::Ident && i + 1 < v.size() && v[i + 1].type == Tok::Raw &&
            v[i + 1].text.startsWith(u'('))
            ++i;
        ++i;
        while (i + 1 < v.size() && v[i].text == u"." && IsUnit(v[i + 1]))
            i += 2;
        if (i + 1 < v.size() && IsArith(v[i]) && IsUnit(v[i + 1])) {
            ++i;
            continue;
        }
        return i;
    }
}

bool IsConcat(const Tok& t) { return t.type == Tok::Op && t.text == u"&"; }

// Rewrites `&` chains of one nesting level; parenthesised groups are already Raw tokens.
void RewriteConcat(std::vector<Tok>& v) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (!IsConcat(v[i])) continue;
        const size_t ls = OperandStart(v, i);
        std::vector<QString> operands;
        operands.push_back(Join(v, ls, i));
        size_t j = i;
        while (j < v.size() && IsConcat(v[j])) {
            const size_t re = OperandEnd(v, j + 1);
            operands.push_back(Join(v, j + 1, re));
            j = re;
        }
        QString raw = QStringLiteral("((");
        for (size_t k = 0; k < operands.size(); ++k) {
            if (k) raw += QStringLiteral(" || ");
            raw += QStringLiteral("jet_text(") + (operands[k].isEmpty() ? QStringLiteral("NULL") : operands[k]) + u')';
        }
        // Jet compares the joined text without case, as it does the columns.
        raw += QStringLiteral(") COLLATE NOCASE)");
        const bool sp = ls < v.size() ? v[ls].spaceBefore : false;
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(ls), v.begin() + static_cast<std::ptrdiff_t>(j));
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(ls), Tok{Tok::Raw, raw, sp});
        i = ls;
    }
}

// Collapses every parenthesised group into a Raw token, innermost first, rewriting `&`
// inside each level.
bool CollapseGroups(std::vector<Tok>& v, QString& error) {
    std::vector<size_t> open;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i].type == Tok::LParen) {
            open.push_back(i);
        } else if (v[i].type == Tok::RParen) {
            if (open.empty()) {
                error = QStringLiteral("Extra ) in query expression");
                return false;
            }
            const size_t b = open.back();
            open.pop_back();
            std::vector<Tok> inner(v.begin() + static_cast<std::ptrdiff_t>(b + 1),
                                   v.begin() + static_cast<std::ptrdiff_t>(i));
            RewriteConcat(inner);
            QString text = QStringLiteral("(") + Join(inner, 0, inner.size()) + u')';
            const bool sp = v[b].spaceBefore;
            v.erase(v.begin() + static_cast<std::ptrdiff_t>(b), v.begin() + static_cast<std::ptrdiff_t>(i + 1));
            v.insert(v.begin() + static_cast<std::ptrdiff_t>(b), Tok{Tok::Raw, text, sp});
            i = b;
        }
    }
    if (!open.empty()) {
        error = QStringLiteral("Missing ) in query expression");
        return false;
    }
    RewriteConcat(v);
    return true;
}

// SQLite cannot see an alias of the SELECT list from a later item of the same list.
void InlineReusedAliases(std::vector<Tok>& v, const QSet<QString>& columns) {
    size_t i = 0;
    while (i < v.size() && !IsWord(v[i], "select")) ++i;
    if (i == v.size()) return;
    ++i;
    int depth = 0;
    size_t itemStart = i;
    struct Alias {
        QString name;
        std::vector<Tok> expr;
    };
    std::vector<Alias> aliases;
    for (; i <= v.size(); ++i) {
        const bool atEnd = i == v.size() || (depth == 0 && IsWord(v[i], "from"));
        if (i < v.size()) {
            if (v[i].type == Tok::LParen) ++depth;
            if (v[i].type == Tok::RParen) --depth;
        }
        if (atEnd || (depth == 0 && i < v.size() && v[i].type == Tok::Comma)) {
            // Replace earlier aliases used inside this item.
            for (size_t k = itemStart; k < i; ++k) {
                const Tok& t = v[k];
                if (t.type != Tok::Ident || (k > 0 && v[k - 1].text == u".")) continue;
                if (k + 1 < v.size() && v[k + 1].type == Tok::LParen) continue;
                if (k > itemStart && IsWord(v[k - 1], "as")) continue;
                const QString lower = t.text.toLower();
                if (columns.contains(lower)) continue;
                for (const Alias& a : aliases) {
                    if (a.name != lower) continue;
                    std::vector<Tok> repl;
                    repl.push_back(Tok{Tok::LParen, QStringLiteral("("), t.spaceBefore});
                    repl.insert(repl.end(), a.expr.begin(), a.expr.end());
                    if (!repl.empty() && repl.size() > 1) repl[1].spaceBefore = false;
                    repl.push_back(Tok{Tok::RParen, QStringLiteral(")"), false});
                    v.erase(v.begin() + static_cast<std::ptrdiff_t>(k));
                    v.insert(v.begin() + static_cast<std::ptrdiff_t>(k), repl.begin(), repl.end());
                    i += repl.size() - 1;
                    k += repl.size() - 1;
                    break;
                }
            }
            // Record this item's alias.
            if (i >= itemStart + 3 && IsWord(v[i - 2], "as")) {
                QString name = v[i - 1].text;
                if (v[i - 1].type == Tok::Bracket || v[i - 1].type == Tok::String)
                    name = name.mid(1, name.size() - 2);
                aliases.push_back({name.toLower(),
                                   std::vector<Tok>(v.begin() + static_cast<std::ptrdiff_t>(itemStart),
                                                    v.begin() + static_cast<std::ptrdiff_t>(i - 2))});
            }
            if (atEnd) return;
            itemStart = i + 1;
        }
    }
}

// ---- outer joins --------------------------------------------------------------------
// SQLite 3.40 plans a RIGHT JOIN as a scan of its left side against the whole of its right
// side, indexes unused; the same rows come from a LEFT JOIN with the sides exchanged, which
// it plans from the preserved side outwards.

bool IsClauseEnd(const Tok& t) {
    for (const char* w : {"where", "group", "order", "having", "union", "limit", "intersect", "except"})
        if (IsWord(t, w)) return true;
    return t.type == Tok::RParen || (t.type == Tok::Op && t.text == u";");
}

size_t Matching(const std::vector<Tok>& v, size_t open) {
    int depth = 0;
    for (size_t i = open; i < v.size(); ++i) {
        if (v[i].type == Tok::LParen) ++depth;
        else if (v[i].type == Tok::RParen && --depth == 0) return i;
    }
    return v.size();
}

struct JoinNode {
    std::vector<Tok> primary;  // a table or subquery with its alias, when not a join
    QString qualifier;         // what names the primary's columns: its alias, or the table
    std::unique_ptr<JoinNode> left, right;
    std::vector<Tok> kind;  // INNER JOIN, LEFT OUTER JOIN, ...
    std::vector<Tok> on;    // the condition after ON
    bool hasRight = false;  // a RIGHT JOIN here or below
};

// A join keyword (not the functions Left( and Right().
bool StartsJoin(const std::vector<Tok>& v, size_t i) {
    if (i >= v.size() || (i + 1 < v.size() && v[i + 1].type == Tok::LParen) ||
        (i > 0 && v[i - 1].text == u"."))
        return false;
    for (const char* w : {"join", "inner", "left", "right", "full", "cross", "outer"})
        if (IsWord(v[i], w)) return true;
    return false;
}

class JoinParser {
public:
    JoinParser(const std::vector<Tok>& v) : v_(v) {}
    // The join expression from `i`, up to the end of its clause; null where it is of a shape
    // left as written (a comma list, NATURAL or USING joins).
    std::unique_ptr<JoinNode> Expression(size_t& i, size_t end) {
        auto left = Primary(i, end);
        while (left && i < end && StartsJoin(v_, i)) {
            auto node = std::make_unique<JoinNode>();
            while (i < end && !IsWord(v_[i], "join")) node->kind.push_back(v_[i++]);
            if (i == end) return nullptr;
            node->kind.push_back(v_[i++]);
            node->right = Primary(i, end);
            if (!node->right || i >= end || !IsWord(v_[i], "on")) return nullptr;
            ++i;
            while (i < end && !StartsJoin(v_, i) && !IsClauseEnd(v_[i]) && v_[i].type != Tok::Comma) {
                if (v_[i].type == Tok::LParen) {
                    const size_t close = Matching(v_, i);
                    node->on.insert(node->on.end(), v_.begin() + static_cast<std::ptrdiff_t>(i),
                                    v_.begin() + static_cast<std::ptrdiff_t>(std::min(close + 1, end)));
                    i = close + 1;
                } else {
                    node->on.push_back(v_[i++]);
                }
            }
            if (node->on.empty()) return nullptr;
            node->hasRight = IsWord(node->kind.front(), "right") || left->hasRight || node->right->hasRight;
            node->left = std::move(left);
            left = std::move(node);
        }
        return left;
    }

private:
    std::unique_ptr<JoinNode> Primary(size_t& i, size_t end) {
        if (i >= end) return nullptr;
        auto node = std::make_unique<JoinNode>();
        if (v_[i].type == Tok::LParen) {
            const size_t close = Matching(v_, i);
            if (close >= end) return nullptr;
            if (i + 1 < close && !IsWord(v_[i + 1], "select")) {
                // A parenthesised join: its own tree.
                size_t inner = i + 1;
                auto nested = Expression(inner, close);
                if (!nested || inner != close) return nullptr;
                i = close + 1;
                return nested;
            }
            node->primary.assign(v_.begin() + static_cast<std::ptrdiff_t>(i),
                                 v_.begin() + static_cast<std::ptrdiff_t>(close + 1));
            i = close + 1;
        } else if (v_[i].type == Tok::Ident || v_[i].type == Tok::Bracket) {
            node->primary.push_back(v_[i]);
            node->qualifier = v_[i].text;
            ++i;
            while (i + 1 < end && v_[i].text == u"." && v_[i + 1].type != Tok::Op) {
                node->primary.push_back(v_[i++]);
                node->primary.push_back(v_[i]);
                node->qualifier = v_[i++].text;
            }
        } else {
            return nullptr;
        }
        // The alias, with or without AS.
        if (i < end && IsWord(v_[i], "as")) node->primary.push_back(v_[i++]);
        if (i < end && (v_[i].type == Tok::Bracket || v_[i].type == Tok::String ||
                        (v_[i].type == Tok::Ident && !StartsJoin(v_, i) && !IsWord(v_[i], "on") &&
                         !IsClauseEnd(v_[i])))) {
            node->primary.push_back(v_[i]);
            node->qualifier = v_[i].type == Tok::String ? u'[' + v_[i].text.mid(1, v_[i].text.size() - 2) + u']'
                                                        : v_[i].text;
            ++i;
        }
        return node;
    }

    const std::vector<Tok>& v_;
};

Tok Word(const char* text) { return Tok{Tok::Ident, QString::fromLatin1(text), true}; }

void Append(std::vector<Tok>& out, const std::vector<Tok>& piece) {
    const size_t at = out.size();
    out.insert(out.end(), piece.begin(), piece.end());
    if (at < out.size()) out[at].spaceBefore = true;
}

// The tables and subqueries in the order the join was written, as SELECT * lists them.
void Qualifiers(const JoinNode& n, QStringList& out) {
    if (!n.left) {
        out << n.qualifier;
        return;
    }
    Qualifiers(*n.left, out);
    Qualifiers(*n.right, out);
}

// The join with every RIGHT JOIN turned into a LEFT JOIN of the sides exchanged. The left
// operand of a join needs no parentheses: joins group from the left.
void EmitJoin(const JoinNode& n, std::vector<Tok>& out) {
    if (!n.left) return Append(out, n.primary);
    const bool swap = IsWord(n.kind.front(), "right");
    const JoinNode& first = swap ? *n.right : *n.left;
    const JoinNode& second = swap ? *n.left : *n.right;
    EmitJoin(first, out);
    if (swap) {
        out.push_back(Word("LEFT"));
        for (size_t k = 1; k < n.kind.size(); ++k) out.push_back(Tok{n.kind[k].type, n.kind[k].text, true});
    } else {
        Append(out, n.kind);
    }
    if (second.left) {
        out.push_back(Tok{Tok::LParen, QStringLiteral("("), true});
        EmitJoin(second, out);
        out.push_back(Tok{Tok::RParen, QStringLiteral(")"), false});
    } else {
        Append(out, second.primary);
    }
    out.push_back(Word("ON"));
    Append(out, n.on);
}

// The SELECT whose FROM is at `from`: the start of its list, or npos.
size_t SelectListStart(const std::vector<Tok>& v, size_t from) {
    int depth = 0;
    for (size_t i = from; i-- > 0;) {
        if (v[i].type == Tok::RParen) ++depth;
        else if (v[i].type == Tok::LParen && --depth < 0) return std::string::npos;
        else if (depth == 0 && IsWord(v[i], "select")) {
            size_t start = i + 1;
            while (start < from && (IsWord(v[start], "distinct") || IsWord(v[start], "all"))) ++start;
            return start;
        }
    }
    return std::string::npos;
}

void RewriteRightJoins(std::vector<Tok>& v) {
    // From the last FROM back, so that a subquery is done before the statement holding it.
    for (size_t f = v.size(); f-- > 0;) {
        if (!IsWord(v[f], "from")) continue;
        size_t i = f + 1;
        JoinParser parser(v);
        size_t end = i;
        int depth = 0;
        for (; end < v.size(); ++end) {
            if (v[end].type == Tok::LParen) ++depth;
            else if (v[end].type == Tok::RParen) {
                if (depth-- == 0) break;
            } else if (depth == 0 && IsClauseEnd(v[end])) break;
        }
        const auto tree = parser.Expression(i, end);
        if (!tree || !tree->hasRight || i != end) continue;
        // SELECT * lists the columns in the order the tables were written.
        const size_t list = SelectListStart(v, f);
        std::vector<std::pair<size_t, size_t>> stars;  // items that are a bare *
        if (list != std::string::npos) {
            size_t item = list;
            int d = 0;
            for (size_t k = list; k <= f; ++k) {
                if (k < f && v[k].type == Tok::LParen) ++d;
                else if (k < f && v[k].type == Tok::RParen) --d;
                else if (k == f || (d == 0 && v[k].type == Tok::Comma)) {
                    if (k == item + 1 && v[item].type == Tok::Op && v[item].text == u"*") stars.emplace_back(item, k);
                    item = k + 1;
                }
            }
        }
        QStringList qualifiers;
        Qualifiers(*tree, qualifiers);
        if (!stars.empty() && qualifiers.contains(QString())) continue;  // a subquery without a name
        std::vector<Tok> join;
        EmitJoin(*tree, join);
        join.front().spaceBefore = v[f + 1].spaceBefore;
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(f + 1), v.begin() + static_cast<std::ptrdiff_t>(end));
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(f + 1), join.begin(), join.end());
        for (auto s = stars.rbegin(); s != stars.rend(); ++s) {
            std::vector<Tok> all;
            for (const QString& q : qualifiers) {
                if (!all.empty()) all.push_back(Tok{Tok::Comma, QStringLiteral(","), false});
                all.push_back(Tok{Tok::Ident, q + QStringLiteral(".*"), true});
            }
            all.front().spaceBefore = v[s->first].spaceBefore;
            v.erase(v.begin() + static_cast<std::ptrdiff_t>(s->first));
            v.insert(v.begin() + static_cast<std::ptrdiff_t>(s->first), all.begin(), all.end());
        }
    }
}

}  // namespace

JetTranslation TranslateJetSql(const QString& jet, const QSet<QString>& columns, OuterJoins joins) {
    JetTranslation result;
    std::vector<Tok> v;
    if (!Tokenize(jet, v, result.error)) return result;

    // Jet writes Yes/No constants as words.
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i].type != Tok::Ident || (i > 0 && v[i - 1].text == u".")) continue;
        if (IsWord(v[i], "true")) v[i] = Tok{Tok::Number, QStringLiteral("1"), v[i].spaceBefore};
        else if (IsWord(v[i], "false")) v[i] = Tok{Tok::Number, QStringLiteral("0"), v[i].spaceBefore};
    }

    // DELETE Billing.InvoiceNumber FROM Billing ... names columns SQLite does not expect.
    if (!v.empty() && IsWord(v[0], "delete") && v.size() > 1 && !IsWord(v[1], "from")) {
        size_t f = 1;
        while (f < v.size() && !IsWord(v[f], "from")) ++f;
        if (f < v.size()) v.erase(v.begin() + 1, v.begin() + static_cast<std::ptrdiff_t>(f));
    }

    InlineReusedAliases(v, columns);
    if (joins == OuterJoins::AsLeft) RewriteRightJoins(v);
    if (!CollapseGroups(v, result.error)) return result;
    result.sql = Join(v, 0, v.size());
    return result;
}

}  // namespace db
