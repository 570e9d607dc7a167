#include "orbicle.h"

#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>

#include <atomic>

#include "calendar/aboutbox.h"
#include "platform/com/propertybag.h"

namespace {

using orbicle::OleColor;

std::atomic<int> g_liveInstances{0};

constexpr OleColor kWhite = 0x00FFFFFF;
constexpr OleColor kSilver = 0x00C0C0C0;
constexpr OleColor kBlack = 0x00000000;
constexpr OleColor kGrey = 0x00808080;
constexpr OleColor kMagenta = 0x00FF00FF;
constexpr std::array<OleColor, 8> kDefaultColors{kWhite, kSilver, kWhite, kWhite,
                                                 kWhite, kWhite,  kWhite, kWhite};
constexpr std::array<const char*, 8> kColorNames{"Color_A", "Color_B", "Color_C", "Color_D",
                                                 "Color_E", "Color_F", "Color_G", "Color_H"};
constexpr std::array<const char*, 3> kCursorNames{"Cursor1", "Cursor2", "Cursor3"};

bool InRange(int v, int low, int high) { return v >= low && v <= high; }
bool IsByte(int v) { return InRange(v, 0, 255); }

QColor ToQColor(OleColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Bag readers: a value that is missing, of the wrong kind or out of range gives the default.
QString ReadText(const com::PropertyBag& bag, const char* key, const QString& def) {
    const QVariant v = bag.ReadProperty(QLatin1String(key));
    return v.metaType().id() == QMetaType::QString ? v.toString() : def;
}

int ReadWhole(const com::PropertyBag& bag, const char* key, int def, int low, int high) {
    const QVariant v = bag.ReadProperty(QLatin1String(key));
    if (v.metaType().id() != QMetaType::LongLong) return def;
    const qlonglong n = v.toLongLong();
    return n >= low && n <= high ? int(n) : def;
}

bool ReadBool(const com::PropertyBag& bag, const char* key, bool def) {
    const QVariant v = bag.ReadProperty(QLatin1String(key));
    if (v.metaType().id() == QMetaType::Bool) return v.toBool();
    if (v.metaType().id() == QMetaType::LongLong) return v.toLongLong() != 0;
    return def;
}

// A colour may be stored as an unsigned or a signed 32-bit number.
OleColor ReadColor(const com::PropertyBag& bag, const char* key, OleColor def) {
    const QVariant v = bag.ReadProperty(QLatin1String(key));
    if (v.metaType().id() != QMetaType::LongLong) return def;
    const qlonglong n = v.toLongLong();
    return n >= -0x80000000LL && n <= 0xFFFFFFFFLL ? OleColor(quint32(n)) : def;
}

QPixmap ReadPicture(const com::PropertyBag& bag, const char* key) {
    QPixmap p;
    const QVariant v = bag.ReadProperty(QLatin1String(key));
    if (v.metaType().id() == QMetaType::QByteArray) p.loadFromData(v.toByteArray());
    return p;
}

QVariant PictureBytes(const QPixmap& p) {
    if (p.isNull()) return QVariant();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    p.save(&buffer, "PNG");
    return bytes;
}

QVariant Color(OleColor c) { return qlonglong(c); }

}  // namespace

const QString Orbicle::kDefaultMask = QString(7, u'B') + QString(42, u'A');

Orbicle::Orbicle(QWidget* parent) : QWidget(parent) {
    ++g_liveInstances;
    const QDate today = QDate::currentDate();
    initialYear_ = today.year();
    initialMonth_ = today.month();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Usable before its container calls InitProperties, but quiet until then.
    SetDefaults();
    if (auto layout = orbicle::ComputeMonthLayout(Input())) layout_ = *layout;
    setFixedSize(orbicle::ToPixels(layout_.size));
}

Orbicle::~Orbicle() { --g_liveInstances; }

int Orbicle::LiveInstances() { return g_liveInstances; }

void Orbicle::SetDefaults() {
    colorMask_ = kDefaultMask;
    othersMonths_ = 3;
    yearIN_ = initialYear_;
    monthIN_ = initialMonth_;
    labels_ = true;
    colors_ = kDefaultColors;
    colorLabels_ = kBlack;
    colorDayIn_ = kBlack;
    colorDayOut_ = kSilver;
    backColor_ = kGrey;
    colorWeek_ = kBlack;
    gridColor_ = kBlack;
    viewWeeks_ = true;
    outputValue_ = 0;
    outputWeek_ = 255;
    outputInfo_ = 0;
    small_ = false;
    cursors_ = {};
    startDay_ = 0;
    setCMDay_ = 1;
    setCMColor_ = QStringLiteral("A");
    indexCM_ = 0;
    todayColor_ = kMagenta;
}

orbicle::MonthInput Orbicle::Input() const {
    orbicle::MonthInput in;
    in.year = yearIN_;
    in.month = monthIN_;
    in.startDay = startDay_;
    in.othersMonths = othersMonths_;
    in.labels = labels_;
    in.small = small_;
    in.viewWeeks = viewWeeks_;
    in.today = QDate::currentDate();
    in.mask = colorMask_;
    in.colors = colors_;
    in.colorLabels = colorLabels_;
    in.colorDayIn = colorDayIn_;
    in.colorDayOut = colorDayOut_;
    in.backColor = backColor_;
    in.colorWeek = colorWeek_;
    in.gridColor = gridColor_;
    in.todayColor = todayColor_;
    in.locale = locale();
    return in;
}

void Orbicle::Action() {
    const auto layout = orbicle::ComputeMonthLayout(Input());
    if (!layout)
        return;  // the setters and the bag reader keep the state in range; nothing to show
                 // otherwise
    layout_ = *layout;
    setOutputInfo(layout_.outputInfo);
    setFixedSize(orbicle::ToPixels(layout_.size));
    update();
    setIndexCM(0);
    emit Change();
}

void Orbicle::SetCM() {
    if (!InRange(setCMDay_, 1, orbicle::DaysInMonth(yearIN_, monthIN_))) return;
    if (setCMColor_.size() != 1) return;
    const QChar letter = setCMColor_.at(0).toUpper();
    if (letter < u'A' || letter > u'H') return;
    const int position = layout_.startPosition + 7 + setCMDay_;  // counted from 1
    // A mask too short to reach the day is filled with blanks, which choose no colour and so
    // paint as the missing positions did.
    QString mask = colorMask_.leftJustified(position, u' ');
    mask[position - 1] = letter;
    for (QChar& ch : mask) ch = ch.toUpper();
    setColorMask(mask);
}

void Orbicle::ShowAboutBox() {
    frmAboutH box(this);
    box.exec();
}

void Orbicle::InitProperties() {
    SetDefaults();
    Action();
}

void Orbicle::ReadProperties(const QVariantList& list) {
    const com::PropertyBag bag = com::PropertyBag::FromVariant(list);
    colorMask_ = ReadText(bag, "ColorMask", kDefaultMask);
    othersMonths_ = ReadWhole(bag, "OthersMonths", 3, 0, 255);
    yearIN_ = ReadWhole(bag, "YearIN", initialYear_, 1900, 2199);
    monthIN_ = ReadWhole(bag, "MonthIN", initialMonth_, 1, 12);
    labels_ = ReadBool(bag, "Labels", true);
    for (int i = 0; i < 8; ++i) colors_[i] = ReadColor(bag, kColorNames[i], kDefaultColors[i]);
    colorLabels_ = ReadColor(bag, "ColorLabels", kBlack);
    colorDayIn_ = ReadColor(bag, "ColorDay_IN", kBlack);
    colorDayOut_ = ReadColor(bag, "ColorDay_OUT", kSilver);
    backColor_ = ReadColor(bag, "BackColor", kGrey);
    colorWeek_ = ReadColor(bag, "ColorWeek", kBlack);
    gridColor_ = ReadColor(bag, "GridColor", kBlack);
    viewWeeks_ = ReadBool(bag, "ViewWeeks", true);
    outputValue_ = ReadWhole(bag, "OutputValue", 0, 0, 255);
    small_ = ReadBool(bag, "Small", false);
    outputWeek_ = ReadWhole(bag, "OutputWeek", 255, 0, 255);
    outputInfo_ = ReadWhole(bag, "OutputInfo", 0, -32768, 32767);
    for (int i = 0; i < 3; ++i) cursors_[i] = ReadPicture(bag, kCursorNames[i]);
    startDay_ = ReadWhole(bag, "StartDay", 0, 0, 7);
    setCMDay_ = ReadWhole(bag, "SetCMDay", 1, 0, 255);
    setCMColor_ = ReadText(bag, "SetCMColor", QStringLiteral("A"));
    indexCM_ = ReadWhole(bag, "IndexCM", 0, 0, 255);
    todayColor_ = ReadColor(bag, "TodayColor", kMagenta);
    Action();
}

QVariantList Orbicle::WriteProperties() const {
    com::PropertyBag bag;
    bag.WriteProperty(QStringLiteral("ColorMask"), colorMask_, kDefaultMask);
    bag.WriteProperty(QStringLiteral("OthersMonths"), othersMonths_, 3);
    bag.WriteProperty(QStringLiteral("YearIN"), yearIN_, initialYear_);
    bag.WriteProperty(QStringLiteral("MonthIN"), monthIN_, initialMonth_);
    bag.WriteProperty(QStringLiteral("Labels"), labels_, true);
    for (int i = 0; i < 8; ++i)
        bag.WriteProperty(QLatin1String(kColorNames[i]), Color(colors_[i]),
                          Color(kDefaultColors[i]));
    bag.WriteProperty(QStringLiteral("ColorLabels"), Color(colorLabels_), Color(kBlack));
    bag.WriteProperty(QStringLiteral("ColorDay_IN"), Color(colorDayIn_), Color(kBlack));
    bag.WriteProperty(QStringLiteral("ColorDay_OUT"), Color(colorDayOut_), Color(kSilver));
    bag.WriteProperty(QStringLiteral("BackColor"), Color(backColor_), Color(kGrey));
    bag.WriteProperty(QStringLiteral("ColorWeek"), Color(colorWeek_), Color(kBlack));
    bag.WriteProperty(QStringLiteral("GridColor"), Color(gridColor_), Color(kBlack));
    bag.WriteProperty(QStringLiteral("ViewWeeks"), viewWeeks_, true);
    bag.WriteProperty(QStringLiteral("OutputValue"), outputValue_);  // always written
    bag.WriteProperty(QStringLiteral("Small"), small_, false);
    bag.WriteProperty(QStringLiteral("OutputWeek"), outputWeek_);  // always written
    bag.WriteProperty(QStringLiteral("OutputInfo"), outputInfo_, 0);
    for (int i = 0; i < 3; ++i)
        bag.WriteProperty(QLatin1String(kCursorNames[i]), PictureBytes(cursors_[i]));
    bag.WriteProperty(QStringLiteral("StartDay"), startDay_, 0);
    bag.WriteProperty(QStringLiteral("SetCMDay"), setCMDay_, 1);
    bag.WriteProperty(QStringLiteral("SetCMColor"), setCMColor_, QStringLiteral("A"));
    bag.WriteProperty(QStringLiteral("IndexCM"), indexCM_, 0);
    bag.WriteProperty(QStringLiteral("TodayColor"), Color(todayColor_), Color(kMagenta));
    return bag.ToVariant();
}

void Orbicle::Stored(const char* name, bool repaint) {
    emit PropertyChanged(QLatin1String(name));
    if (repaint) Action();
}

void Orbicle::setColorMask(const QString& v) {
    colorMask_ = v;
    Stored("ColorMask", true);
}

void Orbicle::setOthersMonths(int v) {
    if (!IsByte(v)) return;
    othersMonths_ = v;
    Stored("OthersMonths", true);
}

void Orbicle::setYearIN(int v) {
    if (!InRange(v, 1900, 2199)) return;
    yearIN_ = v;
    Stored("YearIN", true);
}

void Orbicle::setMonthIN(int v) {
    if (!InRange(v, 1, 12)) return;
    monthIN_ = v;
    Stored("MonthIN", true);
}

void Orbicle::setLabels(bool v) {
    labels_ = v;
    Stored("Labels", true);
}

void Orbicle::SetColor(int index, uint v, const char* name) {
    colors_[index] = v;
    Stored(name, true);
}

void Orbicle::setColorLabels(uint v) {
    colorLabels_ = v;
    Stored("ColorLabels", true);
}

void Orbicle::setColorDay_IN(uint v) {
    colorDayIn_ = v;
    Stored("ColorDay_IN", true);
}

void Orbicle::setColorDay_OUT(uint v) {
    colorDayOut_ = v;
    Stored("ColorDay_OUT", true);
}

void Orbicle::setBackColor(uint v) {
    backColor_ = v;
    Stored("BackColor", true);
}

void Orbicle::setColorWeek(uint v) {
    colorWeek_ = v;
    Stored("ColorWeek", true);
}

void Orbicle::setGridColor(uint v) {
    gridColor_ = v;
    Stored("GridColor", true);
}

void Orbicle::setViewWeeks(bool v) {
    viewWeeks_ = v;
    Stored("ViewWeeks", true);
}

void Orbicle::setOutputValue(int v) {
    if (!IsByte(v)) return;
    outputValue_ = v;
    Stored("OutputValue", false);
}

void Orbicle::setOutputWeek(int v) {
    if (!IsByte(v)) return;
    outputWeek_ = v;
    Stored("OutputWeek", false);
}

void Orbicle::setOutputInfo(int v) {
    if (!InRange(v, -32768, 32767)) return;
    outputInfo_ = v;
    Stored("OutputInfo", false);
}

void Orbicle::setSmall(bool v) {
    small_ = v;
    Stored("Small", true);
}

void Orbicle::SetCursorPicture(int index, const QPixmap& v, const char* name) {
    cursors_[index] = v;
    Stored(name, true);
}

void Orbicle::setStartDay(int v) {
    if (!InRange(v, 0, 7)) return;
    startDay_ = v;
    Stored("StartDay", true);
}

void Orbicle::setSetCMDay(int v) {
    if (!IsByte(v)) return;
    setCMDay_ = v;
    Stored("SetCMDay", false);
}

void Orbicle::setSetCMColor(const QString& v) {
    setCMColor_ = v;
    Stored("SetCMColor", false);
}

void Orbicle::setIndexCM(int v) {
    if (!IsByte(v)) return;
    indexCM_ = v;
    Stored("IndexCM", false);
}

void Orbicle::setTodayColor(uint v) {
    todayColor_ = v;
    Stored("TodayColor", true);
}

QSize Orbicle::sizeHint() const { return orbicle::ToPixels(layout_.size); }

void Orbicle::paintEvent(QPaintEvent*) {
    using orbicle::ToPixels;
    QPainter p(this);
    p.fillRect(rect(), ToQColor(layout_.backColor));
    const auto box = [&p, this](const QRect& twips, OleColor back, OleColor fore,
                                const QString& text, int points, bool bold) {
        const QRect r = ToPixels(twips);
        p.fillRect(r, ToQColor(back));
        if (text.isEmpty()) return;
        QFont f = font();
        f.setPointSize(points);
        f.setBold(bold);
        p.setFont(f);
        p.setPen(ToQColor(fore));
        p.drawText(r, Qt::AlignCenter, text);
    };
    for (const auto& h : layout_.headings)
        if (h.visible) box(h.rect, h.backColor, h.foreColor, h.text, h.fontSize, h.bold);
    for (const auto& c : layout_.cells)
        if (c.visible) box(c.rect, c.backColor, c.foreColor, c.text, c.fontSize, c.bold);
    for (const auto& w : layout_.weeks)
        if (w.visible) box(w.rect, w.backColor, w.foreColor, QString::number(w.number), 7, false);
    // Lines lie on top of the cells, which reach under them.
    const auto line = [&p](const orbicle::GridLine& l) {
        if (!l.visible) return;
        const QPoint a = ToPixels(l.from);
        const QPoint b = ToPixels(l.to);
        const int half = l.width / 2;
        if (a.y() == b.y())
            p.fillRect(QRect(QPoint(qMin(a.x(), b.x()), a.y() - half),
                             QSize(qAbs(b.x() - a.x()) + 1, l.width)),
                       ToQColor(l.color));
        else
            p.fillRect(QRect(QPoint(a.x() - half, qMin(a.y(), b.y())),
                             QSize(l.width, qAbs(b.y() - a.y()) + 1)),
                       ToQColor(l.color));
    };
    for (const auto& l : layout_.line1) line(l);
    for (const auto& l : layout_.line2) line(l);
}

Orbicle::Hit Orbicle::HitTest(const QPoint& pixel) const {
    using orbicle::ToPixels;
    for (int c = orbicle::kHeadings - 1; c >= 0; --c)
        if (layout_.headings[c].visible && ToPixels(layout_.headings[c].rect).contains(pixel))
            return {Part::Heading, c};
    for (int r = orbicle::kWeekRows - 1; r >= 0; --r)
        if (layout_.weeks[r].visible && ToPixels(layout_.weeks[r].rect).contains(pixel))
            return {Part::Week, r};
    // A later cell is painted over the edge of the one before it, so it takes the press there.
    for (int i = orbicle::kCells - 1; i >= 0; --i)
        if (layout_.cells[i].visible && ToPixels(layout_.cells[i].rect).contains(pixel))
            return {Part::Cell, i};
    return {};
}

void Orbicle::mousePressEvent(QMouseEvent* event) {
    const Hit hit = HitTest(event->position().toPoint());
    switch (hit.part) {
        case Part::Cell: {
            const orbicle::Cell& cell = layout_.cells[hit.index];
            int value = 0;
            if (cell.kind == orbicle::CellKind::ShownMonth) value = cell.day;
            if (cell.kind == orbicle::CellKind::PreviousMonth) value = cell.day + 100;
            if (cell.kind == orbicle::CellKind::NextMonth) value = cell.day + 200;
            setOutputValue(value);
            const int startDay = orbicle::ResolveStartDay(startDay_, locale());
            setOutputWeek(orbicle::WeekOfYear(QDate(yearIN_, monthIN_, 1), startDay) +
                          hit.index / 7);
            setIndexCM(hit.index + 8);
            if (event->button() == Qt::RightButton)
                emit RightClick();
            else
                emit Click();
            break;
        }
        case Part::Heading:
            setOutputValue(240 + hit.index);
            setOutputWeek(0);
            setIndexCM(hit.index + 1);
            emit ClickOnLabel();
            break;
        case Part::Week:
            setOutputWeek(layout_.weeks[hit.index].number);
            setOutputValue(230 + hit.index);
            setIndexCM(0);
            emit ClickOnWeek();
            break;
        case Part::None:
            QWidget::mousePressEvent(event);
            break;
    }
}

void Orbicle::mouseMoveEvent(QMouseEvent* event) {
    const Hit hit = HitTest(event->position().toPoint());
    const QPixmap* picture = nullptr;
    if (hit.part == Part::Cell) picture = &cursors_[0];
    if (hit.part == Part::Heading) picture = &cursors_[1];
    if (hit.part == Part::Week) picture = &cursors_[2];
    if (picture && !picture->isNull())
        setCursor(QCursor(*picture));
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}
