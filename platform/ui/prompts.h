#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/olecolor.h"

class QWidget;
class QPrinter;

namespace ui {

// Buttons and icons of a message box, as the windows combine them.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};
// The button pressed.
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };
enum MousePointer { vbDefault = 0, vbHourglass = 11 };

// The title every message box without one of its own carries.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

struct FileDialogOptions {
    QString title;
    // "Description (*.ext) | *.ext | ..." pairs; patterns match without regard to case.
    QString filter;
    QString fileName;    // initial file name (or pattern) shown
    QString initialDir;
    QString defaultExt;
};

// Every question the program asks goes through one of these, so tests can answer them.
class Prompts {
public:
    virtual ~Prompts() = default;
    // `detail`, when given, is shown on demand below the prompt (why something failed).
    virtual int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent,
                       const QString& detail = QString()) = 0;
    // nullopt when cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& text,
                                            QWidget* parent) = 0;
    virtual QString OpenFile(const FileDialogOptions& options, QWidget* parent) = 0;
    virtual QString SaveFile(const FileDialogOptions& options, QWidget* parent) = 0;
    // Colours are &H00BBGGRR; nullopt when cancelled.
    virtual std::optional<std::uint32_t> ChooseColor(std::uint32_t initial, QWidget* parent) = 0;
    virtual bool ShowPrinter(QPrinter* printer, QWidget* parent) = 0;
    virtual void SetMousePointer(int pointer) = 0;
};

// Real dialogs.
class QtPrompts : public Prompts {
public:
    int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent,
               const QString& detail = QString()) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& text,
                                    QWidget* parent) override;
    QString OpenFile(const FileDialogOptions& options, QWidget* parent) override;
    QString SaveFile(const FileDialogOptions& options, QWidget* parent) override;
    std::optional<std::uint32_t> ChooseColor(std::uint32_t initial, QWidget* parent) override;
    bool ShowPrinter(QPrinter* printer, QWidget* parent) override;
    void SetMousePointer(int pointer) override;

private:
    bool busy_ = false;
};

// Answers from a script, in order, for tests. A prompt nobody expected is reported to the
// failure handler and answered with Cancel.
class ScriptedPrompts : public Prompts {
public:
    enum Kind { Message, Input, Open, Save, Color, Print };
    struct Shown {
        Kind kind;
        QString prompt;  // the message, the input question or the dialog title
        QString title;
        int style = 0;
        QString detail;  // a message box's detailed text
    };

    // `contains` must occur in the prompt (empty matches anything).
    ScriptedPrompts& ExpectMsgBox(const QString& contains, int answer = vbOK);
    ScriptedPrompts& ExpectInput(const QString& contains, std::optional<QString> answer);
    ScriptedPrompts& ExpectOpenFile(const QString& answer);  // empty = cancelled
    ScriptedPrompts& ExpectSaveFile(const QString& answer);
    ScriptedPrompts& ExpectColor(std::optional<std::uint32_t> answer);
    ScriptedPrompts& ExpectPrint(bool answer);

    const std::vector<Shown>& shown() const { return shown_; }
    QStringList messages() const;  // texts of the message boxes shown
    int pending() const { return static_cast<int>(script_.size()); }
    int pointer() const { return pointer_; }
    QStringList failures() const { return failures_; }
    void SetFailureHandler(std::function<void(const QString&)> handler) { onFailure_ = std::move(handler); }
    // Called by a test's checks to fill in the file dialogs' options as seen.
    const FileDialogOptions& lastFileOptions() const { return lastFile_; }
    std::uint32_t lastColorInitial() const { return lastColor_; }

    int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent,
               const QString& detail = QString()) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& text,
                                    QWidget* parent) override;
    QString OpenFile(const FileDialogOptions& options, QWidget* parent) override;
    QString SaveFile(const FileDialogOptions& options, QWidget* parent) override;
    std::optional<std::uint32_t> ChooseColor(std::uint32_t initial, QWidget* parent) override;
    bool ShowPrinter(QPrinter* printer, QWidget* parent) override;
    void SetMousePointer(int pointer) override { pointer_ = pointer; }

private:
    struct Step {
        Kind kind = Message;
        QString contains;
        int answer = 0;
        std::optional<QString> text;
        std::optional<std::uint32_t> color;
    };
    bool Take(Kind kind, const QString& prompt, Step* out);
    QString FileAnswer(Kind kind, const FileDialogOptions& options);

    std::deque<Step> script_;
    std::vector<Shown> shown_;
    QStringList failures_;
    std::function<void(const QString&)> onFailure_;
    FileDialogOptions lastFile_;
    std::uint32_t lastColor_ = 0;
    int pointer_ = vbDefault;
};

// The prompts in use; QtPrompts unless a test installed others.
Prompts& Current();
void Install(std::unique_ptr<Prompts> prompts);

// Shorthands the windows call.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString(),
           QWidget* parent = nullptr, const QString& detail = QString());
std::optional<QString> InputBox(const QString& prompt, const QString& title = QString(),
                                const QString& text = QString(), QWidget* parent = nullptr);
QString GetOpenFileName(const FileDialogOptions& options, QWidget* parent = nullptr);
QString GetSaveFileName(const FileDialogOptions& options, QWidget* parent = nullptr);
std::optional<std::uint32_t> ChooseColor(std::uint32_t initial, QWidget* parent = nullptr);
bool ShowPrinter(QPrinter* printer, QWidget* parent = nullptr);
void SetMousePointer(int pointer);

// "Desc (*.MDB) | *.MDB" as Qt name filters.
QStringList QtNameFilters(const QString& filter);

}  // namespace ui
