#pragma once

#include <QDate>
#include <QDialog>
#include <optional>

#include "ui_frmInvoiceDue.h"

class QDateEdit;
class QLabel;

// Asks for one date under the caller's question. The answer outlives the window: the
// caller reads DateAccepted, and SelectedDate only when that is true.
class frmInvoiceDue : public QDialog {
    Q_OBJECT
  public:
    explicit frmInvoiceDue(QWidget* parent = nullptr);

    static inline bool DateAccepted = false;
    static inline QDate SelectedDate;

    QLabel* lblQuestion;
    QDateEdit* DTPDue;

  public slots:
    void OKButton_Click();
    void CancelButton_Click();

  protected:
    void done(int result) override;

  private:
    Ui::frmInvoiceDue ui_;
};

// The whole protocol: question, starting date, modal over `owner`; the date when OK was pressed.
std::optional<QDate> AskInvoiceDate(QWidget* owner, const QString& question, const QDate& start);
