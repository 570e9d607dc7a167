#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace word {

namespace detail {
struct Package;
}

// A merge holds a template's text parsed, and once more merged: bounds on what it takes so that
// no file, however made, can take more than a few hundred megabytes. An invoice template holds
// a few thousand elements in well under a megabyte.
constexpr qint64 kMaxTemplateText = qint64(16) * 1024 * 1024;  // the merged parts' text together
constexpr qint64 kMaxTemplateMarkup = 500000;                  // their elements and attributes
constexpr qint64 kMaxMergedValues = qint64(16) * 1024 * 1024;  // the record's text put into them

// A word-processor document (.docx: WordprocessingML parts in a zip) held in memory. Typing
// happens at the end of the document, where a new document's selection stands. Calls report
// failure by their result and leave the reason in LastError().
class Document {
  public:
    // A new blank document of one empty paragraph, as the word processor's "new" gives.
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Replaces this document by the file's; on failure it stays as it was. A file whose parts
    // unpack beyond sane sizes is refused before it is unpacked, one whose text is beyond the
    // bounds above before it is parsed.
    bool Open(const QString& path);
    // Writes the whole file at once (an interrupted write leaves the old file); the document
    // then carries that name.
    bool SaveAs(const QString& path);
    QString FullName() const;
    QString LastError() const;

    // Types at the end: a line break ("\r\n", "\r" or "\n") starts a new paragraph.
    void TypeText(const QString& text);
    void TypeParagraph(int count = 1);
    // A merge field, shown as «Name» until merged.
    void InsertMergeField(const QString& name);
    // A table of the given rows at the end; a line break in a cell's text starts a paragraph.
    void AddTable(const QList<QStringList>& rows);

    // The text of each paragraph of the body outside tables, fields showing their results and
    // line breaks as "\n".
    QStringList Paragraphs() const;
    int TableCount() const;
    // 1-based, as the word processor counts; a cell's paragraphs joined by "\n".
    QString CellText(int table, int row, int column) const;

    // The merge fields the document names, each once, in order of first use (the body, then
    // its headers, footers and notes); both the simple form and the complex form, whose
    // instruction may be split over several runs.
    QStringList MergeFields() const;
    // The document merged with one record, in the body, headers, footers and notes: each merge
    // field replaced by the record's value for its name (names compare without case; a name
    // the record lacks gives nothing), line breaks in a value kept, and each IF field that
    // holds a merge field by the text it chooses. The result has no name until it is saved; one
    // that would put more of the record's text into the document than kMaxMergedValues is left
    // unmerged and refuses to be saved, saying why.
    Document Merge(const QMap<QString, QString>& record) const;

  private:
    std::unique_ptr<detail::Package> p_;
};

}  // namespace word
