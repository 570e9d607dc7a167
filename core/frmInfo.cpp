#include "frmInfo.h"

#include <QCloseEvent>
#include <QScrollBar>

#include "core/globals.h"

frmInfo::frmInfo(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    lblinfo = ui_.lblinfo;
    PB1 = ui_.PB1;
    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblinfo->viewport()->installEventFilter(this);
    lblinfo->installEventFilter(this);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &frmInfo::Timer1_Timer);
    Timer1->start();
}

void frmInfo::SetLog(const QString& text) {
    log_ = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lblinfo->setPlainText(shown);
    lblinfo->verticalScrollBar()->setValue(lblinfo->verticalScrollBar()->maximum());
}

void frmInfo::AddLog(const QString& line) {
    if (log_.isEmpty()) return SetLog(QStringLiteral("\r\n") + line);
    // Appended rather than set again, so that a long job's log costs no more per line.
    log_ += QStringLiteral("\r\n") + line;
    lblinfo->appendPlainText(QString(line).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    lblinfo->verticalScrollBar()->setValue(lblinfo->verticalScrollBar()->maximum());
}

QString frmInfo::LogText() const { return log_; }

void frmInfo::Timer1_Timer() {
    const int value = PB1->value();
    if (value >= 100) {
        AddLog(QStringLiteral("Operation Complete"));
        PB1->setValue(0);
        Timer1->stop();
    } else {
        PB1->setValue(std::min(100, value + 10));
    }
}

void frmInfo::keyPressEvent(QKeyEvent*) { AbortRequested = true; }

void frmInfo::mousePressEvent(QMouseEvent*) { AbortRequested = true; }

void frmInfo::closeEvent(QCloseEvent* event) {
    // Closing the window while a job runs stops the job, as a key press does; after the job
    // the flag must stay as the job left it.
    if (JobRunning) AbortRequested = true;
    event->accept();
}

bool frmInfo::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) AbortRequested = true;
    return QDialog::eventFilter(watched, event);
}
