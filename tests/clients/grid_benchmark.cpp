// Times binding and painting the client grid with many rows.
//   build/bin/hardcopy_grid_benchmark [rows]     (QT_QPA_PLATFORM=offscreen)
#include "clients/client_grid_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>

namespace {

hc::db::ResultSetPtr manyClients(int rows)
{
    std::vector<hc::db::ResultSet::Row> data;
    data.reserve(std::size_t(rows));
    const QDateTime received(QDate(2024, 3, 1), QTime(0, 0));
    for (int i = 0; i < rows; ++i) {
        data.push_back({qint64{1000 + i}, QStringLiteral("Client contact %1").arg(i), QStringLiteral("EU-%1").arg(i),
                        received.addDays(i % 30), qint64{i % 25}, qint64{rows * 12}, QStringLiteral("KORVEL"),
                        hc::db::Value()});
    }
    return std::make_shared<hc::db::ResultSet>(
        QStringList{"CONTACT_ID", "CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES", "TOTAL_REPORTS", "LABCODE",
                    "NOTE"},
        std::move(data));
}

} // namespace

int main(int argc, char **argv)
{
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;

    hc::clients::ClientGridModel model;
    QTableView view;
    view.resize(385, 137);
    hc::clients::prepareClientGrid(view);
    view.setModel(&model);
    view.show();
    QApplication::processEvents();

    const hc::db::ResultSetPtr clients = manyClients(rows);
    QElapsedTimer clock;
    clock.start();
    model.setResultSet(clients);
    view.setCurrentIndex(model.index(0, hc::clients::showClientColumns(view, model)));
    view.viewport()->repaint();
    const qint64 bindMs = clock.elapsed();

    clock.restart();
    constexpr int kPages = 200;
    for (int page = 0; page < kPages; ++page) {
        view.verticalScrollBar()->setValue(page * view.verticalScrollBar()->maximum() / kPages);
        view.viewport()->repaint();
    }
    const double pageMs = double(clock.elapsed()) / kPages;

    std::printf("%d rows: bind and first paint %lld ms, scroll and paint %.3f ms a page\n", rows,
                static_cast<long long>(bindMs), pageMs);
    return 0;
}
