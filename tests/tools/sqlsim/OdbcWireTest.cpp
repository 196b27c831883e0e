// The simulator driven through the real driver stack (unixODBC + FreeTDS).
#include "SimFixture.h"

#include <QJsonArray>
#include <thread>

using testsupport::Cell;
using namespace sqlsimtest;

namespace {

std::string text(const Cell& c) {
    return c ? *c : "<NULL>";
}

} // namespace

TEST_F(SimFixture, ResultSetsAndMessagesArriveInServerOrder) {
    auto client = connect();
    auto out = client->exec("select 1 as a; print 'between'; select N'x' as b");
    ASSERT_TRUE(out.ok);
    ASSERT_EQ(out.results.size(), 2u);
    EXPECT_EQ(out.results[0].columns[0], "a");
    EXPECT_EQ(text(out.results[0].rows[0][0]), "1");
    EXPECT_EQ(out.results[1].columns[0], "b");
    EXPECT_EQ(text(out.results[1].rows[0][0]), "x");
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_NE(out.messages[0].text.find("between"), std::string::npos);
    EXPECT_EQ(out.messages[0].native, 0);
    std::vector<std::string> expected = {"result", "message:" + out.messages[0].text, "result"};
    EXPECT_EQ(out.order, expected);
}

TEST_F(SimFixture, ErrorsCarryNumberAndTextAndUnknownStatementsAreRefused) {
    auto client = connect();
    auto out = client->exec("select 1/0");
    EXPECT_FALSE(out.ok);
    ASSERT_FALSE(out.messages.empty());
    EXPECT_EQ(out.messages[0].native, 8134);
    EXPECT_NE(out.messages[0].text.find("Divide by zero error encountered."), std::string::npos);

    // Text that is no statement fails as a syntax error, naming the token where it stopped.
    out = client->exec("frobnicate the tables\nsecond line");
    EXPECT_FALSE(out.ok);
    ASSERT_FALSE(out.messages.empty());
    EXPECT_EQ(out.messages[0].native, 102);
    EXPECT_NE(out.messages[0].text.find("Incorrect syntax near 'tables'."), std::string::npos)
        << out.messages[0].text;
    // A statement the simulator cannot answer is refused with its first line only.
    out = client->exec("merge t as x using t as y on x.a = y.a when matched then delete;\nsecond line");
    EXPECT_FALSE(out.ok);
    ASSERT_FALSE(out.messages.empty());
    EXPECT_NE(out.messages[0].text.find("Statement not supported by the simulator: merge t as x"),
              std::string::npos) << out.messages[0].text;
    EXPECT_EQ(out.messages[0].text.find("second line"), std::string::npos);

    // The connection is still good after errors.
    out = client->exec("select 7");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(text(out.results.at(0).rows.at(0).at(0)), "7");
}

TEST_F(SimFixture, RowCountsAndUseChangeTheSession) {
    auto client = connect();
    auto out = client->exec("update t set a = a + 10");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.order, std::vector<std::string>{"count:3"});
    out = client->exec("update t set a = 0 where a > 11");
    EXPECT_EQ(out.order, std::vector<std::string>{"count:2"});

    out = client->exec("use [demo]");
    ASSERT_TRUE(out.ok);
    ASSERT_FALSE(out.messages.empty());
    EXPECT_NE(out.messages[0].text.find("Changed database context to 'demo'."), std::string::npos);
    EXPECT_EQ(out.messages[0].native, 5701);
    out = client->exec("select db_name()");
    EXPECT_EQ(text(out.results.at(0).rows.at(0).at(0)), "demo");
    EXPECT_EQ(lastOfType("batch").value("database").toString(), "demo");

    out = client->exec("use nowhere");
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.messages.at(0).native, 911);
}

TEST_F(SimFixture, BoundParametersArriveIntactAndAreLogged) {
    auto client = connect();
    const std::string quote = "O'Brien \"q\"";
    const std::string cyrillic = "Привет, мир";
    std::string large(10000, 'L');
    auto out = client->exec("select ?, ?, ?, ?", {quote, cyrillic, std::nullopt, large});
    ASSERT_TRUE(out.ok) << (out.messages.empty() ? "" : out.messages[0].text);
    ASSERT_EQ(out.results.size(), 1u);
    const auto& row = out.results[0].rows.at(0);
    EXPECT_EQ(text(row.at(0)), quote);
    EXPECT_EQ(text(row.at(1)), cyrillic);
    EXPECT_FALSE(row.at(2).has_value());
    EXPECT_EQ(text(row.at(3)).size(), large.size());
    EXPECT_TRUE(text(row.at(3)) == large);

    QJsonObject rpc = lastOfType("rpc");
    EXPECT_EQ(rpc.value("proc").toString(), "sp_executesql");
    QJsonArray params = rpc.value("params").toArray();
    ASSERT_EQ(params.size(), 6);
    EXPECT_EQ(params[0].toObject().value("value").toString(), "select @P1, @P2, @P3, @P4");
    EXPECT_EQ(params[2].toObject().value("value").toString().toStdString(), quote);
    EXPECT_EQ(params[3].toObject().value("value").toString().toStdString(), cyrillic);
    EXPECT_TRUE(params[4].toObject().value("value").isNull());
    EXPECT_EQ(params[5].toObject().value("value").toString().size(), 10000)
        << params[5].toObject().value("type").toString().toStdString();
}

TEST_F(SimFixture, PreparedStatementsAreExecutedByHandle) {
    auto client = connect();
    auto outs = client->prepareAndRun("select ?", {{"first"}, {"second"}});
    ASSERT_EQ(outs.size(), 2u);
    ASSERT_TRUE(outs[0].ok);
    ASSERT_TRUE(outs[1].ok);
    EXPECT_EQ(text(outs[0].results.at(0).rows.at(0).at(0)), "first");
    EXPECT_EQ(text(outs[1].results.at(0).rows.at(0).at(0)), "second");
    std::vector<std::string> procs;
    for (const QJsonObject& o : log()) {
        if (o.value("type") == "rpc") {
            procs.push_back(o.value("proc").toString().toStdString());
        }
    }
    std::string all;
    for (const std::string& p : procs) {
        all += p + " ";
    }
    // The statement is prepared and executed in one call, then released.
    EXPECT_NE(all.find("sp_prepexec"), std::string::npos) << all;
    EXPECT_NE(all.find("sp_unprepare"), std::string::npos) << all;
}

TEST_F(SimFixture, EveryDataTypeReachesTheClient) {
    auto client = connect();
    auto made = client->exec(
        "declare @z nvarchar(max) = N'z'; while len(@z) < 20000 set @z = @z + @z\n"
        "create table every_type ([bit] bit, [tinyint] tinyint, [smallint] smallint, [int] int, "
        "[bigint] bigint, [real] real, [float] float, [decimal] decimal(18,2), [numeric] numeric(38,10), "
        "[money] money, [smallmoney] smallmoney, [datetime] datetime, [smalldatetime] smalldatetime, "
        "[char] char(5), [varchar] varchar(20), [nchar] nchar(3), [nvarchar] nvarchar(20), "
        "[nvarcharmax] nvarchar(max), [text] text, [ntext] ntext, [guid] uniqueidentifier, "
        "[binary] binary(2), [varbinary] varbinary(10), [image] image)\n"
        "insert into every_type values (1, 255, -32768, -2147483648, 9223372036854775807, 1.5, 2.25, "
        "-1234.56, 12345678901234567890.0123456789, 922337203685477.5807, -214748.3648, "
        "'2026-12-09T23:59:58.997', '1999-01-02T03:04:00', 'ab', 'Fran\xc3\xa7ois', N'\xd1\x8f', "
        "N'\xd0\x81\xd0\xbb\xd0\xba\xd0\xb0', left(@z, 20000), "
        "'long text', N'\xd0\xb4\xd0\xbb\xd0\xb8\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb9', "
        "'6F9619FF-8B86-D011-B42D-00C04FC964FF', 0xAB, 0x00FF10, 0x010203)\n"
        "insert into every_type ([bit]) values (null)");
    ASSERT_TRUE(made.ok) << (made.messages.empty() ? "" : made.messages[0].text);
    // Descending puts the row of values before the row of NULLs.
    auto out = client->exec("select * from every_type order by [bit] desc");
    ASSERT_TRUE(out.ok) << (out.messages.empty() ? "" : out.messages[0].text);
    ASSERT_EQ(out.results.size(), 1u);
    const auto& rs = out.results[0];
    ASSERT_EQ(rs.rows.size(), 2u);
    std::map<std::string, std::string> v;
    for (size_t k = 0; k < rs.columns.size(); ++k) {
        v[rs.columns[k]] = text(rs.rows[0][k]);
        EXPECT_FALSE(rs.rows[1][k].has_value()) << rs.columns[k] << " should be NULL";
    }
    EXPECT_EQ(v["bit"], "1");
    EXPECT_EQ(v["tinyint"], "255");
    EXPECT_EQ(v["smallint"], "-32768");
    EXPECT_EQ(v["int"], "-2147483648");
    EXPECT_EQ(v["bigint"], "9223372036854775807");
    EXPECT_EQ(v["real"], "1.5");
    EXPECT_EQ(v["float"], "2.25");
    EXPECT_EQ(v["decimal"], "-1234.56");
    EXPECT_EQ(v["numeric"], "12345678901234567890.0123456789");
    EXPECT_EQ(v["money"], "922337203685477.5807");
    EXPECT_EQ(v["smallmoney"], "-214748.3648");
    EXPECT_EQ(v["datetime"], "2026-12-09 23:59:58.997");
    EXPECT_EQ(v["smalldatetime"].substr(0, 16), "1999-01-02 03:04");
    EXPECT_EQ(v["char"], "ab   ");
    EXPECT_EQ(v["varchar"], "Fran\xc3\xa7ois");
    EXPECT_EQ(v["nchar"], "\xd1\x8f  ");
    EXPECT_EQ(v["nvarchar"], "Ёлка");
    EXPECT_EQ(v["nvarcharmax"].size(), 20000u);
    EXPECT_EQ(v["nvarcharmax"].find_first_not_of('z'), std::string::npos);
    EXPECT_EQ(v["text"], "long text");
    EXPECT_EQ(v["ntext"], "длинный");
    EXPECT_EQ(v["guid"], "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(v["binary"], "ab00");
    EXPECT_EQ(v["varbinary"], "00ff10");
    EXPECT_EQ(v["image"], "010203");
}

TEST_F(SimFixture, LoginFailuresAreReportedAndPasswordsAreDecoded) {
    testsupport::OdbcTestClient wrong;
    std::string error;
    EXPECT_FALSE(wrong.connect(testsupport::OdbcTestClient::connectionString(m_port, "sa", "nope"), &error));
    EXPECT_NE(error.find("Login failed for user 'sa'."), std::string::npos) << error;
    EXPECT_NE(error.find("18456"), std::string::npos) << error;

    testsupport::OdbcTestClient noDb;
    EXPECT_FALSE(noDb.connect(
        testsupport::OdbcTestClient::connectionString(m_port, "sa", "Secret1", "nowhere"), &error));
    EXPECT_NE(error.find("4060"), std::string::npos) << error;

    // A password full of the connection string's own punctuation.
    auto anna = connect("anna", "p;a=s{s}", "demo");
    auto out = anna->exec("select db_name()");
    EXPECT_EQ(text(out.results.at(0).rows.at(0).at(0)), "demo");
    EXPECT_EQ(lastOfType("login").value("login").toString(), "anna");
}

TEST_F(SimFixture, AbandonedResultsAreCancelledAndTheConnectionGoesOn) {
    auto client = connect();
    auto rows = client->readFirstRows("select top 150000 * from generated_rows", 3);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(text(rows[2][1]), "row 2");
    auto out = client->exec("select 42");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(text(out.results.at(0).rows.at(0).at(0)), "42");
}

TEST_F(SimFixture, TransactionRequestsAreAnswered) {
    auto client = connect();
    ASSERT_TRUE(client->setAutocommit(false));
    EXPECT_TRUE(client->exec("update t set a = 5").ok);
    EXPECT_TRUE(client->endTransaction(true));
    auto kept = client->exec("select count(*) from t where a = 5");
    ASSERT_TRUE(kept.ok);
    EXPECT_EQ(text(kept.results.at(0).rows.at(0).at(0)), "3");
    EXPECT_TRUE(client->setAutocommit(true));
    EXPECT_TRUE(client->exec("select 1").ok);
    bool begun = false;
    for (const QJsonObject& o : log()) {
        begun = begun || (o.value("type") == "transaction" && o.value("detail") == "begin");
    }
    EXPECT_TRUE(begun);
}

TEST_F(SimFixture, ConcurrentClientsAreServedIndependently) {
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            testsupport::OdbcTestClient c;
            if (!c.connect(testsupport::OdbcTestClient::connectionString(m_port, "sa", "Secret1"))) {
                return;
            }
            bool ok = true;
            for (int i = 0; i < 20; ++i) {
                auto out = c.exec("select " + std::to_string(t * 100 + i));
                ok = ok && out.ok && out.results.size() == 1 &&
                     out.results[0].rows.at(0).at(0) == std::to_string(t * 100 + i);
            }
            auto big = c.exec("select top 20000 * from generated_rows");
            ok = ok && big.ok && big.results.size() == 1 && big.results[0].rows.size() == 20000;
            if (ok) {
                ++good;
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(good.load(), 6);
}
