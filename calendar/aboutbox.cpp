#include "aboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmAboutH::frmAboutH(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAboutH"));
    setWindowTitle(QStringLiteral("  About"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    Label1 = new QLabel(QStringLiteral("Quadrivel"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont title = Label1->font();
    title.setPointSize(title.pointSize() + 6);
    title.setBold(true);
    Label1->setFont(title);
    layout->addWidget(Label1);

    Label3 = new QLabel(QStringLiteral("Ver: 3.04"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(Label3);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    layout->addWidget(Line1);

    const QStringList details{QStringLiteral("Month calendar control"), QStringLiteral("Gyrodate"),
                              QStringLiteral("Made for Ambrelle")};
    for (const QString& text : details) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("Label2"));
        Label2.append(label);
        layout->addWidget(label);
    }

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
    connect(cmdOK, &QPushButton::clicked, this, &frmAboutH::cmdOK_Click);
}

void frmAboutH::cmdOK_Click() { accept(); }
