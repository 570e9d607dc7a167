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

    QString ColorMask() const { return shown_.mask; }
    int OthersMonths() const { return shown_.othersMonths; }
    int YearIN() const { return shown_.year; }
    int MonthIN() const { return shown_.month; }
    bool Labels() const { return shown_.labels; }
    uint Color_A() const { return shown_.colors[0]; }
    uint Color_B() const { return shown_.colors[1]; }
    uint Color_C() const { return shown_.colors[2]; }
    uint Color_D() const { return shown_.colors[3]; }
    uint Color_E() const { return shown_.colors[4]; }
    uint Color_F() const { return shown_.colors[5]; }
    uint Color_G() const { return shown_.colors[6]; }
    uint Color_H() const { return shown_.colors[7]; }
    uint ColorLabels() const { return shown_.colorLabels; }
    uint ColorDay_IN() const { return shown_.colorDayIn; }
    uint ColorDay_OUT() const { return shown_.colorDayOut; }
    uint BackColor() const { return shown_.backColor; }
    uint ColorWeek() const { return shown_.colorWeek; }
    uint GridColor() const { return shown_.gridColor; }
    bool ViewWeeks() const { return shown_.viewWeeks; }
    int OutputValue() const { return outputValue_; }
    int OutputWeek() const { return outputWeek_; }
    int OutputInfo() const { return outputInfo_; }
    bool Small() const { return shown_.small; }
    QPixmap Cursor1() const { return cursors_[0]; }
    QPixmap Cursor2() const { return cursors_[1]; }
    QPixmap Cursor3() const { return cursors_[2]; }
    int StartDay() const { return shown_.startDay; }
    int SetCMDay() const { return setCMDay_; }
    QString SetCMColor() const { return setCMColor_; }
    int IndexCM() const { return indexCM_; }
    uint TodayColor() const { return shown_.todayColor; }

    // Assignments out of a property's range are ignored: the old value stays, nothing repaints.
    void setColorMask(const QString& v) { Show(shown_.mask, v, "ColorMask"); }
    void setOthersMonths(int v) { Show(shown_.othersMonths, v, "OthersMonths", 0, 255); }
    void setYearIN(int v) { Show(shown_.year, v, "YearIN", 1900, 2199); }
    void setMonthIN(int v) { Show(shown_.month, v, "MonthIN", 1, 12); }
    void setLabels(bool v) { Show(shown_.labels, v, "Labels"); }
    void setColor_A(uint v) { Show(shown_.colors[0], v, "Color_A"); }
    void setColor_B(uint v) { Show(shown_.colors[1], v, "Color_B"); }
    void setColor_C(uint v) { Show(shown_.colors[2], v, "Color_C"); }
    void setColor_D(uint v) { Show(shown_.colors[3], v, "Color_D"); }
    void setColor_E(uint v) { Show(shown_.colors[4], v, "Color_E"); }
    void setColor_F(uint v) { Show(shown_.colors[5], v, "Color_F"); }
    void setColor_G(uint v) { Show(shown_.colors[6], v, "Color_G"); }
    void setColor_H(uint v) { Show(shown_.colors[7], v, "Color_H"); }
    void setColorLabels(uint v) { Show(shown_.colorLabels, v, "ColorLabels"); }
    void setColorDay_IN(uint v) { Show(shown_.colorDayIn, v, "ColorDay_IN"); }
    void setColorDay_OUT(uint v) { Show(shown_.colorDayOut, v, "ColorDay_OUT"); }
    void setBackColor(uint v) { Show(shown_.backColor, v, "BackColor"); }
    void setColorWeek(uint v) { Show(shown_.colorWeek, v, "ColorWeek"); }
    void setGridColor(uint v) { Show(shown_.gridColor, v, "GridColor"); }
    void setViewWeeks(bool v) { Show(shown_.viewWeeks, v, "ViewWeeks"); }
    void setOutputValue(int v) { Keep(outputValue_, v, "OutputValue", 0, 255); }
    void setOutputWeek(int v) { Keep(outputWeek_, v, "OutputWeek", 0, 255); }
    void setOutputInfo(int v) { Keep(outputInfo_, v, "OutputInfo", -32768, 32767); }
    void setSmall(bool v) { Show(shown_.small, v, "Small"); }
    void setCursor1(const QPixmap& v) { Show(cursors_[0], v, "Cursor1"); }
    void setCursor2(const QPixmap& v) { Show(cursors_[1], v, "Cursor2"); }
    void setCursor3(const QPixmap& v) { Show(cursors_[2], v, "Cursor3"); }
    void setStartDay(int v) { Show(shown_.startDay, v, "StartDay", 0, 7); }
    void setSetCMDay(int v) { Keep(setCMDay_, v, "SetCMDay", 0, 255); }
    void setSetCMColor(const QString& v) { Keep(setCMColor_, v, "SetCMColor"); }
    void setIndexCM(int v) { Keep(indexCM_, v, "IndexCM", 0, 255); }
    void setTodayColor(uint v) { Show(shown_.todayColor, v, "TodayColor"); }

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
    // The day marked as today, read again at every Action.
    virtual QDate Today() const;
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
    // The display properties of a new instance: also what a bag read falls back to and what a
    // bag write leaves out.
    orbicle::MonthInput NewInstance() const;
    void SetDefaults();
    orbicle::MonthInput Input() const;
    // Display properties store, notify and repaint; the others only store and notify.
    template <class T>
    void Show(T& field, const T& v, const char* name) {
        field = v;
        emit PropertyChanged(QLatin1String(name));
        Action();
    }
    template <class T>
    void Keep(T& field, const T& v, const char* name) {
        field = v;
        emit PropertyChanged(QLatin1String(name));
    }
    void Show(int& field, int v, const char* name, int low, int high) {
        if (v >= low && v <= high) Show(field, v, name);
    }
    void Keep(int& field, int v, const char* name, int low, int high) {
        if (v >= low && v <= high) Keep(field, v, name);
    }

    // The month shown at creation, the default for a saved instance without one.
    int initialYear_ = 0;
    int initialMonth_ = 0;

    // The display properties, as a repaint takes them (today and the locale are added then).
    orbicle::MonthInput shown_;
    int outputValue_ = 0;
    int outputWeek_ = 255;
    int outputInfo_ = 0;
    std::array<QPixmap, 3> cursors_;
    int setCMDay_ = 1;
    QString setCMColor_;
    int indexCM_ = 0;

    orbicle::MonthLayout layout_;
};
