#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>

#include "platform/db/recordset.h"
#include "ui_frmOptions.h"

namespace catalogue {
struct StoreValue;
}

// The Options dialog: calendar and overdue colours, the owner's details, VAT and the financial
// year, invoice display and printing, default payment terms and appointment times.
class frmOptions : public QDialog {
    Q_OBJECT
  public:
    // Tabs of tbsOptions, 1-based as the tab strip numbers them.
    enum Tab { AppearanceTab = 1, DetailsTab = 2, FinancialTab = 3, DefaultsTab = 4 };

    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    QTabWidget* tbsOptions;
    std::array<QWidget*, 4> picOptions;  // page index = tab index - 1

    QGroupBox* Frame1;
    QGroupBox* fraSample1;
    std::array<QLabel*, 6> Label1;  // captions of the swatches
    QLabel* BusyCal;
    QLabel* FreeCal;
    QLabel* ConfCal;
    QLabel* HeadCol;
    QLabel* TodayCol;
    QLabel* ODCol;

    QGroupBox* fraSample2;
    QLabel* Label2;
    QLineEdit* MyCpyNme;
    QLabel* Label5;
    QPlainTextEdit* myAddress;
    QLabel* Label6;
    QLineEdit* myPostcode;
    QLabel* Label9;
    QLineEdit* txtmyEmail;
    QLabel* lblLogo;
    QLabel* CpyLogo;

    QGroupBox* fraSample3;
    QLabel* Label4;
    QComboBox* cboDay;
    QComboBox* cboMonth;
    QLabel* Label7;
    QLineEdit* txtMilage;
    QCheckBox* VATReg;
    QLabel* lblVATRate;
    QLineEdit* VATRate;
    QLabel* lblVATRatePercent;
    QGroupBox* Frame2;
    QLabel* Label8;
    QRadioButton* OptAll;
    QRadioButton* OptCurrent;
    QCheckBox* ChkAdvPrint;

    QGroupBox* Frame3;
    QLineEdit* txt_DefPayment;
    QGroupBox* fraSample4;
    QLabel* lblStart;
    QLineEdit* txtStart;
    QLabel* lblFinish;
    QLineEdit* txtFinish;

    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdApply;

    // A swatch's colour, &H00BBGGRR.
    static std::uint32_t SwatchColour(const QLabel* swatch);
    static void SetSwatchColour(QLabel* swatch, std::uint32_t colour);

    // The window's key preview; VB key code and shift mask (1 Shift, 2 Ctrl, 4 Alt). True when
    // the key was used.
    bool Form_KeyDown(int KeyCode, int Shift);

  public slots:
    void Form_Load();
    void tbsOptions_Click();
    void cmdOK_Click();
    void cmdApply_Click();
    void cmdCancel_Click();
    void BusyCal_Click();
    void FreeCal_Click();
    void ConfCal_Click();
    void HeadCol_Click();
    void TodayCol_Click();
    void ODCol_Click();
    void CpyLogo_Click();
    void VATReg_Click();
    // Validation on leaving a box; Cancel keeps the focus there.
    void VATRate_Validate(bool& Cancel);
    void cboMonth_Validate(bool& Cancel);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Typing goes into the first box of the page shown.
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    // A colour swatch, the stored value it edits and its click handler.
    struct Swatch {
        QLabel* label;
        const catalogue::StoreValue* value;
        void (frmOptions::*click)();
    };
    std::array<Swatch, 6> Swatches() const;

    void LoadOptions();
    // Writes everything back; false (with the reason shown) when something was refused or a
    // write failed, so that the window stays open with the user's entries.
    bool SaveOptions();
    std::optional<std::uint32_t> PickColour(std::uint32_t current);
    void SwatchClicked(QLabel* swatch);
    // Refuses with a message and puts the focus on `box` on its page.
    bool Refuse(QWidget* box, const QString& message);
    void SelectTab(int tab);
    void Unload();

    Ui::frmOptions ui_;
    db::Recordset m_rsSystem;
};
