#include "icstext.h"

#include <libical/ical.h>

#include <cstring>

namespace outlook::detail {

namespace {

bool IsFold(const QByteArray& b, qsizetype at) {
    return at < b.size() && (b[at] == ' ' || b[at] == '\t');
}

// Where the content line starting at `at` ends: after its line end and all its continuations.
qsizetype LineEnd(const QByteArray& b, qsizetype at, qsizetype limit) {
    for (;;) {
        const void* nl = std::memchr(b.constData() + at, '\n', static_cast<size_t>(limit - at));
        if (!nl) return limit;
        at = static_cast<const char*>(nl) - b.constData() + 1;
        if (at >= limit || !IsFold(b, at)) return at;
    }
}

// The start of a content line, unfolded and upper case, enough to tell its name or a
// BEGIN/END line; cheap however long the line is.
QByteArray Head(const QByteArray& b, Span line) {
    return Unfold(QByteArrayView(b).sliced(line.begin, std::min<qsizetype>(line.end - line.begin,
                                                                           160)))
        .left(80)
        .trimmed()
        .toUpper();
}

QByteArray NameOf(const QByteArray& head) {
    qsizetype n = 0;
    while (n < head.size() && head[n] != ';' && head[n] != ':') ++n;
    return head.left(n);
}

// The kind of a BEGIN or END line ("BEGIN:VEVENT" gives "VEVENT"), empty for any other line.
QByteArray Marker(const QByteArray& head, const char* word) {
    const QByteArray prefix = QByteArray(word) + ':';
    return head.startsWith(prefix) ? head.mid(prefix.size()).trimmed() : QByteArray();
}

bool TopLevel(const QByteArray& kind) {
    return kind == "VEVENT" || kind == "VTODO" || kind == "VJOURNAL" || kind == "VFREEBUSY" ||
           kind == "VTIMEZONE";
}

// The colon that ends the name and parameters: the first one outside double quotes.
qsizetype ValueColon(QByteArrayView line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ':' && !quoted) return i;
    }
    return -1;
}

struct Feed {
    const char* at;
    const char* end;
};

// libical asks for at most `size` - 1 bytes, up to and including the next line feed.
char* FeedLine(char* out, size_t size, void* data) {
    Feed* feed = static_cast<Feed*>(data);
    if (feed->at >= feed->end) return nullptr;
    size_t n = std::min(size - 1, static_cast<size_t>(feed->end - feed->at));
    if (const void* nl = std::memchr(feed->at, '\n', n))
        n = static_cast<size_t>(static_cast<const char*>(nl) - feed->at) + 1;
    std::memcpy(out, feed->at, n);
    out[n] = '\0';
    feed->at += n;
    return out;
}

}  // namespace

QByteArray Unfold(QByteArrayView raw) {
    QByteArray out;
    out.reserve(raw.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype nl = raw.indexOf('\n', from);
        if (nl < 0) {
            out += raw.sliced(from);
            break;
        }
        const qsizetype lineEnd = nl > from && raw[nl - 1] == '\r' ? nl - 1 : nl;
        out += raw.sliced(from, lineEnd - from);
        if (nl + 1 < raw.size() && (raw[nl + 1] == ' ' || raw[nl + 1] == '\t')) {
            from = nl + 2;
        } else {
            break;
        }
    }
    return out;
}

QByteArray LineValue(QByteArrayView raw) {
    const QByteArray line = Unfold(raw);
    const qsizetype colon = ValueColon(line);
    return colon < 0 ? QByteArray() : line.mid(colon + 1);
}

QByteArray ParameterValue(QByteArrayView raw, QByteArrayView name) {
    const QByteArray line = Unfold(raw);
    const qsizetype colon = ValueColon(line);
    const QByteArray params = colon < 0 ? line : line.left(colon);
    bool quoted = false;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= params.size(); ++i) {
        if (i < params.size() && params[i] == '"') quoted = !quoted;
        if (i < params.size() && (params[i] != ';' || quoted)) continue;
        if (start >= 0) {
            const QByteArray param = params.mid(start, i - start);
            const qsizetype eq = param.indexOf('=');
            if (eq > 0 && QByteArrayView(param).first(eq).trimmed().compare(
                              name, Qt::CaseInsensitive) == 0) {
                QByteArray value = param.mid(eq + 1).trimmed();
                if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                    value = value.mid(1, value.size() - 2);
                return value;
            }
        }
        start = i + 1;
    }
    return {};
}

bool SplitCalendar(const QByteArray& bytes, CalendarText* out, QString* error) {
    *out = CalendarText();
    out->bytes = bytes;
    const qsizetype n = bytes.size();
    const qsizetype firstNl = bytes.indexOf('\n');
    if (firstNl > 0 && bytes[firstNl - 1] != '\r') out->newline = "\n";
    qsizetype at = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    int depth = 0;  // 1 inside a calendar, 2 inside one of its components
    bool calendar = false, ended = false;
    qsizetype zonesAt = -1;
    RawComponent current;
    while (at < n) {
        const Span line{at, LineEnd(bytes, at, n)};
        at = line.end;
        const QByteArray head = Head(bytes, line);
        if (head.isEmpty()) continue;
        const QByteArray begins = Marker(head, "BEGIN"), ends = Marker(head, "END");
        if (!calendar && begins != "VCALENDAR") {
            *error = QStringLiteral("it does not begin with BEGIN:VCALENDAR");
            return false;
        }
        if (depth >= 2 && TopLevel(begins)) {
            // Such a component never stands inside another: the one before was left open.
            current.span.end = line.begin;
            out->components << current;
            depth = 1;
        }
        if (!begins.isEmpty()) {
            if (begins == "VCALENDAR" && depth == 0) {
                calendar = true;
                depth = 1;
                zonesAt = -1;
            } else if (depth >= 1) {
                if (depth == 1) {
                    current = RawComponent();
                    current.span.begin = line.begin;
                    current.kind = begins;
                    if (zonesAt < 0) zonesAt = line.begin;
                }
                ++depth;
            }
        } else if (ends == "VCALENDAR" && depth >= 1) {
            // A component left open ends with its calendar.
            if (depth >= 2) {
                current.span.end = line.begin;
                out->components << current;
            }
            depth = 0;
            ended = true;
            out->endAt = line.begin;
            out->zonesAt = zonesAt < 0 ? line.begin : zonesAt;
        } else if (!ends.isEmpty() && depth >= 2) {
            if (--depth == 1) {
                current.span.end = line.end;
                out->components << current;
            }
        } else if (depth == 2) {
            const QByteArray name = NameOf(head);
            const QByteArrayView raw = QByteArrayView(bytes).sliced(line.begin, line.end - line.begin);
            if (current.kind == "VEVENT" && name == "UID" && current.uid.isEmpty())
                current.uid = QString::fromUtf8(LineValue(raw)).trimmed();
            else if (current.kind == "VEVENT" && name == "RECURRENCE-ID")
                current.recurrenceId = true;
            else if (current.kind == "VTIMEZONE" && name == "TZID" && current.tzid.isEmpty())
                current.tzid = QString::fromUtf8(LineValue(raw)).trimmed();
        }
    }
    if (!ended) {
        *error = QStringLiteral("it breaks off before its END:VCALENDAR line");
        return false;
    }
    return true;
}

ComponentPieces SplitComponent(const QByteArray& bytes, Span component) {
    ComponentPieces result;
    qsizetype at = component.begin;
    result.open = {at, LineEnd(bytes, at, component.end)};
    at = result.open.end;
    int depth = 0;
    qsizetype innerBegin = 0;
    QByteArray inner;
    while (at < component.end) {
        const Span line{at, LineEnd(bytes, at, component.end)};
        at = line.end;
        const QByteArray head = Head(bytes, line);
        if (depth == 0 && !Marker(head, "END").isEmpty()) {
            result.close = line;
            break;
        }
        if (!Marker(head, "BEGIN").isEmpty()) {
            if (depth++ == 0) innerBegin = line.begin;
        } else if (depth > 0 && !Marker(head, "END").isEmpty()) {
            if (--depth == 0) result.pieces << Piece{{innerBegin, line.end}, "BEGIN"};
        } else if (depth == 0 && !head.isEmpty()) {
            result.pieces << Piece{line, NameOf(head)};
        }
    }
    if (depth > 0) result.pieces << Piece{{innerBegin, at}, "BEGIN"};
    return result;
}

icalcomponent* ParseComponent(const QByteArray& text) {
    icalparser* parser = icalparser_new();
    Feed feed{text.constData(), text.constData() + text.size()};
    icalparser_set_gen_data(parser, &feed);
    icalcomponent* c = icalparser_parse(parser, FeedLine);
    icalparser_free(parser);
    return c;
}

}  // namespace outlook::detail
