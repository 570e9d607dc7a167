#pragma once

#include <QDialog>

#include "accounts/invoicemerge.h"
#include "platform/db/recordset.h"
#include "ui_Invoice_Print.h"

class QComboBox;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
namespace word {
class Document;
}

// Prints the invoice open in the invoice editor through the user's word-processor templates:
// the invoice becomes a one-record merge source, merged into the chosen template and shown in
// the word processor. Also keeps the list of templates (System rows "report") and makes new
// ones.
class Invoice_Print : public QDialog {
    Q_OBJECT
  public:
    explicit Invoice_Print(QWidget* parent = nullptr);
    ~Invoice_Print() override;

    db::Recordset TemplateRecordset;
    QComboBox* cboReports;
    QPushButton* bntPrint;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnNew;
    QPushButton* btnOptions;
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QRadioButton* InvSht;
    QRadioButton* InvLng;
    QRadioButton* JobLng;
    QRadioButton* JobSht;
    QProgressBar* PrintPB;

    // Where Print leaves the merged invoice of `invoiceNumber`.
    static QString MergedPath(qint64 invoiceNumber);

  public slots:
    void Form_Load();
    void Form_Unload();
    void LoadTemplateList();
    void bntPrint_Click();
    void btnEdit_Click();
    void btnDelete_Click();
    void btnNew_Click();
    void btnOptions_Click();
    // True when no data document is left in the way.
    bool ClearDataDoc();
    // Writes the data document for the editor's invoice and keeps its record for the merge;
    // false with `error` set when it cannot.
    bool BuildMergeDataSource(QString* error);
    void StepProgress(int step);

  protected:
    void done(int result) override;

  private:
    // The common start of Print and Edit: the way cleared, the chosen template open and the
    // editor's invoice its merge source. False when the command is to stop (already said why),
    // at once when it needs a word processor and the desktop has none.
    bool OpenChosenTemplate(word::Document& templ, bool needsWordProcessor);
    void SetTemplateButtons(bool enabled);
    void ShowError(const QString& text);

    Ui::Invoice_Print ui_;
    merge::Source source_;
    bool unloaded_ = false;
};
