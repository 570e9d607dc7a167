#pragma once

// Several files that replace their old versions together or not at all: each is written to a
// temporary beside its target, and only when every one is written in full are they renamed
// over the targets; a rename that fails puts back the ones already replaced.
#include <QFile>
#include <QString>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace files {

class FileSet {
  public:
    FileSet();
    ~FileSet();  // what was not put in place is removed
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    // A temporary open for writing that will stand in for `target`; null when it cannot be
    // made, `why` then naming the file and the reason.
    QFile* Add(const QString& target, QString* why);
    // Flushes each temporary and checks it holds all that was written, then puts them all in
    // place. False, with `why` naming the file and the reason, leaves every target as it was.
    bool Commit(QString* why);

  private:
    struct Entry {
        QString target;
        std::unique_ptr<QTemporaryFile> file;
        QString backup;  // the old target's second name while the set is put in place
        bool replaced = false;
    };
    // Puts back the targets replaced so far; the old ones become theirs again.
    void Undo();
    std::vector<Entry> entries_;
};

}  // namespace files
