#include "datacontrol.h"

#include <QHBoxLayout>
#include <QStyle>

namespace db {

bool HasCurrentRow(const Recordset& rs) {
    return rs.State() == adStateOpen && rs.AbsolutePosition() > 0;
}

namespace {

// Clears a flag on every way out.
class Busy {
  public:
    explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
    ~Busy() { flag_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    bool& flag_;
};

}  // namespace

// ---- BoundFields ---------------------------------------------------------------------

BoundFields::BoundFields(QObject* parent) : QObject(parent) {}

void BoundFields::setRecordset(const Recordset& rs) { rs_ = Recordset::FromView(rs.view()); }

void BoundFields::bind(QLineEdit* box, const QString& field) {
    bindings_.push_back({box, field, QString()});
    // Boxes bound to one field show one value: what is typed into one shows in the others.
    connect(box, &QLineEdit::textEdited, this, [this, box, field](const QString& text) {
        for (Binding& b : bindings_) {
            auto* other = qobject_cast<QLineEdit*>(b.editor.data());
            if (other && other != box && b.field.compare(field, Qt::CaseInsensitive) == 0 &&
                other->text() != text)
                other->setText(text);
        }
    });
}

void BoundFields::bind(QCheckBox* box, const QString& field) {
    bindings_.push_back({box, field, static_cast<int>(Qt::Unchecked)});
}

QVariant BoundFields::EditorValue(const Binding& b) {
    if (auto* box = qobject_cast<QLineEdit*>(b.editor.data())) return box->text();
    if (auto* box = qobject_cast<QCheckBox*>(b.editor.data()))
        return static_cast<int>(box->checkState());
    return QVariant();
}

void BoundFields::Load() {
    const bool current = HasCurrentRow(rs_);
    for (Binding& b : bindings_) {
        if (!b.editor) continue;
        const QVariant value = current ? rs_.Value(b.field) : QVariant();
        if (auto* box = qobject_cast<QLineEdit*>(b.editor.data())) {
            const QString text = ValueText(value);
            box->setText(text);
            box->setCursorPosition(0);
            b.shown = text;
        } else if (auto* box = qobject_cast<QCheckBox*>(b.editor.data())) {
            const Qt::CheckState state =
                !IsNull(value) && value.toBool() ? Qt::Checked : Qt::Unchecked;
            box->setCheckState(state);
            b.shown = static_cast<int>(state);
        }
    }
}

bool BoundFields::Write() {
    lastError_.clear();
    if (!HasCurrentRow(rs_)) return true;
    for (Binding& b : bindings_) {
        if (!b.editor) continue;
        const QVariant now = EditorValue(b);
        if (now == b.shown) continue;
        QVariant value;
        if (qobject_cast<QCheckBox*>(b.editor.data())) {
            value = now.toInt() == Qt::Checked;
        } else if (!now.toString().isEmpty()) {
            value = now.toString();
        }
        if (!rs_.SetValue(b.field, value)) {
            lastError_ = rs_.LastError();
            return false;
        }
        b.shown = now;
    }
    return true;
}

// ---- DataControl ---------------------------------------------------------------------

DataControl::DataControl(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto button = [this, layout](const char* name) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(26);
        layout->addWidget(b);
        return b;
    };
    btnFirst = button("btnFirst");
    btnFirst->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
    btnPrevious = button("btnPrevious");
    btnPrevious->setArrowType(Qt::LeftArrow);
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("caption"));
    caption_->setFrameShape(QFrame::StyledPanel);
    caption_->setFrameShadow(QFrame::Sunken);
    caption_->setContentsMargins(6, 0, 6, 0);
    caption_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layout->addWidget(caption_, 1);
    btnNext = button("btnNext");
    btnNext->setArrowType(Qt::RightArrow);
    btnLast = button("btnLast");
    btnLast->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));

    connect(btnFirst, &QToolButton::clicked, this, [this] { Clicked(adRsnMoveFirst); });
    connect(btnPrevious, &QToolButton::clicked, this, [this] { Clicked(adRsnMovePrevious); });
    connect(btnNext, &QToolButton::clicked, this, [this] { Clicked(adRsnMoveNext); });
    connect(btnLast, &QToolButton::clicked, this, [this] { Clicked(adRsnMoveLast); });
}

void DataControl::setRecordset(const Recordset& rs) {
    for (const auto& c : follow_) disconnect(c);
    follow_.clear();
    rs_ = Recordset::FromView(rs.view());
    fields_.setRecordset(rs_);
    if (RecordsetNotifier* n = rs_.notifier()) {
        follow_ << connect(n, &RecordsetNotifier::moved, this, [this] { Followed(adRsnMove); });
        follow_ << connect(n, &RecordsetNotifier::rowsChanged, this,
                           [this] { Followed(adRsnRequery); });
        follow_ << connect(n, &RecordsetNotifier::valuesChanged, this, [this] {
            if (!navigating_) fields_.Load();
        });
    }
    fields_.Load();
    emit MoveComplete(adRsnMove);
}

bool DataControl::MoveFirst() { return Navigate(adRsnMoveFirst); }
bool DataControl::MovePrevious() { return Navigate(adRsnMovePrevious); }
bool DataControl::MoveNext() { return Navigate(adRsnMoveNext); }
bool DataControl::MoveLast() { return Navigate(adRsnMoveLast); }
bool DataControl::AddNew() { return Navigate(adRsnAddNew); }
bool DataControl::Update() { return Navigate(adRsnUpdate); }

bool DataControl::Navigate(EventReason reason) {
    lastError_.clear();
    if (rs_.State() != adStateOpen) {
        lastError_ = QStringLiteral("Operation is not allowed when the object is closed.");
        return false;
    }
    const bool move = reason == adRsnMoveFirst || reason == adRsnMovePrevious ||
                      reason == adRsnMoveNext || reason == adRsnMoveLast;
    if (move && blankNewRow_ && rs_.EditMode() == Recordset::adEditAdd && blankNewRow_())
        return LeaveBlankNewRow(reason);
    bool ok = false;
    {
        Busy busy(navigating_);
        ok = fields_.Write();
        if (!ok) {
            lastError_ = fields_.LastError();
        } else {
            const int pos = rs_.AbsolutePosition();
            const int count = rs_.RecordCount();
            switch (reason) {
                case adRsnMoveFirst:
                    ok = count > 0 ? rs_.MoveFirst() : rs_.Update();
                    break;
                case adRsnMoveLast:
                    ok = count > 0 ? rs_.MoveLast() : rs_.Update();
                    break;
                case adRsnMovePrevious:
                    ok = count == 0  ? rs_.Update()
                         : pos > 1   ? rs_.MovePrevious()
                         : pos == -3 ? rs_.MoveLast()
                                     : rs_.MoveFirst();
                    break;
                case adRsnMoveNext:
                    ok = count == 0                ? rs_.Update()
                         : pos >= 1 && pos < count ? rs_.MoveNext()
                         : pos == -2               ? rs_.MoveFirst()
                                                   : rs_.MoveLast();
                    break;
                case adRsnAddNew:
                    ok = rs_.AddNew();
                    break;
                default:
                    ok = rs_.Update();
                    break;
            }
            if (!ok) lastError_ = rs_.LastError();
        }
    }
    if (!ok) return false;
    fields_.Load();
    if (reason != adRsnUpdate) emit MoveComplete(reason);
    return true;
}

bool DataControl::LeaveBlankNewRow(EventReason reason) {
    // The row being added stands after the last saved one.
    if (reason == adRsnMoveNext || rs_.RecordCount() <= 1) return true;
    bool ok = false;
    {
        Busy busy(navigating_);
        ok = rs_.CancelUpdate() && (reason == adRsnMoveFirst ? rs_.MoveFirst() : rs_.MoveLast());
    }
    if (!ok) {
        lastError_ = rs_.LastError();
        return false;
    }
    fields_.Load();
    emit MoveComplete(reason);
    return true;
}

void DataControl::Clicked(EventReason reason) {
    if (!Navigate(reason)) emit Error(lastError_);
}

void DataControl::Followed(int reason) {
    if (navigating_) return;
    fields_.Load();
    emit MoveComplete(reason);
}

}  // namespace db
