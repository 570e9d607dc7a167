#include "frmOptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "core/forms.h"
#include "core/globals.h"
#include "core/optionsrules.h"
#include "core/settingscatalogue.h"
#include "core/typingfocus.h"
#include "platform/ui/prompts.h"

namespace {

const char* const kColourProperty = "swatchColour";

const QString kVatRateRefused =
    QStringLiteral("The VAT rate must be a number, for example 17.5 or 17.5%.");
const QString kStartTimeRefused =
    QStringLiteral("The start time must be a time of day written as HH:MM, for example 09:00.");
const QString kFinishTimeRefused =
    QStringLiteral("The finish time must be a time of day written as HH:MM, for example 17:30.");
const QString kStoreNotWritten = QStringLiteral("The settings store could not be written.");

// The address box shows line feeds; the row keeps the CR LF breaks it has always held.
QString AddressForBox(const QString& stored) {
    QString s = stored;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}
QString AddressForRow(const QString& shown) {
    QString s = shown;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\n', QStringLiteral("\r\n"));
    return s;
}

// The logo shown while the database holds none: a sheet of paper with a rubber stamp on it.
QPixmap BuiltInLogo() {
    QPixmap pix(73, 60);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(14, 2);
    sheet.lineTo(50, 2);
    sheet.lineTo(60, 12);
    sheet.lineTo(60, 58);
    sheet.lineTo(14, 58);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(225, 225, 225));
    p.drawPolygon(QPolygonF({QPointF(50, 2), QPointF(50, 12), QPointF(60, 12)}));
    p.setPen(QPen(QColor(160, 160, 160), 1));
    for (int y = 12; y <= 30; y += 5) p.drawLine(19, y, y == 12 ? 44 : 54, y);
    const QColor ink(190, 30, 40, 220);
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(44, 44), 11, 11);
    p.setPen(QPen(ink, 1));
    p.drawEllipse(QPointF(44, 44), 7, 7);
    p.drawLine(39, 44, 49, 44);
    return pix;
}

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    tbsOptions = ui_.tbsOptions;
    picOptions = {ui_.picOptions_0, ui_.picOptions_1, ui_.picOptions_2, ui_.picOptions_3};
    Frame1 = ui_.Frame1;
    fraSample1 = ui_.fraSample1;
    Label1 = {ui_.Label1_0, ui_.Label1_1, ui_.Label1_2, ui_.Label1_3, ui_.Label1_4, ui_.Label1_5};
    BusyCal = ui_.BusyCal;
    FreeCal = ui_.FreeCal;
    ConfCal = ui_.ConfCal;
    HeadCol = ui_.HeadCol;
    TodayCol = ui_.TodayCol;
    ODCol = ui_.ODCol;
    fraSample2 = ui_.fraSample2;
    Label2 = ui_.Label2;
    MyCpyNme = ui_.MyCpyNme;
    Label5 = ui_.Label5;
    myAddress = ui_.myAddress;
    Label6 = ui_.Label6;
    myPostcode = ui_.myPostcode;
    Label9 = ui_.Label9;
    txtmyEmail = ui_.txtmyEmail;
    lblLogo = ui_.lblLogo;
    CpyLogo = ui_.CpyLogo;
    fraSample3 = ui_.fraSample3;
    Label4 = ui_.Label4;
    cboDay = ui_.cboDay;
    cboMonth = ui_.cboMonth;
    Label7 = ui_.Label7;
    txtMilage = ui_.txtMilage;
    VATReg = ui_.VATReg;
    lblVATRate = ui_.lblVATRate;
    VATRate = ui_.VATRate;
    lblVATRatePercent = ui_.lblVATRatePercent;
    Frame2 = ui_.Frame2;
    Label8 = ui_.Label8;
    OptAll = ui_.OptAll;
    OptCurrent = ui_.OptCurrent;
    ChkAdvPrint = ui_.ChkAdvPrint;
    Frame3 = ui_.Frame3;
    txt_DefPayment = ui_.txt_DefPayment;
    fraSample4 = ui_.fraSample4;
    lblStart = ui_.lblStart;
    txtStart = ui_.txtStart;
    lblFinish = ui_.lblFinish;
    txtFinish = ui_.txtFinish;
    cmdOK = ui_.cmdOK;
    cmdCancel = ui_.cmdCancel;
    cmdApply = ui_.cmdApply;

    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Design values: what a control shows when nothing stored replaces it.
    for (const Swatch& swatch : Swatches()) {
        swatch.label->setFixedSize(73, 20);
        swatch.label->setFrameShape(QFrame::Box);
        swatch.label->setCursor(Qt::PointingHandCursor);
        SetSwatchColour(swatch.label,
                        catalogue::ColourFromText(swatch.value->defaultText).value_or(0));
    }
    txtMilage->setText(catalogue::DefaultMilageShown);
    VATRate->setText(catalogue::DefaultVatRateShown);
    CpyLogo->setPixmap(BuiltInLogo());
    for (int d = 1; d <= 31; ++d) cboDay->addItem(QString::number(d));
    cboMonth->addItems(MonthNames());
    for (QComboBox* box : {cboDay, cboMonth}) {
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
    VATRate->setEnabled(false);

    connect(tbsOptions, &QTabWidget::currentChanged, this, &frmOptions::tbsOptions_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
    connect(VATReg, &QCheckBox::toggled, this, &frmOptions::VATReg_Click);
    // Every control reports its keys here first (Ctrl+Tab), and the swatches their clicks.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

    tbsOptions->setCurrentIndex(AppearanceTab - 1);
    tbsOptions_Click();
    Form_Load();
}

frmOptions::~frmOptions() { m_rsSystem.Close(); }

std::array<frmOptions::Swatch, 6> frmOptions::Swatches() const {
    using namespace catalogue;
    // Saved in this order.
    return {{{FreeCal, &FreeColour, &frmOptions::FreeCal_Click},
             {BusyCal, &BusyColour, &frmOptions::BusyCal_Click},
             {ConfCal, &ConflictColour, &frmOptions::ConfCal_Click},
             {HeadCol, &HeadingColour, &frmOptions::HeadCol_Click},
             {TodayCol, &TodayColour, &frmOptions::TodayCol_Click},
             {ODCol, &OverDueColour, &frmOptions::ODCol_Click}}};
}

std::uint32_t frmOptions::SwatchColour(const QLabel* swatch) {
    return swatch->property(kColourProperty).toUInt();
}

void frmOptions::SetSwatchColour(QLabel* swatch, std::uint32_t colour) {
    swatch->setProperty(kColourProperty, colour);
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, ui::ToQColor(colour));
    swatch->setPalette(p);
    swatch->setAutoFillBackground(true);
}

void frmOptions::Form_Load() { LoadOptions(); }

void frmOptions::LoadOptions() {
    using namespace catalogue;
    // A stored value that does not convert leaves the control as designed.
    for (const Swatch& swatch : Swatches())
        if (const auto colour = ReadColour(*swatch.value)) SetSwatchColour(swatch.label, *colour);
    if (const auto ticked = ReadCheck(AdvancedPrint)) ChkAdvPrint->setChecked(*ticked);
    txtStart->setText(ReadText(AppointmentStartTime));
    txtFinish->setText(ReadText(AppointmentFinishTime));
    OptAll->setChecked(ReadBoolean(OutstandingInvoiceDisplay).value_or(false));
    if (!OptAll->isChecked()) OptCurrent->setChecked(true);

    if (!OpenSystemRows(m_rsSystem, DbConnection())) return;
    if (const auto v = ReadSystemRow(m_rsSystem, sys::MyCompanyName)) MyCpyNme->setText(*v);
    if (const auto v = ReadSystemRow(m_rsSystem, sys::MyAddress))
        myAddress->setPlainText(AddressForBox(*v));
    if (const auto v = ReadSystemRow(m_rsSystem, sys::MyPostcode)) myPostcode->setText(*v);
    if (const auto v = ReadSystemRow(m_rsSystem, sys::MyEmail)) txtmyEmail->setText(*v);
    if (const auto v = ReadSystemRow(m_rsSystem, sys::VATRate)) {
        VATReg->setChecked(true);
        VATRate->setEnabled(true);
        // The box has its own "%" label; a rate stored with the sign would show it twice.
        QString rate = v->trimmed();
        if (rate.endsWith(u'%')) rate = rate.chopped(1).trimmed();
        VATRate->setText(rate);
    } else {
        VATRate->setEnabled(false);
    }
    const QByteArray logo = ReadSystemImage(m_rsSystem, sys::MyCompanyLogo);
    QPixmap picture;
    if (!logo.isEmpty() && picture.loadFromData(logo)) {
        if (picture.width() > CpyLogo->width() || picture.height() > CpyLogo->height())
            picture =
                picture.scaled(CpyLogo->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        CpyLogo->setPixmap(picture);
    }
    if (const auto v = ReadSystemRow(m_rsSystem, sys::FinYearDay); v && !v->isEmpty())
        cboDay->setEditText(*v);
    if (const auto v = ReadSystemRow(m_rsSystem, sys::FinYearMonth); v && !v->isEmpty()) {
        const auto month = WholeNumberFromText(*v);
        if (month && *month >= 0 && *month < cboMonth->count())
            cboMonth->setCurrentIndex(static_cast<int>(*month));
    }
    // A stored text that is no rate is shown as it is, to be put right.
    if (const auto v = ReadSystemRow(m_rsSystem, sys::Milage); v && !v->isEmpty()) {
        const auto rate = StoredMileageRate(*v);
        txtMilage->setText(rate ? MileageRateShown(*rate) : *v);
    }
    if (const auto v = ReadSystemRow(m_rsSystem, sys::PaymentTerms); v && !v->isEmpty())
        txt_DefPayment->setText(*v);
}

bool frmOptions::Refuse(QWidget* box, const QString& message) {
    for (int i = 0; i < static_cast<int>(picOptions.size()); ++i)
        if (picOptions[i]->isAncestorOf(box)) SelectTab(i + 1);
    ui::MsgBox(message, ui::vbOKOnly | ui::vbExclamation, AppTitle, this);
    box->setFocus();
    return false;
}

bool frmOptions::SaveOptions() {
    using namespace catalogue;
    // Everything is checked before anything is written, so a refusal leaves the store and
    // the table as they were.
    std::optional<double> rate;
    if (VATReg->isChecked()) {
        rate = ParseVatRate(VATRate->text());
        if (!rate) return Refuse(VATRate, kVatRateRefused);
    }
    const FinYearStartChoice yearStart =
        CheckFinYearStart(cboDay->currentText(), cboMonth->currentText());
    if (yearStart.outcome == FinYearStartChoice::Refused)
        return Refuse(MonthIndex(cboMonth->currentText()) ? cboDay : cboMonth, yearStart.message);
    const auto start = NormaliseTime(txtStart->text());
    if (!start) return Refuse(txtStart, kStartTimeRefused);
    const auto finish = NormaliseTime(txtFinish->text());
    if (!finish) return Refuse(txtFinish, kFinishTimeRefused);
    const auto milage = ParseMileageRate(txtMilage->text());
    if (!milage) return Refuse(txtMilage, kMileageRateRefused);

    // The first write that fails ends the save; what was written before it stays written.
    auto stopped = [this](const QString& what, const QString& why) {
        ui::MsgBox(QStringLiteral("Saving the options stopped at %1.\r\n%2").arg(what, why),
                   ui::vbOKOnly | ui::vbCritical, AppTitle, this);
        return false;
    };
    auto store = [&](const StoreValue& value, const QString& text) {
        return WriteText(value, text) || stopped(value.key, kStoreNotWritten);
    };
    auto row = [&](const QString& key, const QString& text) {
        return WriteSystemRow(m_rsSystem, key, text) || stopped(key, db::LastError());
    };

    for (const Swatch& swatch : Swatches())
        if (!store(*swatch.value, ColourText(SwatchColour(swatch.label)))) return false;
    if (!store(AdvancedPrint, CheckText(ChkAdvPrint->isChecked()))) return false;
    txtStart->setText(*start);
    txtFinish->setText(*finish);
    if (!store(AppointmentStartTime, *start) || !store(AppointmentFinishTime, *finish))
        return false;
    if (!store(OutstandingInvoiceDisplay, BooleanText(OptAll->isChecked()))) return false;

    if (!row(sys::MyCompanyName, MyCpyNme->text())) return false;
    OwnerCompanyName = MyCpyNme->text();
    if (!row(sys::MyAddress, AddressForRow(myAddress->toPlainText())) ||
        !row(sys::MyPostcode, myPostcode->text()) || !row(sys::MyEmail, txtmyEmail->text()))
        return false;

    if (VATReg->isChecked()) {
        VATRate->setEnabled(true);
        if (!row(sys::VATRate, VATRate->text())) return false;
        VatMultiplier = VatMultiplierFor(*rate);
    } else {
        if (!RemoveSystemRow(m_rsSystem, sys::VATRate))
            return stopped(sys::VATRate, db::LastError());
        VATRate->setEnabled(false);
        VatMultiplier = 0;
    }

    if (yearStart.outcome == FinYearStartChoice::Valid) {
        if (!row(sys::FinYearDay, QString::number(yearStart.day)) ||
            !row(sys::FinYearMonth, QString::number(yearStart.monthIndex)))
            return false;
    }
    return row(sys::Milage, MileageRateText(*milage)) &&
           row(sys::PaymentTerms, txt_DefPayment->text());
}

void frmOptions::Unload() {
    if (Forms::find<frmOptions>() == this) {
        Forms::unload<frmOptions>();
    } else {
        hide();
        deleteLater();
    }
}

void frmOptions::cmdOK_Click() {
    if (SaveOptions()) Unload();
}

void frmOptions::cmdApply_Click() { SaveOptions(); }

void frmOptions::cmdCancel_Click() { Unload(); }

void frmOptions::reject() { cmdCancel_Click(); }

void frmOptions::closeEvent(QCloseEvent* event) {
    // Closed by its title bar: nothing is saved.
    event->accept();
}

std::optional<std::uint32_t> frmOptions::PickColour(std::uint32_t current) {
    // The dialog opens at the swatch's colour; Cancel gives nothing.
    return ui::ChooseColor(current, this);
}

void frmOptions::SwatchClicked(QLabel* swatch) {
    if (const auto colour = PickColour(SwatchColour(swatch))) SetSwatchColour(swatch, *colour);
}

void frmOptions::BusyCal_Click() { SwatchClicked(BusyCal); }
void frmOptions::FreeCal_Click() { SwatchClicked(FreeCal); }
void frmOptions::ConfCal_Click() { SwatchClicked(ConfCal); }
void frmOptions::HeadCol_Click() { SwatchClicked(HeadCol); }
void frmOptions::TodayCol_Click() { SwatchClicked(TodayCol); }
void frmOptions::ODCol_Click() { SwatchClicked(ODCol); }

void frmOptions::CpyLogo_Click() {
    // The logo comes with the database; the file chosen here is not stored.
    ui::GetOpenFileName(ui::FileDialogOptions{}, this);
}

void frmOptions::VATReg_Click() { VATRate->setEnabled(VATReg->isChecked()); }

void frmOptions::VATRate_Validate(bool& Cancel) {
    Cancel = false;
    if (!VATReg->isChecked() || ParseVatRate(VATRate->text())) return;
    ui::MsgBox(kVatRateRefused, ui::vbOKOnly | ui::vbExclamation, AppTitle, this);
    Cancel = true;
}

void frmOptions::cboMonth_Validate(bool& Cancel) {
    Cancel = false;
    const QString dayText = cboDay->currentText().trimmed();
    const int d = dayText.isEmpty() ? 0 : dayText.toInt();
    const QStringList days = DaysOfMonth(cboMonth->currentText());
    // A month box that names no month leaves the day list as it is.
    if (days.isEmpty()) return;
    cboDay->clear();
    cboDay->addItems(days);
    if (d != 0) {
        cboDay->setCurrentIndex(std::min(d, static_cast<int>(days.size())) - 1);
    } else {
        cboDay->setCurrentIndex(-1);
        cboDay->setEditText(dayText);
    }
}

void frmOptions::tbsOptions_Click() {
    const int selected = tbsOptions->currentIndex();
    for (int i = 0; i < static_cast<int>(picOptions.size()); ++i)
        picOptions[i]->setEnabled(i == selected);
}

void frmOptions::SelectTab(int tab) {
    if (tbsOptions->currentIndex() == tab - 1) {
        tbsOptions_Click();
    } else {
        tbsOptions->setCurrentIndex(tab - 1);
    }
}

bool frmOptions::Form_KeyDown(int KeyCode, int Shift) {
    constexpr int kTab = 9, kShift = 1, kCtrl = 2;
    if (KeyCode != kTab || !(Shift & kCtrl)) return false;
    const int count = tbsOptions->count();
    const int i = tbsOptions->currentIndex() + 1;
    if (Shift & kShift) {
        SelectTab(i == 1 ? count : i - 1);
    } else {
        SelectTab(i == count ? 1 : i + 1);
    }
    return true;
}

void frmOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const int shown = tbsOptions->currentIndex();
    if (shown < 0 || shown >= static_cast<int>(picOptions.size())) return;
    // Its first box; a page of swatches has none.
    if (QWidget* box = FirstBox(picOptions[static_cast<size_t>(shown)])) box->setFocus(Qt::TabFocusReason);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                (key->modifiers() & Qt::ControlModifier)) {
                const int shift =
                    ((key->modifiers() & Qt::ShiftModifier) || key->key() == Qt::Key_Backtab ? 1
                                                                                             : 0) |
                    2 | (key->modifiers() & Qt::AltModifier ? 4 : 0);
                if (Form_KeyDown(9, shift)) return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            auto* widget = qobject_cast<QWidget*>(watched);
            if (mouse->button() != Qt::LeftButton || !widget ||
                !widget->rect().contains(mouse->position().toPoint()))
                break;
            for (const Swatch& swatch : Swatches())
                if (watched == swatch.label) (this->*swatch.click)();
            if (watched == CpyLogo) CpyLogo_Click();
            break;
        }
        case QEvent::FocusOut: {
            const bool isVat = watched == VATRate;
            const bool isMonth = watched == cboMonth || watched == cboMonth->lineEdit();
            if (!isVat && !isMonth) break;
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) break;
            // The buttons check everything themselves (Cancel checks nothing); leaving for
            // another window is no leaving of the box.
            QWidget* next = QApplication::focusWidget();
            if (!next || next->window() != this || next == cmdOK || next == cmdApply ||
                next == cmdCancel)
                break;
            if (isMonth && (next == cboMonth || next == cboMonth->lineEdit())) break;
            // After the focus has moved, not inside its move.
            QTimer::singleShot(0, this, [this, isVat] {
                bool cancel = false;
                if (isVat) {
                    VATRate_Validate(cancel);
                    if (cancel) VATRate->setFocus();
                } else {
                    cboMonth_Validate(cancel);
                }
            });
            break;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}
