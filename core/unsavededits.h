#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What a window shows of the row it edits, read as texts, so that a later look tells whether
// the user changed anything since the window last showed what is stored.
class EditSnapshot {
  public:
    using Part = std::function<QString()>;

    void Watch(Part part) { parts_.append(std::move(part)); }
    // The window now shows what is stored (or what it starts a new row with).
    void Mark();
    bool Changed() const;

  private:
    QStringList Read() const;

    QList<Part> parts_;
    QStringList marked_;
};

// Closing a window that holds edits not stored yet asks "Save the changes to <what>?": Yes
// runs `save` (which says itself why it failed, and the window then stays), No drops the
// edits, Cancel keeps the window open. True when the window may close.
bool SaveChangesBeforeClosing(QWidget* window, const QString& what,
                              const std::function<bool()>& save);
