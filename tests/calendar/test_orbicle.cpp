// The control as a host sees it: properties by name, Change and the property-changed
// notification, SetCM, clicks, the saved state, pixels of a grabbed control, the about box.
#include <QApplication>
#include <QLabel>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <memory>

#include "calendar/aboutbox.h"
#include "calendar/orbicle.h"
#include "platform/com/propertybag.h"
#include "platform/ui/olecolor.h"

using orbicle::CellKind;
using orbicle::ToPixels;
using ui::ToQColor;

namespace {

const QStringList kPropertyNames{
    "ColorMask", "OthersMonths", "YearIN",      "MonthIN",      "Labels",     "Color_A",
    "Color_B",   "Color_C",      "Color_D",     "Color_E",      "Color_F",    "Color_G",
    "Color_H",   "ColorLabels",  "ColorDay_IN", "ColorDay_OUT", "BackColor",  "ColorWeek",
    "GridColor", "ViewWeeks",    "OutputValue", "OutputWeek",   "OutputInfo", "Small",
    "Cursor1",   "Cursor2",      "Cursor3",     "StartDay",     "SetCMDay",   "SetCMColor",
    "IndexCM",   "TodayColor"};
const QStringList kQuietProperties{"OutputValue", "OutputWeek", "OutputInfo",
                                   "SetCMDay",    "SetCMColor", "IndexCM"};

int CountPixels(const QImage& image, const QRect& rect, const QColor& colour) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

// A control whose today is a fixed day, so that what it draws does not depend on the clock.
class PinnedToday : public Orbicle {
public:
    PinnedToday(const QDate& today, QWidget* parent) : Orbicle(parent), today_(today) {}

protected:
    QDate Today() const override { return today_; }

private:
    QDate today_;
};

QStringList Names(const QSignalSpy& spy) {
    QStringList names;
    for (const auto& args : spy) names << args.at(0).toString();
    return names;
}

// A value of the property's type that differs from the new-instance one.
QVariant OtherValue(const QString& name) {
    if (name == u"ColorMask" || name == u"SetCMColor") return QStringLiteral("C");
    if (name.startsWith(u"Cursor")) {
        QPixmap p(8, 8);
        p.fill(Qt::red);
        return p;
    }
    if (name == u"YearIN") return 2030;
    if (name == u"MonthIN") return 7;
    if (name == u"Labels" || name == u"ViewWeeks") return false;
    if (name == u"Small") return true;
    if (name == u"StartDay") return 3;
    return 123;
}

}  // namespace

class TestOrbicle : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newInstance();
    void assignments();
    void assignmentsOutOfRangeAreIgnored_data();
    void assignmentsOutOfRangeAreIgnored();
    void monthThenYear();
    void actionRepeats();
    void setCM();
    void setCMRefusals_data();
    void setCMRefusals();
    void setCMOnShortMask();
    void clicksOnDays();
    void clicksOnHeadingsAndWeeks();
    void clicksInTheSmallSize();
    void bagRoundTrip();
    void bagDefaultsAndBadValues();
    void pixels();
    void weeksFollowTheTimeLocale_data();
    void weeksFollowTheTimeLocale();
    void aboutBox();

private:
    Orbicle* NewControl();
    void Press(const QRect& twips, Qt::MouseButton button = Qt::LeftButton);
    std::unique_ptr<QWidget> host_;
    Orbicle* c_ = nullptr;
};

void TestOrbicle::init() {
    host_ = std::make_unique<QWidget>();
    host_->resize(300, 200);
    c_ = NewControl();
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
}

void TestOrbicle::cleanup() {
    host_.reset();
    c_ = nullptr;
}

Orbicle* TestOrbicle::NewControl() {
    auto* c = new Orbicle(host_.get());
    c->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    c->InitProperties();
    return c;
}

void TestOrbicle::Press(const QRect& twips, Qt::MouseButton button) {
    QTest::mouseClick(c_, button, Qt::NoModifier, ToPixels(twips).center());
}

void TestOrbicle::newInstance() {
    QSignalSpy change(c_, &Orbicle::Change);
    c_->InitProperties();
    QCOMPARE(change.count(), 1);

    const QDate today = QDate::currentDate();
    const QVariantMap expected{
        {"ColorMask", QString(7, u'B') + QString(42, u'A')},
        {"OthersMonths", 3}, {"YearIN", today.year()}, {"MonthIN", today.month()},
        {"Labels", true}, {"Color_A", 0x00FFFFFF}, {"Color_B", 0x00C0C0C0}, {"Color_C", 0x00FFFFFF},
        {"Color_D", 0x00FFFFFF}, {"Color_E", 0x00FFFFFF}, {"Color_F", 0x00FFFFFF},
        {"Color_G", 0x00FFFFFF}, {"Color_H", 0x00FFFFFF}, {"ColorLabels", 0}, {"ColorDay_IN", 0},
        {"ColorDay_OUT", 0x00C0C0C0}, {"BackColor", 0x00808080}, {"ColorWeek", 0},
        {"GridColor", 0}, {"ViewWeeks", true}, {"OutputValue", 0}, {"OutputWeek", 255},
        {"Small", false}, {"StartDay", 0}, {"SetCMDay", 1}, {"SetCMColor", "A"}, {"IndexCM", 0},
        {"TodayColor", 0x00FF00FF}};
    for (const QString& name : kPropertyNames) {
        const QVariant value = c_->property(name.toLatin1());
        QVERIFY2(value.isValid(), qPrintable(name));
        if (name.startsWith(u"Cursor")) {
            QVERIFY(value.value<QPixmap>().isNull());
            continue;
        }
        if (name == u"OutputInfo") continue;
        QVariant want = expected.value(name);
        QVERIFY2(want.convert(value.metaType()), qPrintable(name));
        QCOMPARE(value, want);
    }
    // The shown month is described; en_US weeks begin on Sunday.
    QCOMPARE(c_->property("OutputInfo").toInt(),
             orbicle::MonthInfoCode(today.year(), today.month(), 1));
    QCOMPARE(c_->size(), QSize(214, ToPixels(c_->Layout().size.height())));
    for (const char* m : {"Action()", "SetCM()", "ShowAboutBox()"})
        QVERIFY(c_->metaObject()->indexOfMethod(m) >= 0);
}

void TestOrbicle::assignments() {
    for (const QString& name : kPropertyNames) {
        QSignalSpy change(c_, &Orbicle::Change);
        QSignalSpy notified(c_, &Orbicle::PropertyChanged);
        QVERIFY2(c_->setProperty(name.toLatin1(), OtherValue(name)), qPrintable(name));
        const bool quiet = kQuietProperties.contains(name);
        QCOMPARE(change.count(), quiet ? 0 : 1);
        const QStringList expected =
            quiet ? QStringList{name} : QStringList{name, "OutputInfo", "IndexCM"};
        QCOMPARE(Names(notified), expected);
        if (!name.startsWith(u"Cursor")) {
            QVariant assigned = OtherValue(name);
            QVERIFY(assigned.convert(c_->property(name.toLatin1()).metaType()));
            QCOMPARE(c_->property(name.toLatin1()), assigned);
        }
        if (!quiet) QCOMPARE(c_->IndexCM(), 0);
    }
    QCOMPARE(c_->OutputValue(), 123);
    QCOMPARE(c_->SetCMColor(), QStringLiteral("C"));
    QCOMPARE(c_->Cursor2().size(), QSize(8, 8));
}

void TestOrbicle::assignmentsOutOfRangeAreIgnored_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::newRow("month 13") << "MonthIN" << 13;
    QTest::newRow("month 0") << "MonthIN" << 0;
    QTest::newRow("year 1899") << "YearIN" << 1899;
    QTest::newRow("year 2200") << "YearIN" << 2200;
    QTest::newRow("start day 8") << "StartDay" << 8;
    QTest::newRow("start day -1") << "StartDay" << -1;
    QTest::newRow("others months 256") << "OthersMonths" << 256;
    QTest::newRow("output value -1") << "OutputValue" << -1;
    QTest::newRow("output week 256") << "OutputWeek" << 256;
    QTest::newRow("set-day 300") << "SetCMDay" << 300;
    QTest::newRow("index 256") << "IndexCM" << 256;
    QTest::newRow("info 40000") << "OutputInfo" << 40000;
}

void TestOrbicle::assignmentsOutOfRangeAreIgnored() {
    QFETCH(QString, name);
    QFETCH(int, value);
    const QVariant before = c_->property(name.toLatin1());
    const int info = c_->OutputInfo();
    QSignalSpy change(c_, &Orbicle::Change);
    QSignalSpy notified(c_, &Orbicle::PropertyChanged);
    c_->setProperty(name.toLatin1(), value);
    QCOMPARE(c_->property(name.toLatin1()), before);
    QCOMPARE(change.count(), 0);
    QCOMPARE(notified.count(), 0);
    QCOMPARE(c_->OutputInfo(), info);
}

void TestOrbicle::monthThenYear() {
    c_->setProperty("StartDay", 2);
    QSignalSpy change(c_, &Orbicle::Change);
    QList<int> infos;
    connect(c_, &Orbicle::Change, this, [&] { infos << c_->property("OutputInfo").toInt(); });
    c_->setProperty("MonthIN", 5);
    c_->setProperty("YearIN", 2026);
    QCOMPARE(change.count(), 2);
    QCOMPARE(infos.last(), 14632);
    QCOMPARE(c_->property("OutputInfo").toInt(), 14632);
}

void TestOrbicle::actionRepeats() {
    c_->setProperty("MonthIN", 2);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("StartDay", 1);
    const QImage first = c_->grab().toImage();
    QSignalSpy change(c_, &Orbicle::Change);
    QMetaObject::invokeMethod(c_, "Action");
    QMetaObject::invokeMethod(c_, "Action");
    QCOMPARE(change.count(), 2);
    QCOMPARE(c_->OutputInfo(), 10103);
    QCOMPARE(c_->grab().toImage(), first);
    // Four rows, small, with headings: 1125 twips high.
    c_->setProperty("Small", true);
    QCOMPARE(c_->height(), 75);
    QCOMPARE(c_->width(), 193);
}

void TestOrbicle::setCM() {
    // September 2026 from Sunday: the 1st in column 3.
    c_->setProperty("StartDay", 1);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 9);
    c_->setProperty("ColorMask", QString(7, u'b') + QString(42, u'a'));
    c_->setProperty("SetCMDay", 1);
    c_->setProperty("SetCMColor", "c");
    QSignalSpy change(c_, &Orbicle::Change);
    QSignalSpy notified(c_, &Orbicle::PropertyChanged);
    QMetaObject::invokeMethod(c_, "SetCM");
    QCOMPARE(change.count(), 1);
    QCOMPARE(Names(notified).count(u"ColorMask"), 1);
    const QString mask = c_->property("ColorMask").toString();
    QCOMPARE(mask, QString(7, u'B') + "AAC" + QString(39, u'A'));
    QCOMPARE(c_->Layout().cells[2].backColor, c_->Color_C());
    QCOMPARE(c_->Layout().cells[3].backColor, c_->Color_A());

    // The last day of the month, with another start day.
    c_->setProperty("StartDay", 2);
    c_->setProperty("SetCMDay", 30);
    c_->setProperty("SetCMColor", "H");
    QMetaObject::invokeMethod(c_, "SetCM");
    QCOMPARE(c_->property("ColorMask").toString().at(1 + 7 + 30 - 1), u'H');
    QCOMPARE(c_->Layout().cells[1 + 30 - 1].backColor, c_->Color_H());
}

void TestOrbicle::setCMRefusals_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("letter");
    QTest::newRow("day 0") << 0 << "C";
    QTest::newRow("day 31 of September") << 31 << "C";
    QTest::newRow("day 200") << 200 << "C";
    QTest::newRow("letter Z") << 5 << "Z";
    QTest::newRow("two letters") << 5 << "CD";
    QTest::newRow("no letter") << 5 << "";
    QTest::newRow("a digit") << 5 << "1";
}

void TestOrbicle::setCMRefusals() {
    QFETCH(int, day);
    QFETCH(QString, letter);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 9);
    c_->setProperty("ColorMask", "bbbbbbb" + QString(42, u'a'));
    c_->setProperty("SetCMDay", day);
    c_->setProperty("SetCMColor", letter);
    QSignalSpy change(c_, &Orbicle::Change);
    QSignalSpy notified(c_, &Orbicle::PropertyChanged);
    QMetaObject::invokeMethod(c_, "SetCM");
    QCOMPARE(c_->property("ColorMask").toString(), "bbbbbbb" + QString(42, u'a'));
    QCOMPARE(change.count(), 0);
    QCOMPARE(notified.count(), 0);
}

void TestOrbicle::setCMOnShortMask() {
    c_->setProperty("StartDay", 1);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 9);
    c_->setProperty("ColorMask", "BBBBBBBAA");
    c_->setProperty("SetCMDay", 5);
    c_->setProperty("SetCMColor", "D");
    QMetaObject::invokeMethod(c_, "SetCM");
    // Day 5 is cell 6, mask position 14, even though the mask ended at 9.
    const QString mask = c_->ColorMask();
    QCOMPARE(mask.size(), 14);
    QCOMPARE(mask.at(13), u'D');
    QCOMPARE(c_->Layout().cells[1].backColor, c_->Color_A());
    QCOMPARE(c_->Layout().cells[5].backColor, c_->Color_A());
    QCOMPARE(c_->Layout().cells[6].backColor, c_->Color_D());
}

void TestOrbicle::clicksOnDays() {
    // February 2026 from Monday: January 26-31 in cells 0-5, the 1st in cell 6, March 1 in cell 34.
    c_->setProperty("StartDay", 2);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 2);
    QCOMPARE(c_->Layout().rows, 5);
    QSignalSpy click(c_, &Orbicle::Click);
    QSignalSpy right(c_, &Orbicle::RightClick);
    QSignalSpy change(c_, &Orbicle::Change);
    const auto& cells = c_->Layout().cells;
    struct Case {
        int cell;
        Qt::MouseButton button;
        int value;
        int week;
        bool rightClick;
    };
    const Case cases[] = {
        {10, Qt::LeftButton, 5, 6, false},      // the 5th, row 1
        {5, Qt::RightButton, 131, 5, true},     // January 31 in row 0
        {0, Qt::LeftButton, 126, 5, false},     // January 26
        {34, Qt::MiddleButton, 201, 9, false},  // March 1 in row 4
        {33, Qt::LeftButton, 28, 9, false},
    };
    for (const Case& k : cases) {
        const int clicks = click.count();
        const int rights = right.count();
        Press(cells[k.cell].rect, k.button);
        QCOMPARE(c_->OutputValue(), k.value);
        QCOMPARE(c_->OutputWeek(), k.week);
        QCOMPARE(c_->IndexCM(), k.cell + 8);
        QCOMPARE(click.count() - clicks, k.rightClick ? 0 : 1);
        QCOMPARE(right.count() - rights, k.rightClick ? 1 : 0);
    }
    QCOMPARE(change.count(), 0);

    // An empty leading cell still reports its week and place.
    c_->setProperty("OthersMonths", 0);
    QCOMPARE(c_->IndexCM(), 0);
    Press(cells[0].rect);
    QCOMPARE(c_->OutputValue(), 0);
    QCOMPARE(c_->OutputWeek(), 5);
    QCOMPARE(c_->IndexCM(), 8);
    QCOMPARE(click.count(), 5);
}

void TestOrbicle::clicksOnHeadingsAndWeeks() {
    c_->setProperty("StartDay", 2);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 2);
    QSignalSpy label(c_, &Orbicle::ClickOnLabel);
    QSignalSpy week(c_, &Orbicle::ClickOnWeek);
    QSignalSpy click(c_, &Orbicle::Click);
    QSignalSpy right(c_, &Orbicle::RightClick);
    QSignalSpy notified(c_, &Orbicle::PropertyChanged);

    Press(c_->Layout().headings[3].rect, Qt::RightButton);
    QCOMPARE(c_->OutputValue(), 243);
    QCOMPARE(c_->OutputWeek(), 0);
    QCOMPARE(c_->IndexCM(), 4);
    QCOMPARE(label.count(), 1);
    QCOMPARE(Names(notified), QStringList({"OutputValue", "OutputWeek", "IndexCM"}));

    Press(c_->Layout().weeks[2].rect);
    QCOMPARE(c_->OutputValue(), 232);
    QCOMPARE(c_->OutputWeek(), 7);
    QCOMPARE(c_->IndexCM(), 0);
    QCOMPARE(week.count(), 1);
    QCOMPARE(click.count() + right.count(), 0);

    // Without headings the day rows move up into their place.
    const QRect heading = c_->Layout().headings[3].rect;
    c_->setProperty("Labels", false);
    Press(heading);
    QCOMPARE(label.count(), 1);
    QCOMPARE(c_->OutputValue(), 129);
    QCOMPARE(click.count(), 1);
}

void TestOrbicle::clicksInTheSmallSize() {
    c_->setProperty("Small", true);
    c_->setProperty("StartDay", 1);
    c_->setProperty("YearIN", 2026);
    c_->setProperty("MonthIN", 5);
    // May 2026 from Sunday: the 1st in column 5, six rows; the 31st in cell 35.
    QCOMPARE(c_->Layout().rows, 6);
    Press(c_->Layout().cells[35].rect);
    QCOMPARE(c_->OutputValue(), 31);
    QCOMPARE(c_->IndexCM(), 43);
    Press(c_->Layout().cells[41].rect, Qt::RightButton);
    QCOMPARE(c_->OutputValue(), 206);
    Press(c_->Layout().headings[6].rect);
    QCOMPARE(c_->OutputValue(), 246);
}

void TestOrbicle::bagRoundTrip() {
    const QVariantMap values{{"ColorMask", "CCCCCCCDDDDDDD\"quoted\""},
                             {"OthersMonths", 6},
                             {"YearIN", 1999},
                             {"MonthIN", 12},
                             {"Labels", false},
                             {"Color_D", 0x00123456u},
                             {"Color_H", 0x80000005u},
                             {"ColorDay_OUT", 0x00010203u},
                             {"BackColor", 0x00FFFFFFu},
                             {"ViewWeeks", false},
                             {"OutputValue", 201},
                             {"OutputWeek", 0},
                             {"Small", true},
                             {"StartDay", 7},
                             {"SetCMDay", 31},
                             {"SetCMColor", "E"},
                             {"TodayColor", 0u}};
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        c_->setProperty(it.key().toLatin1(), it.value());
    QPixmap cursor(4, 4);
    cursor.fill(Qt::blue);
    c_->setProperty("Cursor3", cursor);

    com::PropertyBag bag = com::PropertyBag::FromVariant(c_->WriteProperties());
    QVERIFY(!bag.Contains("Color_A"));  // equal to its default
    QVERIFY(bag.Contains("OutputWeek"));

    Orbicle* copy = NewControl();
    QSignalSpy change(copy, &Orbicle::Change);
    copy->ReadProperties(bag.ToVariant());
    QCOMPARE(change.count(), 1);
    for (const QString& name : kPropertyNames) {
        if (name.startsWith(u"Cursor")) continue;
        QCOMPARE(copy->property(name.toLatin1()), c_->property(name.toLatin1()));
    }
    QCOMPARE(copy->Cursor3().toImage(), cursor.toImage());
    QVERIFY(copy->Cursor1().isNull());
    QCOMPARE(copy->OutputInfo(), orbicle::MonthInfoCode(1999, 12, 7));
}

void TestOrbicle::bagDefaultsAndBadValues() {
    com::PropertyBag bag;
    QVERIFY(bag.FromText(
        "MonthIN = 13\nYearIN = 1800\nStartDay = 9\nOthersMonths = 300\nOutputWeek = 256\n"
        "ColorMask = 5\nLabels = \"yes\"\nColor_A = 4294967296\nSetCMDay = -1\nSmall = "
        "True\nColor_B = -16777216\n"));
    Orbicle* c = NewControl();
    c->setProperty("MonthIN", 4);
    c->setProperty("OutputValue", 77);
    c->ReadProperties(bag.ToVariant());
    const QDate today = QDate::currentDate();
    QCOMPARE(c->MonthIN(), today.month());
    QCOMPARE(c->YearIN(), today.year());
    QCOMPARE(c->StartDay(), 0);
    QCOMPARE(c->OthersMonths(), 3);
    QCOMPARE(c->OutputWeek(), 255);  // missing or unusable: the new-instance values
    QCOMPARE(c->OutputValue(), 0);
    QCOMPARE(c->ColorMask(), Orbicle::kDefaultMask);
    QCOMPARE(c->Labels(), true);
    QCOMPARE(c->Color_A(), 0x00FFFFFFu);
    QCOMPARE(c->Color_B(), 0xFF000000u);  // a signed 32-bit colour is the same bits
    QCOMPARE(c->SetCMDay(), 1);
    QCOMPARE(c->Small(), true);
    QCOMPARE(c->OutputInfo(), orbicle::MonthInfoCode(today.year(), today.month(), 1));
}

void TestOrbicle::pixels() {
    // May 2026 from Sunday has leading days, a sixth row of next-month days and today inside.
    const QDate today(2026, 5, 14);
    delete c_;
    c_ = new PinnedToday(today, host_.get());
    c_->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    c_->InitProperties();
    c_->show();
    c_->setProperty("YearIN", today.year());
    c_->setProperty("MonthIN", today.month());
    c_->setProperty("StartDay", 1);
    c_->setProperty("Color_C", 0x000080FFu);       // orange
    c_->setProperty("ColorDay_OUT", 0x0000A000u);  // green
    QString mask = Orbicle::kDefaultMask;
    const int shown = c_->Layout().startPosition + 7 + 3;  // day 3 of the month
    mask[shown - 1] = u'C';
    c_->setProperty("ColorMask", mask);

    const auto& layout = c_->Layout();
    const QImage image = c_->grab().toImage();
    int todayCell = -1, otherCell = -1, leadingCell = -1;
    for (int i = 0; i < orbicle::kCells; ++i) {
        const auto& cell = layout.cells[i];
        if (cell.kind == CellKind::ShownMonth && cell.day == today.day()) todayCell = i;
        if (cell.kind == CellKind::ShownMonth && cell.day != today.day() && otherCell < 0)
            otherCell = i;
        if (cell.kind == CellKind::PreviousMonth ||
            (cell.kind == CellKind::NextMonth && cell.visible))
            leadingCell = i;
    }
    QVERIFY(todayCell >= 0 && otherCell >= 0 && leadingCell >= 0);
    const QColor magenta = ToQColor(0x00FF00FF);
    QVERIFY(CountPixels(image, ToPixels(layout.cells[todayCell].rect), magenta) > 0);
    QCOMPARE(CountPixels(image, ToPixels(layout.cells[otherCell].rect), magenta), 0);
    QVERIFY(CountPixels(image, ToPixels(layout.cells[leadingCell].rect), ToQColor(0x0000A000)) > 0);

    // Mask colours fill the cells behind their numbers; the grid lies on top.
    const int day3 = shown - 8;
    const QRect r3 = ToPixels(layout.cells[day3].rect);
    QCOMPARE(image.pixelColor(r3.topLeft() + QPoint(2, 2)), ToQColor(0x000080FF));
    QCOMPARE(image.pixelColor(ToPixels(layout.cells[day3 + 1].rect).topLeft() + QPoint(2, 2)),
             ToQColor(0x00FFFFFF));
    QCOMPARE(image.pixelColor(ToPixels(layout.headings[0].rect).topLeft() + QPoint(2, 2)),
             ToQColor(0x00C0C0C0));
    QCOMPARE(image.pixelColor(ToPixels(layout.line1[1].from) + QPoint(0, 20)), QColor(Qt::black));
    // Around the week numbers: BackColor.
    QCOMPARE(image.pixelColor(image.width() - 1, 0), ToQColor(0x00808080));
}

void TestOrbicle::weeksFollowTheTimeLocale_data() {
    QTest::addColumn<QByteArray>("timeLocale");
    QTest::addColumn<int>("firstWeek");  // of January 2027 from Monday
    QTest::newRow("C.UTF-8: ISO 8601") << QByteArray("C.UTF-8") << 53;
    QTest::newRow("en_GB: ISO 8601") << QByteArray("en_GB.UTF-8") << 53;
    QTest::newRow("en_US: the week of 1 January") << QByteArray("en_US.UTF-8") << 1;
}

void TestOrbicle::weeksFollowTheTimeLocale() {
    QFETCH(QByteArray, timeLocale);
    QFETCH(int, firstWeek);
    const QByteArray before = std::setlocale(LC_TIME, nullptr);
    if (!std::setlocale(LC_TIME, timeLocale.constData()))
        QSKIP(("This system does not have the locale " + timeLocale).constData());
    c_->setProperty("StartDay", 2);
    c_->setProperty("MonthIN", 1);
    c_->setProperty("YearIN", 2027);
    const int shown = c_->Layout().weeks[0].number;
    std::setlocale(LC_TIME, before.constData());
    QCOMPARE(shown, firstWeek);
}

void TestOrbicle::aboutBox() {
    QString caption, product, version;
    bool found = false;
    QTimer::singleShot(0, this, [&] {
        frmAboutH* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<frmAboutH*>(w); b && b->isVisible()) box = b;
        if (!box) return;
        found = true;
        caption = box->windowTitle();
        product = box->Label1->text();
        version = box->Label3->text();
        QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    connect(&failsafe, &QTimer::timeout, this, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<frmAboutH*>(w)) w->close();
    });
    failsafe.start(5000);
    QMetaObject::invokeMethod(c_, "ShowAboutBox");
    QVERIFY(found);
    QCOMPARE(caption, QStringLiteral("  About"));
    QCOMPARE(product, QStringLiteral("Quadrivel"));
    QCOMPARE(version, QStringLiteral("Ver: 3.04"));
    QVERIFY(c_->findChildren<frmAboutH*>().isEmpty());  // a fresh window each time
}

QTEST_MAIN(TestOrbicle)
#include "test_orbicle.moc"
