#pragma once

#include <QAbstractListModel>
#include <QComboBox>
#include <QList>
#include <QString>
#include <QVariant>

// Names with a key each (Qt::UserRole), for lists of thousands: filled in one go, and telling
// the view that every row is as high as the first.
class KeyedNameModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;
    void SetNames(QStringList names, QList<QVariant> keys);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    QStringList names_;
    QList<QVariant> keys_;
};

// A combo box that keeps the width its layout gives it whatever it lists: a long entry is
// elided in the box, with the whole of it as the tooltip, and shown whole in the list, which
// opens wide enough for it (up to the screen's width). Its list is a KeyedNameModel.
class ElidingComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit ElidingComboBox(QWidget* parent = nullptr);
    KeyedNameModel* names() const { return names_; }
    // The text the box shows for its current entry in its present width.
    QString ShownText() const;
    void showPopup() override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    KeyedNameModel* names_;
};

// Fills `box` with the customers' names, each keyed by its CompanyID, in the order the database
// gives them, then `lastEntry` without a key when there is one; no entry is chosen. One list for
// every editor that names a customer, so that none is sized by its longest name.
void LoadCustomerList(ElidingComboBox* box, const QString& lastEntry = QString());
