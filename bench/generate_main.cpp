// ambrelle-generate PATH: writes a new database filled with a business's worth of rows.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "bench/generator.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Writes a new Ambrelle database filled with generated rows."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("PATH"),
                            QStringLiteral("the database file to write (must not exist)"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("random seed (default 1)"),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption appointments(QStringLiteral("appointments"),
                                          QStringLiteral("appointments (50000)"),
                                          QStringLiteral("N"), QStringLiteral("50000"));
    const QCommandLineOption invoices(QStringLiteral("invoices"),
                                      QStringLiteral("invoices (10000)"), QStringLiteral("N"),
                                      QStringLiteral("10000"));
    const QCommandLineOption expenses(QStringLiteral("expenses"),
                                      QStringLiteral("expenses (20000)"), QStringLiteral("N"),
                                      QStringLiteral("20000"));
    const QCommandLineOption customers(QStringLiteral("customers"),
                                       QStringLiteral("customers (500)"), QStringLiteral("N"),
                                       QStringLiteral("500"));
    const QCommandLineOption years(
        QStringLiteral("years"),
        QStringLiteral("years of business up to today (default 10; 0: as 0-4 appointments a "
                       "day need)"),
        QStringLiteral("N"), QStringLiteral("10"));
    p.addOptions({seed, appointments, invoices, expenses, customers, years});
    p.process(app);
    if (p.positionalArguments().size() != 1) {
        std::fprintf(stderr, "usage: ambrelle-generate [options] PATH\n");
        return 2;
    }
    bench::Sizes sizes;
    bool ok = true;
    auto number = [&](const QCommandLineOption& o) {
        bool good = false;
        const int v = p.value(o).toInt(&good);
        if (!good || v < 0) {
            std::fprintf(stderr, "--%s wants a whole number of 0 or more\n",
                         qPrintable(o.names().first()));
            ok = false;
        }
        return v;
    };
    sizes.appointments = number(appointments);
    sizes.invoices = number(invoices);
    sizes.expenses = number(expenses);
    sizes.customers = number(customers);
    sizes.years = number(years);
    bool seedOk = false;
    const auto seedValue = static_cast<std::uint32_t>(p.value(seed).toUInt(&seedOk));
    if (!seedOk) std::fprintf(stderr, "--seed wants a whole number\n");
    if (!ok || !seedOk) return 2;

    QElapsedTimer timer;
    timer.start();
    QString error;
    bench::Generated g;
    if (!bench::GenerateDatabase(p.positionalArguments().first(), sizes, seedValue, &error, &g)) {
        std::fprintf(stderr, "ambrelle-generate: %s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "%d appointments (%d cancelled, %d invoiced, %d series masters with %d occurrences), %s to "
        "%s\n"
        "%d invoices, %d expenses, %d customers, %d contacts\n"
        "written in %.2f s\n",
        g.appointments, g.cancelled, g.invoiced, g.masters, g.occurrences,
        qPrintable(g.firstDay.toString(Qt::ISODate)), qPrintable(g.lastDay.toString(Qt::ISODate)),
        g.invoices, g.expenses, g.customers, g.contacts, timer.elapsed() / 1000.0);
    return 0;
}
