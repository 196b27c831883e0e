// Connection strings, parameter markers and the single-table select recognition.
#include "EDatabaseError.h"
#include "TAdoConnectionString.h"
#include "TSelectAnalyzer.h"
#include "TSqlIdentifier.h"
#include "TSqlParameterParser.h"

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

TEST(ConnectionString, PasswordRunsToTheEndWithAnyCharacter) {
    const QString pwd = QStringLiteral("a;b=c{d}e;Initial Catalog=x ");
    TAdoConnectionString cs(QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=srv;"
                                           "Initial Catalog=db1;User ID=sa;Password=") +
                            pwd);
    EXPECT_EQ(cs.DataSource(), "srv");
    EXPECT_EQ(cs.InitialCatalog(), "db1");
    EXPECT_EQ(cs.UserId(), "sa");
    EXPECT_EQ(cs.Password(), pwd);
    EXPECT_FALSE(cs.IntegratedSecurity());

    const QString odbc = cs.OdbcConnectionString(QStringLiteral("FreeTDS"));
    // Braced; FreeTDS takes the braces' content verbatim up to "};".
    EXPECT_TRUE(odbc.contains(QStringLiteral("PWD={a;b=c{d}e;Initial Catalog=x };")));
    // The standard form doubles a closing brace.
    EXPECT_TRUE(cs.OdbcConnectionString(QStringLiteral("ODBC Driver 18 for SQL Server"))
                    .contains(QStringLiteral("PWD={a;b=c{d}}e;Initial Catalog=x };")));
    // A "};" inside cannot be given to FreeTDS at all: refused clearly instead of a failed login.
    TAdoConnectionString bad(QStringLiteral("Data Source=s;User ID=u;Password=x};y"));
    EXPECT_THROW(bad.OdbcConnectionString(QStringLiteral("FreeTDS")), EDatabaseError);
    EXPECT_TRUE(odbc.contains(QStringLiteral("TDS_Version=7.4")));
    EXPECT_TRUE(odbc.contains(QStringLiteral("ClientCharset=UTF-8")));
    EXPECT_TRUE(odbc.startsWith(QStringLiteral("DRIVER={FreeTDS};SERVER=srv;DATABASE=db1;UID={sa};")));
}

TEST(ConnectionString, EmptyPasswordAndEmptyCatalog) {
    TAdoConnectionString cs(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=;User ID=u;Password="));
    EXPECT_TRUE(cs.HasPassword());
    EXPECT_EQ(cs.Password(), "");
    const QString odbc = cs.OdbcConnectionString(QStringLiteral("FreeTDS"));
    EXPECT_FALSE(odbc.contains(QStringLiteral("DATABASE=")));
    EXPECT_TRUE(odbc.contains(QStringLiteral("PWD={}")));
}

TEST(ConnectionString, IntegratedSecurityUsesTrustedConnection) {
    TAdoConnectionString cs(
        QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=srv;Initial Catalog=db;"
                       "Integrated Security=SSPI;"));
    EXPECT_TRUE(cs.IntegratedSecurity());
    const QString odbc = cs.OdbcConnectionString(QStringLiteral("FreeTDS"));
    EXPECT_TRUE(odbc.contains(QStringLiteral("Trusted_Connection=Yes")));
    EXPECT_FALSE(odbc.contains(QStringLiteral("UID=")));
    EXPECT_FALSE(odbc.contains(QStringLiteral("PWD=")));
}

TEST(ConnectionString, ServerForms) {
    auto a = TAdoConnectionString::SplitServer(QStringLiteral("db.example.com,14330"));
    EXPECT_EQ(a.host, "db.example.com");
    EXPECT_EQ(a.port, 14330);
    a = TAdoConnectionString::SplitServer(QStringLiteral("host\\SQLEXPRESS"));
    EXPECT_EQ(a.host, "host");
    EXPECT_EQ(a.instance, "SQLEXPRESS");
    EXPECT_EQ(a.port, 0);
    a = TAdoConnectionString::SplitServer(QStringLiteral("tcp:(local),1500"));
    EXPECT_EQ(a.host, "127.0.0.1");
    EXPECT_EQ(a.port, 1500);

    TAdoConnectionString port(QStringLiteral("Data Source=h,1500;User ID=u;Password=p"));
    EXPECT_TRUE(
        port.OdbcConnectionString(QStringLiteral("FreeTDS")).contains(QStringLiteral("SERVER=h;PORT=1500;")));
    // Other drivers take the port in the server name.
    const QString ms = port.OdbcConnectionString(QStringLiteral("ODBC Driver 18 for SQL Server"));
    EXPECT_TRUE(ms.contains(QStringLiteral("SERVER=h,1500;")));
    EXPECT_FALSE(ms.contains(QStringLiteral("TDS_Version")));
    TAdoConnectionString instance(QStringLiteral("Data Source=h\\inst;User ID=u;Password=p"));
    EXPECT_TRUE(
        instance.OdbcConnectionString(QStringLiteral("FreeTDS")).contains(QStringLiteral("SERVER=h\\inst;")));
}

TEST(ParameterParser, SkipsLiteralsIdentifiersAndComments) {
    const auto r = TSqlParameterParser::Parse(QStringLiteral(
        "select ':no', N'it''s :no', [a:no]]x], \"b:no\" -- :no\n"
        "from t /* :no /* nested :no */ still :no */ where a = :p1 and b = :P1 and c=:name_2 and s::x = 1"));
    EXPECT_EQ(r.markers, QStringList({"p1", "P1", "name_2"}));
    EXPECT_EQ(r.names, QStringList({"p1", "name_2"}));
    EXPECT_EQ(r.odbcText, QStringLiteral("select ':no', N'it''s :no', [a:no]]x], \"b:no\" -- :no\n"
                                         "from t /* :no /* nested :no */ still :no */ where a = ? and b = ? "
                                         "and c=? and s::x = 1"));
}

TEST(ParameterParser, UnterminatedLiteralAndTrailingColon) {
    auto r = TSqlParameterParser::Parse(QStringLiteral("select 'abc :x"));
    EXPECT_TRUE(r.markers.isEmpty());
    r = TSqlParameterParser::Parse(QStringLiteral("lbl: select :\u0438\u043c\u044f, :"));
    EXPECT_EQ(r.markers, QStringList({QStringLiteral("\u0438\u043c\u044f")}));
    EXPECT_EQ(r.odbcText, QStringLiteral("lbl: select ?, :"));
}

TEST(SelectAnalyzer, SingleTableWithPlainAndComputedColumns) {
    const auto r = TSelectAnalyzer::Analyze(
        QStringLiteral("select top 10 name, islogin as nImage, 2 as two, x = [col]], 1], u.[Full Name] "
                       "from [dbo].[sys users] u where name like 'a%' order by name;"));
    ASSERT_TRUE(r.singleTable);
    EXPECT_EQ(r.tableParts, QStringList({"dbo", "sys users"}));
    EXPECT_EQ(r.QuotedTable(), "dbo.[sys users]");
    EXPECT_EQ(r.BaseColumn("name"), "name");
    EXPECT_EQ(r.BaseColumn("NIMAGE"), "islogin");
    EXPECT_EQ(r.BaseColumn("two"), "");
    EXPECT_EQ(r.BaseColumn("x"), "col], 1");
    EXPECT_EQ(r.BaseColumn("Full Name"), "Full Name");
    EXPECT_FALSE(r.star);
}

TEST(SelectAnalyzer, StarAndThingsThatAreNotOneTable) {
    auto r = TSelectAnalyzer::Analyze(QStringLiteral("SELECT * FROM Orders"));
    ASSERT_TRUE(r.singleTable);
    EXPECT_TRUE(r.star);
    EXPECT_EQ(r.BaseColumn("anything"), "anything");
    for (const char* sql :
         {"select * from a join b on a.id = b.id", "select * from a, b",
          "select name from a union select name from b", "select count(*) from a group by x",
          "select distinct a from t", "exec sp_who2", "select 1", "select * from #tmp",
          "select a from t; select b from u", "select a into t2 from t"}) {
        EXPECT_FALSE(TSelectAnalyzer::Analyze(QString::fromUtf8(sql)).singleTable) << sql;
    }
    // A subquery in the condition does not make it a join.
    r = TSelectAnalyzer::Analyze(
        QStringLiteral("select a from t where a in (select a from u join v on 1=1)"));
    EXPECT_TRUE(r.singleTable);
}

TEST(SqlIdentifier, RegularNamesGoAsTypedOthersBracketedWithBracketsDoubled) {
    EXPECT_EQ(TSqlIdentifier::Quote("Sales"), "Sales");
    EXPECT_EQ(TSqlIdentifier::Quote(QStringLiteral("\u0421\u043a\u043b\u0430\u0434")),
              QStringLiteral("\u0421\u043a\u043b\u0430\u0434")); // letters of any script
    EXPECT_EQ(TSqlIdentifier::Quote("_x1$@#"), "_x1$@#");
    EXPECT_EQ(TSqlIdentifier::Quote("@v"), "@v");
    EXPECT_EQ(TSqlIdentifier::Quote("#tmp"), "#tmp");
    EXPECT_EQ(TSqlIdentifier::Quote("My DB"), "[My DB]");
    EXPECT_EQ(TSqlIdentifier::Quote("a]b[c"), "[a]]b[c]");
    EXPECT_EQ(TSqlIdentifier::Quote("1st"), "[1st]");
    EXPECT_EQ(TSqlIdentifier::Quote("$x"), "[$x]");
    EXPECT_EQ(TSqlIdentifier::Quote("a-b"), "[a-b]");
    EXPECT_EQ(TSqlIdentifier::Quote("Select"), "[Select]"); // reserved, in any letter case
    EXPECT_EQ(TSqlIdentifier::Quote("use"), "[use]");
    EXPECT_EQ(TSqlIdentifier::Quote(""), "[]");
    EXPECT_EQ(TSqlIdentifier::Quote(QString(129, 'a')), "[" + QString(129, 'a') + "]");
    EXPECT_EQ(TSqlIdentifier::StringLiteral("it's"), "N'it''s'");
}

TEST(SqlIdentifier, StringLiteralsAreUnicodeWithQuotesDoubled) {
    EXPECT_EQ(TSqlIdentifier::StringLiteral("D:\\backup\\sales.bak"), "N'D:\\backup\\sales.bak'");
    EXPECT_EQ(TSqlIdentifier::StringLiteral("it's ''x"), "N'it''s ''''x'");
    EXPECT_EQ(TSqlIdentifier::StringLiteral(""), "N''");
    EXPECT_EQ(TSqlIdentifier::StringLiteral(QStringLiteral("C:\\\u0414\u0430\u043d\u043d\u044b\u0435'")),
              QStringLiteral("N'C:\\\u0414\u0430\u043d\u043d\u044b\u0435'''"));
}
