#include <QHeaderView>
#include <QtTest>

#include "core/flexgrid.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

class TestFlexGrid : public QObject {
    Q_OBJECT
private slots:
    // A long list fitted to its contents counts the rows the view measures, those before the
    // first in view included, whether the list is shown or hidden behind another page.
    void fittedWidthCountsEveryRowMeasured_data() {
        QTest::addColumn<int>("top");       // first row in view; -1: scrolled to the end
        QTest::addColumn<int>("wideFrom");  // the long text's row, from the first in view
        QTest::addColumn<bool>("shown");
        QTest::newRow("end, shown") << -1 << -5 << true;
        QTest::newRow("end, hidden") << -1 << -20 << false;
        QTest::newRow("middle, shown") << 300 << -3 << true;
        QTest::newRow("start, shown") << 0 << 30 << true;
    }
    void fittedWidthCountsEveryRowMeasured() {
        QFETCH(int, top);
        QFETCH(int, wideFrom);
        QFETCH(bool, shown);
        testsupport::TestEnv env;
        db::Connection& c = env.connection();
        constexpr int kRows = 3 * FlexGrid::kFilledAtOnce;
        QVERIFY(c.BeginTrans());
        for (int i = 0; i < kRows; ++i) testsupport::AddCompany(c, QStringLiteral("x"));
        QVERIFY(c.CommitTrans());
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("SELECT CompanyID, CompanyName FROM Companies ORDER BY CompanyID"), c));

        FlexGrid grid;
        grid.resize(300, 10 * grid.verticalHeader()->defaultSectionSize());
        grid.Bind(rs);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        if (top < 0) {
            grid.scrollToBottom();
        } else {
            grid.scrollTo(grid.model()->index(top, 0), QAbstractItemView::PositionAtTop);
        }
        QCoreApplication::processEvents();
        const int first = grid.rowAt(0);
        QVERIFY(first >= 0);
        if (!shown) grid.hide();

        const QString wide(20, u'M');
        grid.SetColText(1, [&](int row) { return row - 1 == first + wideFrom ? wide : QStringLiteral("x"); });
        QVERIFY(FittedColumnWidth(&grid, 1, 10) >= grid.fontMetrics().horizontalAdvance(wide));
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
