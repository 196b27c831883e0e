// The data layer against the simulator through unixODBC and the FreeTDS driver.
#include "EDatabaseError.h"
#include "Server.h"
#include "SimServer.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "Variants.h"
#include "model/DemoInstance.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <sstream>

#include <fstream>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// A varbinary literal of the 256 bytes i * 31 (mod 256): repeated, byte i of the value is i * 31.
std::string byteBlock() {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = 0; i < 256; ++i) {
        const int b = (i * 31) & 0xFF;
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

// A bare simulated instance with a database Shop set up through SQL as sa: a table Orders (id int
// primary key, name nvarchar(50) not null, note nvarchar(100) null) with three rows, a table Payments
// with a row of datetime, decimal and bit values and a row of NULLs, a table Big with long values, and
// two logins whose passwords hold the connection string's separators, both users in Shop.
class DataServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_responder = makeBareInstance("Secret1");
        m_sim = std::make_unique<testsupport::SimServer>(*m_responder);
        m_server = &m_sim->server();
        m_port = m_sim->port();
        ASSERT_GT(m_port, 0);
        const QString setup[] = {
            "create database Shop",
            "exec sp_addlogin N'anna', N'p;a=s{s}}='",
            QStringLiteral("exec sp_addlogin N'olga', N'\u041f\u0430\u0440\u043e\u043b\u044c =;{'"),
            "use Shop; exec sp_grantdbaccess N'anna'; exec sp_grantdbaccess N'olga'",
            "create table Orders (id int primary key, name nvarchar(50) not null, note nvarchar(100) null); "
            "insert into Orders values (1, N'Anna', null); insert into Orders values (2, N'Boris', N'first'); "
            "insert into Orders values (3, N'carl', N'x')",
            "create table Payments (id int primary key, at datetime, amount decimal(18,2), flag bit); "
            "insert into Payments values (1, '2004-03-15T13:45:07.123', -1234.56, 1); "
            "insert into Payments (id) values (2)",
            "create table Big (id int primary key, [text] nvarchar(max), bytes varbinary(max), "
            "guid uniqueidentifier)",
            QString::fromStdString("declare @b varbinary(max) = " + byteBlock() +
                                   "; while datalength(@b) < 150000 set @b = @b + @b; "
                                   "declare @s nvarchar(max) = N'z\u0416'; "
                                   "while len(@s) < 100000 set @s = @s + @s; "
                                   "insert into Big values (1, left(@s, 100000), substring(@b, 1, 150000), "
                                   "'6F9619FF-8B86-D011-B42D-00C04FC964FF')"),
            "insert into Big values (2, null, null, null); "
            "insert into Big values (3, N'', 0x, '6F9619FF-8B86-D011-B42D-00C04FC964FF')",
        };
        TADOConnection sa;
        sa.SetConnectionString(connectionString("sa", "Secret1", "master"));
        try {
            sa.Open();
            for (const QString& batch : setup)
                sa.Execute(batch, TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
        } catch (const EDatabaseError& e) {
            FAIL() << "setting up: " << e.Message().toStdString();
        }
    }
    void TearDown() override {
        m_sim.reset();
        m_responder.reset();
    }

    QString connectionString(const QString& user = "sa", const QString& password = "Secret1",
                             const QString& database = "Shop") const {
        return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=127.0.0.1,%1;"
                              "Initial Catalog=%2;User ID=%3;Password=%4")
            .arg(m_port)
            .arg(database, user, password);
    }
    std::unique_ptr<TADOConnection> open() {
        auto c = std::make_unique<TADOConnection>();
        c->SetConnectionString(connectionString());
        c->Open();
        return c;
    }
    std::vector<QJsonObject> log() {
        std::vector<QJsonObject> out;
        std::istringstream in(m_sim->logText());
        std::string line;
        while (std::getline(in, line))
            out.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
        return out;
    }
    // The statements sent, batch texts and sp_executesql texts alike.
    QStringList statements() {
        QStringList out;
        for (const QJsonObject& o : log()) {
            if (o.value("type") == "batch")
                out << o.value("text").toString();
            else if (o.value("type") == "rpc") {
                QString line = o.value("proc").toString() + ":";
                for (const QJsonValue& p : o.value("params").toArray())
                    line += " " + p.toObject().value("value").toString();
                out << line;
            }
        }
        return out;
    }

    std::unique_ptr<sqlsim::Responder> m_responder;
    std::unique_ptr<testsupport::SimServer> m_sim;
    sqlsim::Server* m_server = nullptr;
    int m_port = 0;
};

QStringList descriptions(const QList<TAdoError>& errors) {
    QStringList out;
    for (const TAdoError& e : errors)
        out << QStringLiteral("%1:%2").arg(e.NativeError).arg(e.Description);
    return out;
}

} // namespace

TEST_F(DataServer, LogsOnWithPasswordsHoldingSeparatorsAndReportsRefusals) {
    TADOConnection c;
    c.SetConnectionString(connectionString("sa", "wrong"));
    try {
        c.Open();
        FAIL() << "a wrong password logged on";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Login failed for user 'sa'.");
        EXPECT_EQ(e.NativeError(), 18456);
    }
    EXPECT_FALSE(c.Connected());
    c.SetConnectionString(connectionString("anna", "p;a=s{s}}="));
    c.Open();
    EXPECT_TRUE(c.Connected());
    auto rs = c.Execute("select suser_sname()");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Fields(0).Text(), "anna");
    c.Close();
    EXPECT_FALSE(c.Connected());
    c.SetConnectionString(
        connectionString("olga", QStringLiteral("\u041f\u0430\u0440\u043e\u043b\u044c =;{")));
    c.Open();
    EXPECT_TRUE(c.Connected());
}

TEST_F(DataServer, BatchResultsAndMessagesInServerOrder) {
    auto c = open();
    auto rs = c->Execute("print 'before'; select id as a from Orders where id <= 2 order by id; "
                         "print 'between'; update Orders set note = note; select N'x' as b; print 'after'");
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->IsOpen());
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields(0).Name(), "a");
    EXPECT_EQ(rs->Fields(0).Type(), adInteger);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).Value().toInt(), 2);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    QStringList walked;
    while (rs->NextRecordset())
        walked << (rs->IsOpen() ? rs->Fields(0).Name() + "=" + rs->Fields(0).Text()
                                : QStringLiteral("count %1").arg(rs->RecordsAffected()));
    EXPECT_EQ(walked, QStringList({"count 3", "b=x"}));
    EXPECT_EQ(descriptions(c->Errors()), QStringList({"0:before", "0:between", "0:after"}));
    EXPECT_TRUE(c->Errors()[0].Informational);

    // eoExecuteNoRecords reads everything, keeps the messages and gives no recordset.
    EXPECT_EQ(c->Execute("print 'only'", TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords),
              nullptr);
    EXPECT_EQ(descriptions(c->Errors()), QStringList({"0:only"}));
}

TEST_F(DataServer, ErrorsCarryTheServerTextAndNumberAfterEarlierResults) {
    auto c = open();
    try {
        c->Execute("print 'first'; select 1/0");
        FAIL() << "no error raised";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Divide by zero error encountered.");
        EXPECT_EQ(e.NativeError(), 8134);
    }
    EXPECT_EQ(descriptions(c->Errors()), QStringList({"0:first", "8134:Divide by zero error encountered."}));

    auto rs = c->Execute("select 1 as a; print 'still delivered'; select 1/0");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Fields(0).Value().toInt(), 1);
    EXPECT_THROW(rs->NextRecordset(), EDatabaseError);
    EXPECT_TRUE(descriptions(c->Errors()).contains("0:still delivered"));
    // The session goes on after an error.
    rs = c->Execute("select 7");
    EXPECT_EQ(rs->Fields(0).Value().toInt(), 7);
}

TEST_F(DataServer, ParametersAreSentTypedNeverSpliced) {
    auto c = open();
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select :s, :cyr, :i, :b, :n, :u, :big, :at, :s");
    const QString quoted = QStringLiteral("O'Brien ]] -- '; drop table x");
    const QString cyrillic = QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440");
    const QString big(9000, QChar('w'));
    EXPECT_EQ(q.Parameters().Count(), 8);
    q.Parameters().ParamByName("S").SetValue(quoted);
    q.Parameters().ParamByName("cyr").SetValue(cyrillic);
    q.Parameters().ParamByName("i").SetValue(-42);
    q.Parameters().ParamByName("b").SetValue(true);
    q.Parameters().ParamByName("n").SetValue(NullVariant());
    q.Parameters().ParamByName("big").SetValue(big);
    q.Parameters().ParamByName("at").SetValue(QDateTime(QDate(2004, 3, 15), QTime(13, 45, 7, 123)));
    EXPECT_THROW(q.Parameters().ParamByName("missing"), EDatabaseError);
    q.Open();
    ASSERT_EQ(q.FieldCount(), 9);
    EXPECT_EQ(q.Fields()[0]->AsString(), quoted);
    EXPECT_EQ(q.Fields()[1]->AsString(), cyrillic);
    EXPECT_EQ(q.Fields()[2]->AsInteger(), -42);
    EXPECT_TRUE(q.Fields()[3]->AsBoolean());
    EXPECT_TRUE(q.Fields()[4]->IsNull());
    EXPECT_TRUE(q.Fields()[5]->IsNull()); // unassigned is NULL
    EXPECT_EQ(q.Fields()[6]->AsString(), big);
    EXPECT_EQ(q.Fields()[7]->AsString(), "2004-03-15 13:45:07.123");
    EXPECT_EQ(q.Fields()[8]->AsString(), quoted);
    // Each value comes back with the type it was declared with: real parameters, not spliced text.
    EXPECT_EQ(q.Fields()[2]->AdoType(), adInteger);
    EXPECT_EQ(q.Fields()[3]->AdoType(), adBoolean);
    EXPECT_EQ(q.Fields()[7]->AdoType(), adDBTimeStamp);
    // The statement text holds markers only; the values travel as parameters.
    QJsonObject rpc;
    for (const QJsonObject& o : log()) {
        if (o.value("type") == "rpc")
            rpc = o;
    }
    const QJsonArray params = rpc.value("params").toArray();
    ASSERT_GE(params.size(), 3);
    EXPECT_TRUE(params[0].toObject().value("value").toString().startsWith("select @P1, @P2"));
    EXPECT_FALSE(params[0].toObject().value("value").toString().contains("Brien"));
    EXPECT_EQ(params[2].toObject().value("value").toString(), quoted);
}

TEST_F(DataServer, DateTimeMillisecondsDecimalsAndNulls) {
    auto c = open();
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select at, amount, flag from Payments order by id");
    q.Open();
    EXPECT_EQ(q.FieldByName("at")->AsDateTime(), QDateTime(QDate(2004, 3, 15), QTime(13, 45, 7, 123)));
    EXPECT_EQ(q.FieldByName("at")->DataType(), ftDateTime);
    EXPECT_EQ(q.FieldByName("at")->AdoType(), adDBTimeStamp);
    EXPECT_EQ(q.FieldByName("amount")->AsString(), "-1234.56");
    EXPECT_EQ(q.FieldByName("amount")->AdoType(), adNumeric);
    EXPECT_TRUE(q.FieldByName("flag")->AsBoolean());
    EXPECT_EQ(q.FieldByName("flag")->AdoType(), adBoolean);
    q.Next();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(q.Fields()[i]->IsNull());
        EXPECT_TRUE(IsNullValue(q.Fields()[i]->Value()));
    }
}

TEST_F(DataServer, BookmarksLocateAndRefreshAgainstTheServer) {
    auto c = open();
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select * from Orders");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
    ASSERT_TRUE(q.Locate("name", "CARL", loCaseInsensitive));
    const TBookmark carl = q.GetBookmark();
    q.First();
    q.GotoBookmark(carl);
    EXPECT_EQ(q.FieldByName("id")->AsInteger(), 3);
    TField* name = q.FieldByName("name");

    auto other = open();
    other->Execute("update Orders set name = N'Anna-Maria' where id = 1; delete from Orders where id = 3",
                   TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
    q.Refresh();
    EXPECT_EQ(q.RecordCount(), 2);
    q.First();
    EXPECT_EQ(name->AsString(), "Anna-Maria"); // the same field object shows the new value
    EXPECT_FALSE(q.Locate("name", "carl", loCaseInsensitive));
}

TEST_F(DataServer, SharedConnectionObjectUsesTheSameSession) {
    auto a = open();
    TADOConnection b;
    EXPECT_FALSE(b.Connected());
    b.SetConnectionObject(a->ConnectionObject());
    EXPECT_TRUE(b.Connected());
    b.Execute("use master", TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
    auto rs = a->Execute("select db_name()");
    EXPECT_EQ(rs->Fields(0).Text(), "master");
    rs = b.Execute("select @@spid");
    const int spidB = rs->Fields(0).Value().toInt();
    rs = a->Execute("select @@spid");
    EXPECT_EQ(rs->Fields(0).Value().toInt(), spidB);
    a->Close();
    EXPECT_FALSE(b.Connected());
}

TEST_F(DataServer, CatalogsSchemaListsDatabases) {
    auto c = open();
    auto rs = c->OpenSchema(TADOConnection::siCatalogs);
    ASSERT_TRUE(rs && rs->IsOpen());
    QStringList names;
    for (; !rs->Eof(); rs->MoveNext())
        names << rs->Fields(0).Text();
    EXPECT_TRUE(names.contains("master"));
    EXPECT_TRUE(names.contains("Shop"));
}

TEST_F(DataServer, ServerGoneRaisesAndDisconnectsWithoutHanging) {
    auto c = open();
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select * from Orders");
    q.Open();
    m_server->stop();
    QElapsedTimer timer;
    timer.start();
    try {
        c->Execute("select 1");
        FAIL() << "no error after the server went away";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Connection to the server was lost.");
    }
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(c->Connected());
    // Rows already read stay readable: nothing in memory is lost with the connection.
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_THROW(c->Execute("select 1"), EDatabaseError);
}

TEST_F(DataServer, LongValuesAreReadInPiecesAndOtherTypesKeepTheirValues) {
    auto c = open();
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select * from Big order by id");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 3);
    const QString text = q.FieldByName("text")->AsString();
    ASSERT_EQ(text.size(), 100000);
    EXPECT_EQ(text[0], QChar('z'));
    EXPECT_EQ(text[99999], QChar(0x0416));
    const QByteArray bytes = q.FieldByName("bytes")->Value().toByteArray();
    ASSERT_EQ(bytes.size(), 150000);
    EXPECT_EQ(uint8_t(bytes[149999]), uint8_t(149999 * 31));
    EXPECT_EQ(q.FieldByName("guid")->AsString(), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(q.FieldByName("guid")->AdoType(), adGUID);
    EXPECT_EQ(q.FieldByName("text")->AdoType(), adLongVarWChar);
    q.Next();
    EXPECT_TRUE(q.FieldByName("text")->IsNull());
    EXPECT_TRUE(q.FieldByName("bytes")->IsNull());
    EXPECT_TRUE(q.FieldByName("guid")->IsNull());
    q.Next();
    EXPECT_FALSE(q.FieldByName("text")->IsNull()); // empty, not NULL
    EXPECT_EQ(q.FieldByName("text")->AsString(), "");
}

TEST_F(DataServer, ExecSqlCountsRowsAndANewCommandEndsPendingResults) {
    auto c = open();
    TADOQuery update;
    update.SetConnection(c.get());
    update.SetSQLText("print 'updating'; update Orders set note = :note");
    update.Parameters().ParamByName("note").SetValue("n");
    EXPECT_EQ(update.ExecSQL(), 3);
    EXPECT_EQ(descriptions(c->Errors()), QStringList({"0:updating"}));

    // A recordset still holding results does not block the next command.
    auto rs = c->Execute("select 1 as a; print 'between'; select N'x' as b; print 'after'");
    ASSERT_TRUE(rs && rs->IsOpen());
    TADOQuery q;
    q.SetConnection(c.get());
    q.SetSQLText("select * from Orders");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.FieldByName("note")->AsString(), "n");
    EXPECT_FALSE(rs->NextRecordset());
}

// Puts the driver setting and MARLINDE_ODBC_DRIVER back as they were, whatever the test did.
class DriverSettingsGuard {
public:
    DriverSettingsGuard()
        : m_saved(qgetenv("MARLINDE_ODBC_DRIVER")), m_had(qEnvironmentVariableIsSet("MARLINDE_ODBC_DRIVER")) {
    }
    ~DriverSettingsGuard() {
        TADOConnection::SetDefaultDriver({});
        if (m_had)
            qputenv("MARLINDE_ODBC_DRIVER", m_saved);
        else
            qunsetenv("MARLINDE_ODBC_DRIVER");
    }
    const QByteArray& Saved() const { return m_saved; }

private:
    QByteArray m_saved;
    bool m_had;
};

TEST_F(DataServer, DriverComesFromTheSettingOrTheEnvironment) {
    const QByteArray saved = qgetenv("MARLINDE_ODBC_DRIVER");
    {
        const DriverSettingsGuard restore;
        TADOConnection c;
        c.SetConnectionString(connectionString());
        qunsetenv("MARLINDE_ODBC_DRIVER");
        TADOConnection::SetDefaultDriver("No Such Driver");
        try {
            c.Open();
            FAIL() << "opened through a driver that does not exist";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains("No Such Driver")) << e.Message().toStdString();
            EXPECT_FALSE(e.Message().startsWith('[')) << e.Message().toStdString();
        }
        EXPECT_FALSE(c.Connected());
        // The environment wins over the setting; a library path works as well as a registered name.
        qputenv("MARLINDE_ODBC_DRIVER", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
        EXPECT_TRUE(
            c.OdbcConnectionString().startsWith("DRIVER={/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so};"));
        c.Open();
        EXPECT_TRUE(c.Connected());
    }
    EXPECT_EQ(TADOConnection::DriverName(),
              saved.isEmpty() ? QString("FreeTDS") : QString::fromLocal8Bit(saved));
}
