// Write-back of inserts, edits and deletes against the simulator's demo instance through the
// real driver: a row changed or deleted by someone else is not taken as written, a key-less
// delete never hits duplicates, and server errors keep the record in editing.
#include "DemoSimSuite.h"
#include "EDatabaseError.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"

#include <gtest/gtest.h>

using testsupport::DemoSimSuite;

namespace {

class WriteBack : public DemoSimSuite {
protected:
    TADOConnection connection; // the editing session
    TADOConnection other;      // someone else on the same server
    TADOQuery query;

    void SetUp() override {
        ASSERT_TRUE(sim->started());
        for (TADOConnection* c : {&connection, &other}) {
            c->SetConnectionString(SaConnectionString("Sales"));
            c->Open();
        }
        query.SetConnection(&connection);
    }
    int count(const QString& sql) {
        auto rs = other.Execute(sql);
        return rs->Fields(0).Value().toInt();
    }
    void locate(const QString& field, const QVariant& value) {
        for (query.First(); !query.Eof(); query.Next()) {
            if (query.FieldByName(field)->Value() == value)
                return;
        }
        FAIL() << "no row with " << field.toStdString() << " = " << value.toString().toStdString();
    }
};

TEST_F(WriteBack, InsertEditDeleteByTheKeyAndServerErrorsKeepTheRecordInEditing) {
    other.Execute(
        "create table WbOrders (id int primary key, name nvarchar(50) not null, note nvarchar(100))");
    other.Execute(
        "insert into WbOrders values (1, N'Anna', null), (2, N'Boris', N'first'), (3, N'carl', N'x')");
    query.SetSQLText("select * from WbOrders");
    query.Open();
    EXPECT_TRUE(query.CanModify());
    EXPECT_TRUE(query.FieldByName("id")->IsKeyColumn());
    EXPECT_FALSE(query.FieldByName("name")->IsKeyColumn());

    query.Append();
    query.FieldByName("id")->SetAsInteger(1);
    query.FieldByName("name")->SetAsString("O'Neil");
    try {
        query.Post();
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith("Violation of PRIMARY KEY constraint"))
            << e.Message().toStdString();
        EXPECT_EQ(e.NativeError(), 2627);
    }
    EXPECT_EQ(query.State(), dsInsert);
    query.FieldByName("id")->SetAsInteger(4);
    query.Post();
    EXPECT_EQ(query.State(), dsBrowse);
    EXPECT_EQ(count("select count(*) from WbOrders where id = 4 and name = N'O''Neil'"), 1);

    ASSERT_TRUE(query.Locate("id", 2));
    query.Edit();
    query.FieldByName("note")->Clear();
    query.Post();
    EXPECT_EQ(count("select count(*) from WbOrders where id = 2 and note is null"), 1);
    query.Edit();
    query.FieldByName("name")->Clear(); // not null on the server
    EXPECT_THROW(query.Post(), EDatabaseError);
    EXPECT_EQ(query.State(), dsEdit);
    query.Cancel();
    ASSERT_TRUE(query.Locate("id", 3));
    query.Delete();
    EXPECT_EQ(query.RecordCount(), 3);
    EXPECT_EQ(count("select count(*) from WbOrders"), 3);
    EXPECT_EQ(count("select count(*) from WbOrders where id = 3"), 0);

    other.Execute("drop table WbOrders");
}

TEST_F(WriteBack, RowDeletedOrChangedByOthersFailsAndTheEditStaysOpen) {
    query.SetSQLText("select id, name, price from Products");
    query.Open();
    // Deleted meanwhile: the update by the key finds no row.
    other.Execute("delete from OrderLines where productId = 4; delete from Products where id = 4");
    locate("id", 4);
    query.Edit();
    query.FieldByName("price")->SetValue(12.5);
    try {
        query.Post();
        ADD_FAILURE() << "an update of a row deleted meanwhile was taken as done";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith("Row cannot be located for updating"))
            << e.Message().toStdString();
    }
    EXPECT_EQ(query.State(), dsEdit);
    EXPECT_DOUBLE_EQ(query.FieldByName("price")->Value().toDouble(), 12.5);
    query.Cancel();
    EXPECT_THROW(query.Delete(), EDatabaseError);
    EXPECT_EQ(query.RecordCount(), 30);
    // The row nobody touched is written.
    locate("id", 5);
    query.Edit();
    query.FieldByName("price")->SetValue(99);
    query.Post();
    EXPECT_EQ(count("select count(*) from Products where id = 5 and price = 99"), 1);

    // Without a key the row is found by all its values: one changed meanwhile is not found.
    other.Execute("create table WbMemo (text nvarchar(50), tag nvarchar(10))");
    other.Execute("insert into WbMemo values (N'one', null), (N'two', N'b')");
    TADOQuery memo;
    memo.SetConnection(&connection);
    memo.SetSQLText("select * from WbMemo");
    memo.Open();
    other.Execute("update WbMemo set tag = N'c' where text = N'two'");
    ASSERT_TRUE(memo.Locate("text", "two"));
    memo.Edit();
    memo.FieldByName("text")->SetAsString("mine");
    EXPECT_THROW(memo.Post(), EDatabaseError);
    EXPECT_EQ(memo.State(), dsEdit);
    memo.Cancel();
    // A NULL in the row is matched as NULL: the update finds its row.
    ASSERT_TRUE(memo.Locate("text", "one"));
    memo.Edit();
    memo.FieldByName("text")->SetAsString("edited");
    memo.Post();
    EXPECT_EQ(count("select count(*) from WbMemo where text = N'edited' and tag is null"), 1);
    other.Execute("drop table WbMemo");
}

TEST_F(WriteBack, KeylessEditAndDeleteRefuseDuplicatesAndWriteAUniqueRow) {
    other.Execute("create table WbNotes (code int, note nvarchar(20))");
    other.Execute("insert into WbNotes values (1, N'twin'), (1, N'twin'), (2, N'single')");
    query.SetSQLText("select code, note from WbNotes");
    query.Open();
    EXPECT_FALSE(query.FieldByName("code")->IsKeyColumn());
    locate("code", 1);
    try {
        query.Delete();
        ADD_FAILURE() << "a delete by all columns was sent for a row that has a duplicate";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains("2 rows")) << e.Message().toStdString();
    }
    EXPECT_EQ(count("select count(*) from WbNotes where code = 1"), 2);
    EXPECT_EQ(query.RecordCount(), 3);
    query.Edit();
    query.FieldByName("note")->SetAsString("lost twin");
    EXPECT_THROW(query.Post(), EDatabaseError);
    EXPECT_EQ(query.State(), dsEdit);
    query.Cancel();
    EXPECT_EQ(count("select count(*) from WbNotes where note = N'lost twin'"), 0);
    locate("code", 2);
    query.Delete();
    EXPECT_EQ(count("select count(*) from WbNotes"), 2);
    other.Execute("drop table WbNotes");
}

// A select showing only part of a composite primary key is not keyed by it: the row is found by
// every column shown, and an edit that would hit two rows is refused instead of writing both.
TEST_F(WriteBack, PartOfACompositeKeyDoesNotIdentifyARow) {
    other.Execute("create table WbLines (orderId int, line int, qty int, "
                  "constraint PK_WbLines primary key (orderId, line))");
    other.Execute("insert into WbLines values (1, 1, 5), (1, 2, 5), (2, 1, 7)");
    query.SetSQLText("select orderId, qty from WbLines");
    query.Open();
    EXPECT_FALSE(query.FieldByName("orderId")->IsKeyColumn());
    locate("orderId", 1);
    query.Edit();
    query.FieldByName("qty")->SetAsInteger(6);
    EXPECT_THROW(query.Post(), EDatabaseError);
    EXPECT_EQ(query.State(), dsEdit);
    query.Cancel();
    EXPECT_EQ(count("select count(*) from WbLines where qty = 6"), 0);

    // With the whole key in the select the same edit changes exactly its own row.
    query.Close();
    query.SetSQLText("select orderId, line, qty from WbLines");
    query.Open();
    EXPECT_TRUE(query.FieldByName("orderId")->IsKeyColumn());
    EXPECT_TRUE(query.FieldByName("line")->IsKeyColumn());
    EXPECT_FALSE(query.FieldByName("qty")->IsKeyColumn());
    locate("line", 2);
    query.Edit();
    query.FieldByName("qty")->SetAsInteger(6);
    query.Post();
    EXPECT_EQ(count("select count(*) from WbLines where qty = 6"), 1);
    EXPECT_EQ(count("select count(*) from WbLines where orderId = 1 and line = 2 and qty = 6"), 1);
    query.Close();
    other.Execute("drop table WbLines");
}

TEST_F(WriteBack, DateTimeValuesFindTheirRowAsTheColumnsOwnType) {
    // A datetime holds 1/300 s ticks: compared as a datetime2 parameter .123 would miss its row.
    other.Execute("create table WbStamps (at datetime, label nvarchar(10))");
    other.Execute("insert into WbStamps values ('2004-03-15 13:45:07.123', N'a')");
    query.SetSQLText("select * from WbStamps");
    query.Open();
    query.Edit();
    query.FieldByName("label")->SetAsString("b");
    query.Post();
    EXPECT_EQ(count("select count(*) from WbStamps where label = N'b'"), 1);
    other.Execute("drop table WbStamps");
}

TEST_F(WriteBack, IdentityIsReadOnlyAndTheInsertedRowGetsItsNewValue) {
    other.Execute("create table WbTickets (id int identity(40,1) primary key, title nvarchar(50))");
    other.Execute("insert into WbTickets (title) values (N'first')");
    query.SetSQLText("select * from WbTickets");
    query.Open();
    TField* id = query.FieldByName("id");
    EXPECT_TRUE(id->ReadOnly());
    EXPECT_EQ(id->DataType(), ftAutoInc);
    query.Append();
    EXPECT_THROW(id->SetAsInteger(5), EDatabaseError);
    query.FieldByName("title")->SetAsString("new");
    query.Post();
    EXPECT_EQ(id->AsInteger(), 41);
    EXPECT_EQ(query.RecordCount(), 2);
    other.Execute("drop table WbTickets");
}

TEST_F(WriteBack, AConnectionDestroyedUnderARaisingCloseEventGoesQuietly) {
    auto own = std::make_unique<TADOConnection>();
    own->SetConnectionString(SaConnectionString("Sales"));
    own->Open();
    TADOQuery orders;
    orders.SetConnection(own.get());
    orders.SetSQLText("select id from Orders");
    orders.Open();
    orders.AfterClose = [](TDataSet*) { throw EDatabaseError("after close failed"); };
    // The query closes with its connection; its event's error must not leave the destructor.
    EXPECT_NO_THROW(own.reset());
    EXPECT_FALSE(orders.Active());
}

} // namespace
