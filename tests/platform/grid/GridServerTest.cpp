// The grid over a query answered by the simulator through the real ODBC driver: the driver's types
// give the column kinds, money sums in the footer, and a cell edit is written back to the server.
#include "SimProcess.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "TdxDBGrid.h"
#include "TdxGridView.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class GridServerTest : public ::testing::Test {
protected:
    static inline testsupport::SimProcess* sim = nullptr;
    TADOConnection connection;
    QStringList errors;

    static QString connectionString() {
        return QStringLiteral("Data Source=127.0.0.1,%1;Initial Catalog=Sales;User ID=sa;Password=sa")
            .arg(sim->port());
    }
    static void SetUpTestSuite() {
        sim = new testsupport::SimProcess({"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
        TADOConnection setup;
        setup.SetConnectionString(connectionString());
        setup.Open();
        setup.Execute("create table GridRows (id int primary key, name nvarchar(50), kind varchar(10), "
                      "amount money, created datetime)");
        setup.Execute(
            "insert into GridRows values (1, N'carl', 'U', 1234.5, '2024-05-01 09:00'), "
            "(2, N'Anna', 'P', 10, '2024-05-02 09:00'), (3, N'bert', 'U', 0.25, '2024-04-30 09:00'), "
            "(4, N'Cecil', 'P', -5, NULL)");
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        connection.SetConnectionString(connectionString());
        connection.Open();
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
};

TEST_F(GridServerTest, ServerRowsAreSortedGroupedSummedAndEditedThroughTheGrid) {
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQLText("select id, name, kind, amount, created from GridRows");
    query.Open();
    TDataSource source;
    source.SetDataSet(&query);
    TdxDBGrid grid(nullptr, "dxDBGrid");
    grid.SetDataSource(&source);
    grid.SetOptionsDB(grid.OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    grid.SetDefaultFields(true);
    grid.resize(600, 300);
    grid.show();
    ASSERT_EQ(grid.ColumnCount(), 5);
    TdxDBGridColumn* amount = grid.ColumnByFieldName("amount");
    EXPECT_EQ(grid.ColumnByFieldName("id")->Kind(), ckNumber);
    EXPECT_EQ(amount->Kind(), ckCurrency);
    EXPECT_EQ(grid.ColumnByFieldName("created")->Kind(), ckDate);
    amount->SetSummaryFooterType(cstSum);
    EXPECT_EQ(grid.SummaryText(amount), "1,239.75");

    // Dates sort in time order with NULL first; text without regard to case.
    grid.SortByColumn(grid.ColumnByFieldName("created"), false);
    QStringList names;
    for (int p = 0; p < 4; ++p)
        names << grid.Model()->CellText(grid.Model()->OrderedStoreRow(p), 1);
    EXPECT_EQ(names, QStringList({"Cecil", "bert", "carl", "Anna"}));
    grid.GroupByColumn(grid.ColumnByFieldName("kind"), 0);
    ASSERT_EQ(grid.TopNodeCount(), 2);
    EXPECT_EQ(grid.Model()->index(1, 0).data(TdxGridModel::GroupCountRole).toInt(), 2);

    // An edit in a cell is posted to the server when the grid moves on.
    grid.SetOptionsView({});
    query.First();
    const QModelIndex cell = grid.Model()->IndexOfStoreRow(0, 1);
    ASSERT_TRUE(grid.Model()->setData(cell, "Carl", Qt::EditRole));
    grid.View()->setCurrentIndex(grid.Model()->IndexOfStoreRow(1, 1));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(query.State(), dsBrowse);
    TADOQuery check;
    check.SetConnection(&connection);
    check.SetSQLText("select name from GridRows where id = 1");
    check.Open();
    EXPECT_EQ(check.FieldByName("name")->AsString(), "Carl");
}

} // namespace
