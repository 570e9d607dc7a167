#include "fields.h"

#include <QRegularExpression>
#include <vector>

#include "platform/word/iffield.h"
#include "platform/word/xmltree.h"

namespace word::detail {

namespace {

// The field a MERGEFIELD instruction names ("MERGEFIELD  Name \* MERGEFORMAT", or the name in
// quotes); empty for any other instruction.
QString MergeFieldName(const QString& instruction) {
    static const QRegularExpression re(
        QString::fromLatin1(R"re(^\s*MERGEFIELD\s+(?:"([^"]+)"|([^\s\\"]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(instruction);
    if (!m.hasMatch()) return QString();
    return m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
}

bool IsIf(const QString& instruction) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*IF\s)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(instruction).hasMatch();
}

// A piece of an instruction: its own text, or a field nested in it.
struct Piece {
    QString text;
    int field = -1;
};

struct Field {
    int parent = -1;             // the field this one stands in, or none
    bool inInstruction = false;  // in the parent's instruction, not in its result
    pugi::xml_node simple;       // a w:fldSimple, or a complex field's runs:
    bool inRun = false;          // (a simple field in a text box, which stands in a run)
    int firstRun = -1;           // the run of its begin mark (an index into Scan::runs)
    int lastRun = -1;            // the run of its end mark
    bool separated = false;
    QString instruction;  // its own text, nested fields left out
    std::vector<Piece> pieces;
    QString shown;             // the result it shows now, nested fields left out
    pugi::xml_node resultRun;  // the run showing the result, for its formatting
    bool ended = false;
    bool replace = false;  // the merge replaces it by `value`
    QString value;
};

// Every field below a node, in order of its beginning, with the runs it spans. Runs are
// numbered in document order, runs nested in runs (text boxes) included.
class Scan {
  public:
    std::vector<Field> fields;
    std::vector<int> ended;  // inner fields before the fields they stand in
    std::vector<pugi::xml_node> runs;
    std::vector<int> enclosing;  // per run: the run it stands in, or -1

    explicit Scan(const pugi::xml_node& root) {
        WalkTree(
            root, [this](const pugi::xml_node& n) { return Enter(n); },
            [this](const pugi::xml_node& n) {
                if (Is(n, "w:r")) openRuns_.pop_back();
            });
    }

  private:
    bool Enter(const pugi::xml_node& n) {
        if (Is(n, "w:r")) {
            enclosing.push_back(openRuns_.empty() ? -1 : openRuns_.back());
            openRuns_.push_back(static_cast<int>(runs.size()));
            runs.push_back(n);
            return true;
        }
        if (Is(n, "w:fldSimple")) {
            const QString instruction = Str(n.attribute("w:instr").value());
            // Any other simple field is looked into: its result may hold fields.
            if (MergeFieldName(instruction).isEmpty()) return true;
            const int f = Begin();
            fields[f].simple = n;
            fields[f].inRun = !openRuns_.empty();
            fields[f].instruction = instruction;
            fields[f].resultRun = n.child("w:r");
            fields[f].ended = true;
            ended.push_back(f);
            return false;
        }
        if (openRuns_.empty()) return true;
        const int run = openRuns_.back();
        Field* top = open_.empty() ? nullptr : &fields[static_cast<size_t>(open_.back())];
        if (Is(n, "w:fldChar")) {
            const QString type = Str(n.attribute("w:fldCharType").value());
            if (type == u"begin") {
                const int f = Begin();
                fields[static_cast<size_t>(f)].firstRun = run;
                open_.push_back(f);
            } else if (type == u"separate" && top) {
                top->separated = true;
            } else if (type == u"end" && top) {
                top->lastRun = run;
                top->ended = true;
                ended.push_back(open_.back());
                open_.pop_back();
            }
            return false;
        }
        if (Is(n, "w:instrText")) {
            if (top && !top->separated) {
                const QString text = Str(n.text().get());
                top->instruction += text;
                if (top->pieces.empty() || top->pieces.back().field >= 0) top->pieces.push_back({});
                top->pieces.back().text += text;
            }
            return false;
        }
        if (top && top->separated) {
            if (Is(n, "w:t")) {
                if (!top->resultRun) top->resultRun = runs[static_cast<size_t>(run)];
                top->shown += Str(n.text().get());
                return false;
            }
            if (Is(n, "w:tab")) top->shown += u'\t';
            if (Is(n, "w:br") || Is(n, "w:cr")) top->shown += u'\n';
        }
        return true;
    }

    // A new field, standing in the innermost open one.
    int Begin() {
        const int f = static_cast<int>(fields.size());
        Field field;
        if (!open_.empty()) {
            field.parent = open_.back();
            Field& parent = fields[static_cast<size_t>(field.parent)];
            field.inInstruction = !parent.separated;
            if (field.inInstruction) parent.pieces.push_back({QString(), f});
        }
        fields.push_back(std::move(field));
        return f;
    }

    std::vector<int> open_;
    std::vector<int> openRuns_;
};

// A field mark or instruction sharing its run with anything else is given a run of its own
// (with the same formatting), so that a field's runs are its own and no other field's or
// text's: the replacement of one field then leaves its neighbours whole.
void SplitFieldRuns(const pugi::xml_node& root) {
    std::vector<pugi::xml_node> shared;
    WalkTree(root, [&](const pugi::xml_node& n) {
        if (!Is(n, "w:r")) return true;
        int content = 0;
        bool field = false;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (Is(c, "w:rPr")) continue;
            ++content;
            field = field || Is(c, "w:fldChar") || Is(c, "w:instrText");
        }
        if (field && content > 1) shared.push_back(n);
        return true;
    });
    for (const pugi::xml_node& r : shared) {
        const pugi::xml_node props = r.child("w:rPr");
        std::vector<pugi::xml_node> rest;
        bool first = true;
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (Is(c, "w:rPr")) continue;
            if (!first) rest.push_back(c);
            first = false;
        }
        pugi::xml_node after = r;
        for (const pugi::xml_node& c : rest) {
            pugi::xml_node own = r.parent().insert_child_after("w:r", after);
            if (props) own.append_copy(props);
            own.append_move(c);
            after = own;
        }
    }
}

std::vector<InstructionPiece> Resolved(const Scan& scan, const Field& f) {
    std::vector<InstructionPiece> pieces;
    for (const Piece& p : f.pieces) {
        if (p.field < 0) {
            pieces.push_back({p.text, true});
        } else {
            const Field& nested = scan.fields[static_cast<size_t>(p.field)];
            pieces.push_back({nested.replace ? nested.value : nested.shown, false});
        }
    }
    return pieces;
}

void Replace(const Scan& scan, const Field& f) {
    pugi::xml_node first = f.simple ? f.simple : scan.runs[static_cast<size_t>(f.firstRun)];
    pugi::xml_node parent = first.parent();
    if (!f.value.isEmpty()) {
        if (f.inInstruction) {
            pugi::xml_node t = parent.insert_child_before("w:r", first).append_child("w:instrText");
            t.append_attribute("xml:space") = "preserve";
            t.text().set(f.value.toUtf8().constData());
        } else {
            InsertRun(parent, first, f.value, f.resultRun ? f.resultRun : first);
        }
    }
    if (f.simple) {
        parent.remove_child(f.simple);
        return;
    }
    for (int r = f.firstRun; r <= f.lastRun; ++r) {
        // A run inside one of these goes with it.
        if (scan.enclosing[static_cast<size_t>(r)] >= f.firstRun) continue;
        const pugi::xml_node run = scan.runs[static_cast<size_t>(r)];
        run.parent().remove_child(run);
    }
}

}  // namespace

void AppendMergeFieldNames(const pugi::xml_node& root, QStringList* names) {
    const Scan scan(root);
    for (const Field& f : scan.fields) {
        const QString name = f.ended ? MergeFieldName(f.instruction) : QString();
        if (!name.isEmpty()) names->append(name);
    }
}

bool MergeRecord(pugi::xml_node root, const QMap<QString, QString>& record, qint64* budget) {
    SplitFieldRuns(root);
    Scan scan(root);
    // Inner fields first: an IF reads the values of the fields in its instruction.
    for (int i : scan.ended) {
        Field& f = scan.fields[static_cast<size_t>(i)];
        const QString name = MergeFieldName(f.instruction);
        if (!name.isEmpty()) {
            f.replace = true;
            f.value = record.value(name.toLower());
            continue;
        }
        bool holdsMerge = false;
        for (const Piece& p : f.pieces)
            holdsMerge =
                holdsMerge || (p.field >= 0 && scan.fields[static_cast<size_t>(p.field)].replace);
        // An IF of no merge field (on the page number, say) is the word processor's to show.
        if (!holdsMerge || !IsIf(f.instruction)) continue;
        if (const auto shown = EvaluateIf(Resolved(scan, f))) {
            f.replace = true;
            f.value = *shown;
        }
    }
    // A template of many fields and a record of long values would multiply into a document
    // of any size: the text put in is counted before any field is replaced.
    qint64 values = 0;
    for (const Field& f : scan.fields)
        if (f.replace) values += f.value.size();
    if (values > *budget) return false;
    *budget -= values;
    // Outer fields first: what stands in a replaced field goes with it.
    std::vector<char> gone(scan.fields.size(), 0);
    for (size_t i = 0; i < scan.fields.size(); ++i) {
        const Field& f = scan.fields[i];
        if (f.parent >= 0) {
            const auto parent = static_cast<size_t>(f.parent);
            if (gone[parent] || scan.fields[parent].replace) {
                gone[i] = 1;
                // Simple fields are no runs of the parent's, so its removal misses them, unless
                // they stand in one of its runs.
                if (f.simple && !f.inRun) f.simple.parent().remove_child(f.simple);
                continue;
            }
        }
        if (f.replace) Replace(scan, f);
    }
    return true;
}

}  // namespace word::detail
