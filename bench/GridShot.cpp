// Shows a grouped grid (group panel, a sorted header, a footer with a count and a money sum) over
// a few hundred orders, for a look at it on a screen (run under Xvfb and take a screenshot).
// Closes itself after the given number of seconds (default 30). --flat shows the same rows ungrouped;
// --save FILE writes the painted grid to an image and quits.
#include "TApplication.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TdxDBGrid.h"
#include "TdxGridView.h"

#include <QTimer>

namespace {

class OrdersDataSet : public TDataSet {
protected:
    void InternalOpen() override {
        auto col = [](const char* name, TStorageKind kind, TFieldType type, int scale) {
            TColumnInfo c;
            c.name = QString::fromLatin1(name);
            c.kind = kind;
            c.fieldType = type;
            c.scale = scale;
            c.precision = 19;
            c.definedSize = kind == TStorageKind::Text ? 40 : 8;
            return c;
        };
        MutableStore().SetColumns({col("OrderID", TStorageKind::Int32, ftInteger, 0),
                                   col("Customer", TStorageKind::Text, ftWideString, 0),
                                   col("City", TStorageKind::Text, ftWideString, 0),
                                   col("Status", TStorageKind::Text, ftWideString, 0),
                                   col("Ordered", TStorageKind::DateTime, ftDateTime, 0),
                                   col("Paid", TStorageKind::Bool, ftBoolean, 0),
                                   col("Amount", TStorageKind::Decimal64, ftCurrency, 4)});
        const QStringList customers = {"Alder & Sons",     "Birchwood Ltd", "Copper Kettle", "Dunmore Farms",
                                       "Elm Street Café",  "Fjord Freight", "Granite Works", "Harbour Lights",
                                       "Ironbridge Tools", "Juniper Books"};
        const QStringList cities = {"Bergen", "Leeds", "Lyon", "Porto", "Tallinn"};
        const QStringList statuses = {"Open", "Shipped", "Delivered"};
        const QDateTime start(QDate(2026, 1, 5), QTime(9, 30));
        for (int i = 0; i < 240; ++i) {
            const int amountCents = (i * 7919) % 250000 + 1500;
            MutableStore().AppendValues({10400 + i, customers[(i * 7) % customers.size()],
                                         cities[(i * 3 + i / 7) % cities.size()], statuses[(i * 5) % 3],
                                         start.addSecs(qint64(i) * 37 * 3600), i % 4 != 0,
                                         QString::number(amountCents / 100.0, 'f', 2)});
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    OrdersDataSet data;
    data.Open();
    TDataSource source;
    source.SetDataSet(&data);

    TdxDBGrid grid(nullptr, "dxdbgOrders");
    grid.setWindowTitle("Orders");
    grid.SetDataSource(&source);
    grid.SetOptionsDB(grid.OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    grid.SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoAutoWidth | TdxDBGrid::edgoIncSearch);
    grid.SetFiltering(true);
    grid.BeginUpdate();
    grid.SetDefaultFields(true);
    grid.ColumnByFieldName("OrderID")->SetWidth(60);
    grid.ColumnByFieldName("OrderID")->SetSummaryFooterType(cstCount);
    grid.ColumnByFieldName("Customer")->SetWidth(150);
    grid.ColumnByFieldName("Ordered")->SetWidth(130);
    grid.ColumnByFieldName("Paid")->SetWidth(40);
    grid.ColumnByFieldName("Amount")->SetSummaryFooterType(cstSum);
    grid.ColumnByFieldName("Amount")->SetSummaryFooterFormat(",0.00");
    grid.EndUpdate();
    grid.SetShowSummaryFooter(true);
    grid.SetShowGroupPanel(true);
    const bool flat = app.arguments().contains("--flat");
    if (!flat) {
        grid.GroupByColumn(grid.ColumnByFieldName("City"), 0);
        grid.GroupByColumn(grid.ColumnByFieldName("Status"), 1);
    }
    grid.SortByColumn(grid.ColumnByFieldName("Amount"), false);
    grid.SortByColumn(grid.ColumnByFieldName("Amount"), false);
    grid.FullCollapse();
    grid.resize(820, 560);
    grid.move(0, 0);
    grid.show();
    // Open the first city and its first status so rows show under the groups.
    TdxGridModel* m = grid.Model();
    if (flat) {
        grid.View()->setCurrentIndex(m->index(3, 0));
    } else {
        grid.View()->expand(m->index(0, 0));
        grid.View()->expand(m->index(0, 0, m->index(0, 0)));
        grid.View()->expand(m->index(1, 0));
        grid.View()->expand(m->index(1, 0, m->index(1, 0)));
        grid.View()->setCurrentIndex(m->index(1, 0, m->index(0, 0, m->index(0, 0))));
    }
    grid.View()->setFocus();
    if (app.arguments().contains("--customize")) {
        // The other pieces: a filter in force and the customisation box with a hidden column.
        grid.ColumnByFieldName("Paid")->SetVisible(false);
        grid.SetColumnFilter(grid.ColumnByFieldName("Customer"), "Fjord Freight");
        grid.SetColumnsCustomizingPos(grid.mapToGlobal(QPoint(0, grid.HeaderAreaHeight())));
        grid.SetColumnsCustomizingRowCount(4);
        grid.ColumnsCustomize();
        grid.FullExpand();
    }
    const int save = int(app.arguments().indexOf("--save"));
    if (save > 0 && save + 1 < app.arguments().size()) {
        const QString file = app.arguments()[save + 1];
        QTimer::singleShot(300, &app, [&grid, file] {
            grid.grab().save(file);
            QApplication::quit();
        });
        return app.exec();
    }
    int seconds = 30;
    for (const QString& a : app.arguments().mid(1)) {
        bool number = false;
        const int n = a.toInt(&number);
        if (number)
            seconds = n;
    }
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
