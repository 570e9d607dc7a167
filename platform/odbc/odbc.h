#pragma once

#include <QString>
#include <optional>
#include <vector>

// The data sources the ODBC driver manager (unixODBC) knows, as it lists them: the user's
// first, then the system's. unixODBC reads them from $ODBCINI and $ODBCSYSINI/odbc.ini
// (by default ~/.odbc.ini and /etc/odbc.ini).
namespace odbc {

struct DataSource {
    QString name;
    QString driver;  // the driver's description, as the data source names it
};

// nullopt when no ODBC environment could be allocated.
std::optional<std::vector<DataSource>> DataSources();

}  // namespace odbc
