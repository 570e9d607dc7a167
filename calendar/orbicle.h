#pragma once

#include <QPixmap>
#include <QString>
#include <QVariantList>
#include <QWidget>

#include "calendar/monthlayout.h"

// The month-calendar control. Hosts reach it only through Qt's meta-object system: the
// properties, invokable methods and signals below, by name.
class Orbicle : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString ColorMask READ ColorMask WRITE setColorMask)
    Q_PROPERTY(int OthersMonths READ OthersMonths WRITE setOthersMonths)
    Q_PROPERTY(int YearIN READ YearIN WRITE setYearIN)
    Q_PROPERTY(int MonthIN READ MonthIN WRITE setMonthIN)
    Q_PROPERTY(bool Labels READ Labels WRITE setLabels)
    Q_PROPERTY(uint Color_A READ Color_A WRITE setColor_A)
    Q_PROPERTY(uint Color_B READ Color_B WRITE setColor_B)
    Q_PROPERTY(uint Color_C READ Color_C WRITE setColor_C)
    Q_PROPERTY(uint Color_D READ Color_D WRITE setColor_D)
    Q_PROPERTY(uint Color_E READ Color_E WRITE setColor_E)
    Q_PROPERTY(uint Color_F READ Color_F WRITE setColor_F)
    Q_PROPERTY(uint Color_G READ Color_G WRITE setColor_G)
    Q_PROPERTY(uint Color_H READ Color_H WRITE setColor_H)
    Q_PROPERTY(uint ColorLabels READ ColorLabels WRITE setColorLabels)
    Q_PROPERTY(uint ColorDay_IN READ ColorDay_IN WRITE setColorDay_IN)
    Q_PROPERTY(uint ColorDay_OUT READ ColorDay_OUT WRITE setColorDay_OUT)
    Q_PROPERTY(uint BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(uint ColorWeek READ ColorWeek WRITE setColorWeek)
    Q_PROPERTY(uint GridColor READ GridColor WRITE setGridColor)
    Q_PROPERTY(bool ViewWeeks READ ViewWeeks WRITE setViewWeeks)
    Q_PROPERTY(int OutputValue READ OutputValue WRITE setOutputValue)
    Q_PROPERTY(int OutputWeek READ OutputWeek WRITE setOutputWeek)
    Q_PROPERTY(int OutputInfo READ OutputInfo WRITE setOutputInfo)
    Q_PROPERTY(bool Small READ Small WRITE setSmall)
    Q_PROPERTY(QPixmap Cursor1 READ Cursor1 WRITE setCursor1)
    Q_PROPERTY(QPixmap Cursor2 READ Cursor2 WRITE setCursor2)
    Q_PROPERTY(QPixmap Cursor3 READ Cursor3 WRITE setCursor3)
    Q_PROPERTY(int StartDay READ StartDay WRITE setStartDay)
    Q_PROPERTY(int SetCMDay READ SetCMDay WRITE setSetCMDay)
    Q_PROPERTY(QString SetCMColor READ SetCMColor WRITE setSetCMColor)
    Q_PROPERTY(int IndexCM READ IndexCM WRITE setIndexCM)
    Q_PROPERTY(uint TodayColor READ TodayColor WRITE setTodayColor)

public:
    static constexpr char kProgId[] = "Gyrodate.Orbicle";
    static const QString kDefaultMask;  // 7 x B for the headings, 42 x A for the days

    explicit Orbicle(QWidget* parent = nullptr);
    ~Orbicle() override;
    // Controls alive in this process; the library must stay loaded while there are any.
    static int LiveInstances();

    // Recomputes and repaints the whole month, updates OutputInfo, resets IndexCM and raises
    // Change. The new month is worked out in full before anything is applied.
    Q_INVOKABLE void Action();
    // Gives day SetCMDay of the shown month the mask letter SetCMColor (one letter A-H).
    Q_INVOKABLE void SetCM();
    Q_INVOKABLE void ShowAboutBox();

    // The container's side: a new instance, a saved one, saving.
    Q_INVOKABLE void InitProperties();
    Q_INVOKABLE void ReadProperties(const QVariantList& bag);
    Q_INVOKABLE QVariantList WriteProperties() const;

    QString ColorMask() const { return colorMask_; }
    int OthersMonths() const { return othersMonths_; }
    int YearIN() const { return yearIN_; }
    int MonthIN() const { return monthIN_; }
    bool Labels() const { return labels_; }
    uint Color_A() const { return colors_[0]; }
    uint Color_B() const { return colors_[1]; }
    uint Color_C() const { return colors_[2]; }
    uint Color_D() const { return colors_[3]; }
    uint Color_E() const { return colors_[4]; }
    uint Color_F() const { return colors_[5]; }
    uint Color_G() const { return colors_[6]; }
    uint Color_H() const { return colors_[7]; }
    uint ColorLabels() const { return colorLabels_; }
    uint ColorDay_IN() const { return colorDayIn_; }
    uint ColorDay_OUT() const { return colorDayOut_; }
    uint BackColor() const { return backColor_; }
    uint ColorWeek() const { return colorWeek_; }
    uint GridColor() const { return gridColor_; }
    bool ViewWeeks() const { return viewWeeks_; }
    int OutputValue() const { return outputValue_; }
    int OutputWeek() const { return outputWeek_; }
    int OutputInfo() const { return outputInfo_; }
    bool Small() const { return small_; }
    QPixmap Cursor1() const { return cursors_[0]; }
    QPixmap Cursor2() const { return cursors_[1]; }
    QPixmap Cursor3() const { return cursors_[2]; }
    int StartDay() const { return startDay_; }
    int SetCMDay() const { return setCMDay_; }
    QString SetCMColor() const { return setCMColor_; }
    int IndexCM() const { return indexCM_; }
    uint TodayColor() const { return todayColor_; }

    // Assignments out of a property's range are ignored: the old value stays, nothing repaints.
    void setColorMask(const QString& v);
    void setOthersMonths(int v);
    void setYearIN(int v);
    void setMonthIN(int v);
    void setLabels(bool v);
    void setColor_A(uint v) { SetColor(0, v, "Color_A"); }
    void setColor_B(uint v) { SetColor(1, v, "Color_B"); }
    void setColor_C(uint v) { SetColor(2, v, "Color_C"); }
    void setColor_D(uint v) { SetColor(3, v, "Color_D"); }
    void setColor_E(uint v) { SetColor(4, v, "Color_E"); }
    void setColor_F(uint v) { SetColor(5, v, "Color_F"); }
    void setColor_G(uint v) { SetColor(6, v, "Color_G"); }
    void setColor_H(uint v) { SetColor(7, v, "Color_H"); }
    void setColorLabels(uint v);
    void setColorDay_IN(uint v);
    void setColorDay_OUT(uint v);
    void setBackColor(uint v);
    void setColorWeek(uint v);
    void setGridColor(uint v);
    void setViewWeeks(bool v);
    void setOutputValue(int v);
    void setOutputWeek(int v);
    void setOutputInfo(int v);
    void setSmall(bool v);
    void setCursor1(const QPixmap& v) { SetCursorPicture(0, v, "Cursor1"); }
    void setCursor2(const QPixmap& v) { SetCursorPicture(1, v, "Cursor2"); }
    void setCursor3(const QPixmap& v) { SetCursorPicture(2, v, "Cursor3"); }
    void setStartDay(int v);
    void setSetCMDay(int v);
    void setSetCMColor(const QString& v);
    void setIndexCM(int v);
    void setTodayColor(uint v);

    // What is on screen, as the last Action laid it out.
    const orbicle::MonthLayout& Layout() const { return layout_; }
    QSize sizeHint() const override;

signals:
    void Click();
    void Change();
    void ClickOnLabel();
    void ClickOnWeek();
    void RightClick();
    // The container's property-changed notification, with the property's name.
    void PropertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    enum class Part { None, Cell, Heading, Week };
    struct Hit {
        Part part = Part::None;
        int index = 0;
    };
    Hit HitTest(const QPoint& pixel) const;
    void SetDefaults();
    orbicle::MonthInput Input() const;
    // Store, notify and, for display properties, repaint.
    void Stored(const char* name, bool repaint);
    void SetColor(int index, uint v, const char* name);
    void SetCursorPicture(int index, const QPixmap& v, const char* name);

    // The month shown at creation, the default for a saved instance without one.
    int initialYear_ = 0;
    int initialMonth_ = 0;

    QString colorMask_;
    int othersMonths_ = 3;
    int yearIN_ = 0;
    int monthIN_ = 0;
    bool labels_ = true;
    std::array<uint, 8> colors_{};
    uint colorLabels_ = 0;
    uint colorDayIn_ = 0;
    uint colorDayOut_ = 0;
    uint backColor_ = 0;
    uint colorWeek_ = 0;
    uint gridColor_ = 0;
    bool viewWeeks_ = true;
    int outputValue_ = 0;
    int outputWeek_ = 255;
    int outputInfo_ = 0;
    bool small_ = false;
    std::array<QPixmap, 3> cursors_;
    int startDay_ = 0;
    int setCMDay_ = 1;
    QString setCMColor_;
    int indexCM_ = 0;
    uint todayColor_ = 0;

    orbicle::MonthLayout layout_;
};
