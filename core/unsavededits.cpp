#include "unsavededits.h"

#include "platform/ui/prompts.h"

QStringList EditSnapshot::Read() const {
    QStringList texts;
    texts.reserve(parts_.size());
    for (const Part& part : parts_) texts << part();
    return texts;
}

void EditSnapshot::Mark() { marked_ = Read(); }

bool EditSnapshot::Changed() const { return Read() != marked_; }

bool SaveChangesBeforeClosing(QWidget* window, const QString& what,
                              const std::function<bool()>& save) {
    const int answer = ui::MsgBox(QStringLiteral("Save the changes to %1?").arg(what),
                                  ui::vbYesNoCancel | ui::vbQuestion, QString(), window);
    if (answer == ui::vbCancel) return false;
    return answer != ui::vbYes || save();
}
