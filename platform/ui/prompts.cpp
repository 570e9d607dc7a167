#include "prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QRegularExpression>

namespace ui {
namespace {

QString& Title() {
    static QString title = QStringLiteral("Ambrelle");
    return title;
}

std::unique_ptr<Prompts>& Installed() {
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}

QString TitleOr(const QString& title) { return title.isEmpty() ? ApplicationTitle() : title; }

// The file chosen, or empty when cancelled.
QString RunFileDialog(const FileDialogOptions& o, QWidget* parent, QFileDialog::AcceptMode mode) {
    QFileDialog d(parent, o.title, o.initialDir);
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setAcceptMode(mode);
    d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(o.filter);
    if (!filters.isEmpty()) d.setNameFilters(filters);
    // Without CaseSensitive the patterns match *.mdb and *.MDB alike.
    d.setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    if (!o.defaultExt.isEmpty()) d.setDefaultSuffix(o.defaultExt);
    if (!o.fileName.isEmpty() && !o.fileName.contains(u'*')) d.selectFile(o.fileName);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return QString();
    return d.selectedFiles().first();
}

}  // namespace

QString ApplicationTitle() { return Title(); }
void SetApplicationTitle(const QString& title) { Title() = title; }

QStringList QtNameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(u';', u' ');
        if (!desc.contains(u'(')) desc += QStringLiteral(" (") + patterns + u')';
        else desc = desc.left(desc.indexOf(u'(')).trimmed() + QStringLiteral(" (") + patterns + u')';
        out << desc;
    }
    return out;
}

// ---- Qt ----

int QtPrompts::MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent,
                      const QString& detail) {
    QMessageBox box(parent);
    box.setWindowTitle(TitleOr(title));
    box.setText(prompt);
    if (!detail.isEmpty()) box.setDetailedText(detail);
    switch (style & 0xF0) {
        case vbCritical: box.setIcon(QMessageBox::Critical); break;
        case vbQuestion: box.setIcon(QMessageBox::Question); break;
        case vbExclamation: box.setIcon(QMessageBox::Warning); break;
        case vbInformation: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    struct B {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<B> buttons;
    switch (style & 0x0F) {
        case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
        case vbAbortRetryIgnore:
            buttons = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
            break;
        case vbYesNoCancel:
            buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
            break;
        case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
        case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
        default: buttons = {{QMessageBox::Ok, vbOK}}; break;
    }
    QMessageBox::StandardButtons all;
    for (const B& b : buttons) all |= b.button;
    box.setStandardButtons(all);
    const size_t def = (style & vbDefaultButton3) ? 2 : (style & vbDefaultButton2) ? 1 : 0;
    if (def < buttons.size()) box.setDefaultButton(buttons[def].button);
    // A box without Cancel answers its last button when closed with Escape.
    box.setEscapeButton(buttons.back().button);
    const bool wasBusy = busy_;
    if (wasBusy) QApplication::restoreOverrideCursor();
    box.exec();
    if (wasBusy) QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto clicked = box.standardButton(box.clickedButton());
    for (const B& b : buttons)
        if (b.button == clicked) return b.result;
    return buttons.back().result;
}

std::optional<QString> QtPrompts::InputBox(const QString& prompt, const QString& title, const QString& text,
                                           QWidget* parent) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(TitleOr(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    // As wide as its title with the title bar's buttons beside it: a short question would
    // otherwise leave the title cut short ("Make a ... payment").
    // The dialog sizes itself to its contents, so the width goes to its text box.
    const QFontMetrics title_(QApplication::font("QMdiSubWindowTitleBar"));
    if (auto* box = dialog.findChild<QLineEdit*>())
        box->setMinimumWidth(title_.horizontalAdvance(dialog.windowTitle()) * 5 / 4 + 120);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

QString QtPrompts::OpenFile(const FileDialogOptions& options, QWidget* parent) {
    return RunFileDialog(options, parent, QFileDialog::AcceptOpen);
}

QString QtPrompts::SaveFile(const FileDialogOptions& options, QWidget* parent) {
    return RunFileDialog(options, parent, QFileDialog::AcceptSave);
}

std::optional<std::uint32_t> QtPrompts::ChooseColor(std::uint32_t initial, QWidget* parent) {
    const QColor c = QColorDialog::getColor(ToQColor(initial), parent);
    if (!c.isValid()) return std::nullopt;
    return FromQColor(c);
}

bool QtPrompts::ShowPrinter(QPrinter* printer, QWidget* parent) {
    QPrintDialog d(printer, parent);
    return d.exec() == QDialog::Accepted;
}

void QtPrompts::SetMousePointer(int pointer) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    const bool busy = pointer == vbHourglass;
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

// ---- Scripted ----

ScriptedPrompts& ScriptedPrompts::ExpectMsgBox(const QString& contains, int answer) {
    script_.push_back({Message, contains, answer, std::nullopt, std::nullopt});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::ExpectInput(const QString& contains, std::optional<QString> answer) {
    script_.push_back({Input, contains, 0, std::move(answer), std::nullopt});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::ExpectOpenFile(const QString& answer) {
    script_.push_back({Open, QString(), 0, answer, std::nullopt});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::ExpectSaveFile(const QString& answer) {
    script_.push_back({Save, QString(), 0, answer, std::nullopt});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::ExpectColor(std::optional<std::uint32_t> answer) {
    script_.push_back({Color, QString(), 0, std::nullopt, answer});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::ExpectPrint(bool answer) {
    script_.push_back({Print, QString(), answer ? 1 : 0, std::nullopt, std::nullopt});
    return *this;
}

QStringList ScriptedPrompts::messages() const {
    QStringList out;
    for (const Shown& s : shown_)
        if (s.kind == Message) out << s.prompt;
    return out;
}

bool ScriptedPrompts::Take(Kind kind, const QString& prompt, Step* out) {
    static const char* const names[] = {"message box", "input box", "open-file dialog", "save-file dialog",
                                        "colour dialog", "print dialog"};
    QString why;
    if (script_.empty()) {
        why = QStringLiteral("unexpected %1: \"%2\"").arg(QLatin1String(names[kind]), prompt);
    } else if (script_.front().kind != kind) {
        why = QStringLiteral("expected a %1 but a %2 came: \"%3\"")
                  .arg(QLatin1String(names[script_.front().kind]), QLatin1String(names[kind]), prompt);
    } else if (!prompt.contains(script_.front().contains)) {
        why = QStringLiteral("expected a %1 saying \"%2\" but it said \"%3\"")
                  .arg(QLatin1String(names[kind]), script_.front().contains, prompt);
    }
    if (!why.isEmpty()) {
        failures_ << why;
        if (onFailure_) onFailure_(why);
        return false;
    }
    *out = script_.front();
    script_.pop_front();
    return true;
}

int ScriptedPrompts::MsgBox(const QString& prompt, int style, const QString& title, QWidget*,
                            const QString& detail) {
    shown_.push_back({Message, prompt, TitleOr(title), style, detail});
    Step s;
    if (Take(Message, prompt, &s)) return s.answer;
    // Cancel where the box has one, else its only or last button.
    switch (style & 0x0F) {
        case vbOKCancel:
        case vbYesNoCancel:
        case vbRetryCancel: return vbCancel;
        case vbYesNo: return vbNo;
        case vbAbortRetryIgnore: return vbAbort;
        default: return vbOK;
    }
}

std::optional<QString> ScriptedPrompts::InputBox(const QString& prompt, const QString& title, const QString&, QWidget*) {
    shown_.push_back({Input, prompt, TitleOr(title), 0, {}});
    Step s;
    if (!Take(Input, prompt, &s)) return std::nullopt;
    return s.text;
}

QString ScriptedPrompts::FileAnswer(Kind kind, const FileDialogOptions& options) {
    shown_.push_back({kind, options.title, options.title, 0, {}});
    lastFile_ = options;
    Step s;
    if (!Take(kind, options.title, &s)) return QString();
    return s.text.value_or(QString());
}

QString ScriptedPrompts::OpenFile(const FileDialogOptions& options, QWidget*) { return FileAnswer(Open, options); }

QString ScriptedPrompts::SaveFile(const FileDialogOptions& options, QWidget*) { return FileAnswer(Save, options); }

std::optional<std::uint32_t> ScriptedPrompts::ChooseColor(std::uint32_t initial, QWidget*) {
    shown_.push_back({Color, QString(), QString(), 0, {}});
    lastColor_ = initial;
    Step s;
    if (!Take(Color, QString(), &s)) return std::nullopt;
    return s.color;
}

bool ScriptedPrompts::ShowPrinter(QPrinter*, QWidget*) {
    shown_.push_back({Print, QString(), QString(), 0, {}});
    Step s;
    return Take(Print, QString(), &s) && s.answer != 0;
}

// ---- current ----

Prompts& Current() {
    if (!Installed()) Installed() = std::make_unique<QtPrompts>();
    return *Installed();
}

void Install(std::unique_ptr<Prompts> prompts) { Installed() = std::move(prompts); }

int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent,
           const QString& detail) {
    return Current().MsgBox(prompt, style, title, parent, detail);
}
std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& text, QWidget* parent) {
    return Current().InputBox(prompt, title, text, parent);
}
QString GetOpenFileName(const FileDialogOptions& options, QWidget* parent) { return Current().OpenFile(options, parent); }
QString GetSaveFileName(const FileDialogOptions& options, QWidget* parent) { return Current().SaveFile(options, parent); }
std::optional<std::uint32_t> ChooseColor(std::uint32_t initial, QWidget* parent) {
    return Current().ChooseColor(initial, parent);
}
bool ShowPrinter(QPrinter* printer, QWidget* parent) { return Current().ShowPrinter(printer, parent); }
void SetMousePointer(int pointer) { Current().SetMousePointer(pointer); }

}  // namespace ui
