#pragma once

#include <QString>
#include <QStringList>

// How the ODBC logon window lists drivers and composes its connection string.
namespace odbclogon {

// The data-source list's first entry: no data source, a driver and server instead.
inline const QString kNoDataSource = QStringLiteral("(None)");

// Each run of equal neighbouring entries becomes one.
QStringList CollapseNeighbouringDuplicates(QStringList entries);

struct LogonValues {
    QString dataSource;  // empty: none, the driver and server are used
    QString driver;
    QString server;
    QString user;
    QString password;
    QString database;
};

// "PROVIDER=MSDataShape;Data PROVIDER=MSDASQL;" then "DSN=" or "Driver=...;Server=...", then
// user, password and (when given) database; a value holding ";" is braced.
QString ConnectionString(const LogonValues& values);

}  // namespace odbclogon
