#include "iffield.h"

#include <QLocale>
#include <QRegularExpression>

namespace word::detail {

namespace {

struct Token {
    QString text;
    bool quoted = false;
    bool op = false;
};

bool IsOperatorChar(QChar c) { return c == u'=' || c == u'<' || c == u'>'; }

// Words, quoted texts and operators, up to the first switch (\* MERGEFORMAT and the like).
std::vector<Token> Tokens(const std::vector<InstructionPiece>& pieces) {
    enum class In { Between, Word, Quote } state = In::Between;
    std::vector<Token> tokens;
    for (const InstructionPiece& piece : pieces) {
        if (!piece.literal) {
            // A nested field's value is a word of its own even when it is empty.
            if (state == In::Between) {
                tokens.push_back({});
                state = In::Word;
            }
            tokens.back().text += piece.text;
            continue;
        }
        const QString& s = piece.text;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i];
            if (state == In::Quote) {
                if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'"' || s[i + 1] == u'\\'))
                    tokens.back().text += s[++i];
                else if (c == u'"')
                    state = In::Between;
                else
                    tokens.back().text += c;
                continue;
            }
            if (state == In::Word && !c.isSpace() && c != u'"' && !IsOperatorChar(c)) {
                tokens.back().text += c;
                continue;
            }
            state = In::Between;
            if (c.isSpace()) continue;
            if (c == u'\\') return tokens;
            if (c == u'"') {
                tokens.push_back({QString(), true, false});
                state = In::Quote;
            } else if (IsOperatorChar(c)) {
                Token op{QString(c), false, true};
                if (i + 1 < s.size() && c != u'=' &&
                    (s[i + 1] == u'=' || (c == u'<' && s[i + 1] == u'>')))
                    op.text += s[++i];
                tokens.push_back(op);
            } else {
                tokens.push_back({QString(c), false, false});
                state = In::Word;
            }
        }
    }
    return tokens;
}

// A number as the merge writes one: money keeps its currency sign and grouping.
std::optional<double> Number(const QString& text) {
    QString s;
    for (QChar c : text)
        if (c.category() != QChar::Symbol_Currency && !c.isSpace()) s += c;
    if (s.isEmpty()) return std::nullopt;
    bool ok = false;
    double value = QLocale().toDouble(s, &ok);
    if (!ok) value = QLocale::c().toDouble(s, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

bool Matches(const QString& text, const QString& pattern) {
    QString re;
    for (QChar c : pattern) {
        if (c == u'*')
            re += QStringLiteral(".*");
        else if (c == u'?')
            re += u'.';
        else
            re += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

std::optional<bool> Compare(const Token& left, const QString& op, const Token& right) {
    int order = 0;
    const auto a = Number(left.text);
    const auto b = Number(right.text);
    if (a && b) {
        order = *a < *b ? -1 : (*a > *b ? 1 : 0);
    } else if (op == u"=" || op == u"<>") {
        const bool wild = right.quoted && (right.text.contains(u'*') || right.text.contains(u'?'));
        const bool equal = wild ? Matches(left.text, right.text) : left.text == right.text;
        return op == u"=" ? equal : !equal;
    } else {
        order = QString::compare(left.text, right.text);
    }
    if (op == u"=") return order == 0;
    if (op == u"<>") return order != 0;
    if (op == u"<") return order < 0;
    if (op == u"<=") return order <= 0;
    if (op == u">") return order > 0;
    if (op == u">=") return order >= 0;
    return std::nullopt;
}

}  // namespace

std::optional<QString> EvaluateIf(const std::vector<InstructionPiece>& pieces) {
    const std::vector<Token> t = Tokens(pieces);
    if (t.size() < 4 || t[0].quoted || t[0].text.compare(u"IF", Qt::CaseInsensitive) != 0 ||
        t[1].op || !t[2].op || t[3].op)
        return std::nullopt;
    const std::optional<bool> holds = Compare(t[1], t[2].text, t[3]);
    if (!holds) return std::nullopt;
    const size_t chosen = *holds ? 4 : 5;
    return chosen < t.size() ? t[chosen].text : QString();
}

}  // namespace word::detail
