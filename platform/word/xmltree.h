#pragma once

#include <QString>
#include <QStringList>
#include <cstring>
#include <pugixml.hpp>

// Small helpers over pugixml for the word layer. Internal to it.
namespace word::detail {

inline QString Str(const pugi::char_t* s) { return QString::fromUtf8(s); }
inline bool Is(const pugi::xml_node& n, const char* name) {
    return std::strcmp(n.name(), name) == 0;
}

// A text's lines, split at "\r\n", "\r" or "\n".
QStringList Lines(const QString& text);

// A run of `text` before `before` (or at the end of `parent` when it is null), with the
// properties of the run `format` (which may be null); line breaks in the text become breaks.
void InsertRun(pugi::xml_node parent, const pugi::xml_node& before, const QString& text,
               const pugi::xml_node& format);

// Visits every node below `root` in document order. `enter(node)` says whether to go into the
// node's children; `leave(node)` follows them (or follows at once when they are skipped). It
// climbs by the parent links instead of recursing: a file may nest elements without end, and
// the stack must not be what bounds it.
template <class Enter, class Leave>
void WalkTree(const pugi::xml_node& root, Enter enter, Leave leave) {
    pugi::xml_node n = root.first_child();
    while (n) {
        if (enter(n) && n.first_child()) {
            n = n.first_child();
            continue;
        }
        for (;;) {
            leave(n);
            if (pugi::xml_node next = n.next_sibling()) {
                n = next;
                break;
            }
            n = n.parent();
            if (n == root) return;
        }
    }
}

template <class Enter>
void WalkTree(const pugi::xml_node& root, Enter enter) {
    WalkTree(root, enter, [](const pugi::xml_node&) {});
}

}  // namespace word::detail
