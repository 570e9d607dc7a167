#include "orbicle.h"

#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>

#include <atomic>

#include "calendar/aboutbox.h"
#include "platform/com/propertybag.h"
#include "platform/ui/olecolor.h"

namespace {

using orbicle::OleColor;
using ui::ToQColor;

std::atomic<int> g_liveInstances{0};

constexpr OleColor kWhite = 0x00FFFFFF;
constexpr OleColor kSilver = 0x00C0C0C0;
constexpr OleColor kBlack = 0x00000000;
constexpr OleColor kGrey = 0x00808080;
constexpr OleColor kMagenta = 0x00FF00FF;
constexpr std::array<const char*, 8> kColorNames{"Color_A", "Color_B", "Color_C", "Color_D",
                                                 "Color_E", "Color_F", "Color_G", "Color_H"};
constexpr std::array<const char*, 3> kCursorNames{"Cursor1", "Cursor2", "Cursor3"};

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

orbicle::MonthInput Orbicle::NewInstance() const {
    orbicle::MonthInput d;
    d.mask = kDefaultMask;
    d.othersMonths = 3;
    d.year = initialYear_;
    d.month = initialMonth_;
    d.labels = true;
    d.colors = {kWhite, kSilver, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite};
    d.colorLabels = kBlack;
    d.colorDayIn = kBlack;
    d.colorDayOut = kSilver;
    d.backColor = kGrey;
    d.colorWeek = kBlack;
    d.gridColor = kBlack;
    d.viewWeeks = true;
    d.small = false;
    d.startDay = 0;
    d.todayColor = kMagenta;
    return d;
}

void Orbicle::SetDefaults() {
    shown_ = NewInstance();
    outputValue_ = 0;
    outputWeek_ = 255;
    outputInfo_ = 0;
    cursors_ = {};
    setCMDay_ = 1;
    setCMColor_ = QStringLiteral("A");
    indexCM_ = 0;
}

orbicle::MonthInput Orbicle::Input() const {
    orbicle::MonthInput in = shown_;
    in.today = Today();
    in.locale = locale();
    in.firstWeekDays = orbicle::SystemFirstWeekDays();
    return in;
}

QDate Orbicle::Today() const { return QDate::currentDate(); }

void Orbicle::Action() {
    const auto layout = orbicle::ComputeMonthLayout(Input());
    // The setters and the bag reader keep the state in range; otherwise there is nothing to show.
    if (!layout) return;
    layout_ = *layout;
    setOutputInfo(layout_.outputInfo);
    setFixedSize(orbicle::ToPixels(layout_.size));
    update();
    setIndexCM(0);
    emit Change();
}

void Orbicle::SetCM() {
    if (setCMDay_ < 1 || setCMDay_ > orbicle::DaysInMonth(shown_.year, shown_.month)) return;
    if (setCMColor_.size() != 1) return;
    const QChar letter = setCMColor_.at(0).toUpper();
    if (letter < u'A' || letter > u'H') return;
    const int position = layout_.startPosition + 7 + setCMDay_;  // counted from 1
    // A mask too short to reach the day is filled with blanks, which choose no colour and so
    // paint as the missing positions did.
    QString mask = shown_.mask.leftJustified(position, u' ');
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
    const orbicle::MonthInput d = NewInstance();
    shown_.mask = ReadText(bag, "ColorMask", d.mask);
    shown_.othersMonths = ReadWhole(bag, "OthersMonths", d.othersMonths, 0, 255);
    shown_.year = ReadWhole(bag, "YearIN", d.year, 1900, 2199);
    shown_.month = ReadWhole(bag, "MonthIN", d.month, 1, 12);
    shown_.labels = ReadBool(bag, "Labels", d.labels);
    for (int i = 0; i < 8; ++i) shown_.colors[i] = ReadColor(bag, kColorNames[i], d.colors[i]);
    shown_.colorLabels = ReadColor(bag, "ColorLabels", d.colorLabels);
    shown_.colorDayIn = ReadColor(bag, "ColorDay_IN", d.colorDayIn);
    shown_.colorDayOut = ReadColor(bag, "ColorDay_OUT", d.colorDayOut);
    shown_.backColor = ReadColor(bag, "BackColor", d.backColor);
    shown_.colorWeek = ReadColor(bag, "ColorWeek", d.colorWeek);
    shown_.gridColor = ReadColor(bag, "GridColor", d.gridColor);
    shown_.viewWeeks = ReadBool(bag, "ViewWeeks", d.viewWeeks);
    outputValue_ = ReadWhole(bag, "OutputValue", 0, 0, 255);
    shown_.small = ReadBool(bag, "Small", d.small);
    outputWeek_ = ReadWhole(bag, "OutputWeek", 255, 0, 255);
    outputInfo_ = ReadWhole(bag, "OutputInfo", 0, -32768, 32767);
    for (int i = 0; i < 3; ++i) cursors_[i] = ReadPicture(bag, kCursorNames[i]);
    shown_.startDay = ReadWhole(bag, "StartDay", d.startDay, 0, 7);
    setCMDay_ = ReadWhole(bag, "SetCMDay", 1, 0, 255);
    setCMColor_ = ReadText(bag, "SetCMColor", QStringLiteral("A"));
    indexCM_ = ReadWhole(bag, "IndexCM", 0, 0, 255);
    shown_.todayColor = ReadColor(bag, "TodayColor", d.todayColor);
    Action();
}

QVariantList Orbicle::WriteProperties() const {
    com::PropertyBag bag;
    const orbicle::MonthInput d = NewInstance();
    const auto write = [&bag](const char* key, const QVariant& v, const QVariant& def) {
        bag.WriteProperty(QLatin1String(key), v, def);
    };
    write("ColorMask", shown_.mask, d.mask);
    write("OthersMonths", shown_.othersMonths, d.othersMonths);
    write("YearIN", shown_.year, d.year);
    write("MonthIN", shown_.month, d.month);
    write("Labels", shown_.labels, d.labels);
    for (int i = 0; i < 8; ++i) write(kColorNames[i], shown_.colors[i], d.colors[i]);
    write("ColorLabels", shown_.colorLabels, d.colorLabels);
    write("ColorDay_IN", shown_.colorDayIn, d.colorDayIn);
    write("ColorDay_OUT", shown_.colorDayOut, d.colorDayOut);
    write("BackColor", shown_.backColor, d.backColor);
    write("ColorWeek", shown_.colorWeek, d.colorWeek);
    write("GridColor", shown_.gridColor, d.gridColor);
    write("ViewWeeks", shown_.viewWeeks, d.viewWeeks);
    write("OutputValue", outputValue_, QVariant());  // no default: always written
    write("Small", shown_.small, d.small);
    write("OutputWeek", outputWeek_, QVariant());
    write("OutputInfo", outputInfo_, 0);
    for (int i = 0; i < 3; ++i) write(kCursorNames[i], PictureBytes(cursors_[i]), QVariant());
    write("StartDay", shown_.startDay, d.startDay);
    write("SetCMDay", setCMDay_, 1);
    write("SetCMColor", setCMColor_, QStringLiteral("A"));
    write("IndexCM", indexCM_, 0);
    write("TodayColor", shown_.todayColor, d.todayColor);
    return bag.ToVariant();
}

QSize Orbicle::sizeHint() const { return orbicle::ToPixels(layout_.size); }

void Orbicle::paintEvent(QPaintEvent*) {
    using orbicle::ToPixels;
    QPainter p(this);
    p.fillRect(rect(), ToQColor(layout_.backColor));
    const auto box = [&p, this](const orbicle::Box& b) {
        if (!b.visible) return;
        const QRect r = ToPixels(b.rect);
        p.fillRect(r, ToQColor(b.backColor));
        if (b.text.isEmpty()) return;
        QFont f = font();
        f.setPointSize(b.fontSize);
        f.setBold(b.bold);
        p.setFont(f);
        p.setPen(ToQColor(b.foreColor));
        p.drawText(r, Qt::AlignCenter, b.text);
    };
    for (const auto& h : layout_.headings) box(h);
    for (const auto& c : layout_.cells) box(c);
    for (const auto& w : layout_.weeks) box(w);
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
            setOutputWeek(layout_.weeks[hit.index / 7].number);
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
