#pragma once

#include <QDialog>
#include <QTimer>

#include "ui_frmInfo.h"

class QPlainTextEdit;
class QProgressBar;

// The window long jobs report into. A key or mouse press in it asks the running job to stop.
class frmInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* parent = nullptr);

    QPlainTextEdit* lblinfo;
    QProgressBar* PB1;
    QTimer* Timer1;
    // Set by a job that stops when asked (the invoice-number countdown) for as long as it
    // runs: closing the window then asks it to stop.
    bool JobRunning = false;

    // The log protocol: "set" replaces the text, "add" appends a line break and the line.
    void SetLog(const QString& text);
    void AddLog(const QString& line);
    QString LogText() const;

public slots:
    void Timer1_Timer();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui::frmInfo ui_;
    QString log_;  // as callers wrote it, with CR LF line breaks
};
