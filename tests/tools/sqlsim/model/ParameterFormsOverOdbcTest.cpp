// Every statement with ":name" marks is answered alike whether its values arrive as bound parameters
// (sp_executesql with @P1, @P2 ...) or written into the text as literals in a plain batch.
#include "DemoServerFixture.h"

#include <cctype>

#include "model/StatementTexts.h"

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

struct Value {
    BoundParam bound;
    std::string literal;
};

class ParameterFormsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // Runs text both ways and expects the same results and messages.
    void expectSameAnswers(const char* text, const std::map<std::string, Value>& values) {
        Params params;
        std::string literal;
        std::vector<std::string> names;
        std::string odbcText = markers(text, &names);
        size_t k = 0;
        for (char ch : odbcText) {
            if (ch == '?') {
                literal += values.at(names[k++]).literal;
            } else {
                literal += ch;
            }
        }
        for (const auto& [name, v] : values) {
            params.emplace(name, v.bound);
        }
        size_t before = rpcCount();
        OdbcOutcome bound = run(*m_sa, text, params);
        EXPECT_EQ(rpcCount(), before + 1) << "not sent as sp_executesql";
        OdbcOutcome plain = m_sa->exec(literal);
        EXPECT_EQ(plain.ok, bound.ok);
        ASSERT_EQ(plain.results.size(), bound.results.size());
        for (size_t r = 0; r < plain.results.size(); ++r) {
            EXPECT_EQ(plain.results[r].columns, bound.results[r].columns);
            EXPECT_EQ(plain.results[r].rows, bound.results[r].rows);
        }
        EXPECT_EQ(messages(plain), messages(bound));
        EXPECT_FALSE(plain.results.empty() && plain.messages.empty()) << "neither form answered anything";
    }
    size_t rpcCount() const {
        std::string log = logText();
        size_t n = 0;
        for (size_t at = log.find("\"proc\":\"sp_executesql\""); at != std::string::npos;
             at = log.find("\"proc\":\"sp_executesql\"", at + 1)) {
            ++n;
        }
        return n;
    }
    static Value text(const std::string& s) { return {BoundParam::text(s), "N'" + s + "'"}; }
    static Value number(int n) { return {BoundParam::integer(n), std::to_string(n)}; }
    static Value bit(bool b) { return {BoundParam::bit(b), b ? "1" : "0"}; }
    static Value nullBit() { return {BoundParam::null(SQL_C_BIT, SQL_BIT), "NULL"}; }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(ParameterFormsOverOdbc, ScriptStatements) {
    expectSameAnswers(texts::kBrowserStructure, {{"tab", text("dbo.Orders")}, {"ScriptTriggers", nullBit()}});
    expectSameAnswers(texts::kEditorStructure,
                      {{"tab", text("dbo.OrderLines")}, {"ScriptTriggers", bit(true)}});
    expectSameAnswers(texts::kObjectAccess, {{"tab", text("dbo.Orders")}});
    expectSameAnswers(texts::kExtendedPropertiesJoined, {{"tab", text("dbo.Orders")}});
    expectSameAnswers(texts::kAccessObjects, {{"tab", text("dbo.Orders")}});
    expectSameAnswers(texts::kTableData,
                      {{"tab", text("dbo.Lookup2")}, {"bScriptID", bit(true)}, {"sWhere", text("id > 5")}});
    expectSameAnswers(
        texts::kTableData,
        {{"tab", text("dbo.Orders")}, {"bScriptID", bit(false)}, {"sWhere", text("nosuch = 1")}});
}

TEST_F(ParameterFormsOverOdbc, UsersStatements) {
    expectSameAnswers(texts::kPrincipals, {{"isLogin", number(1)}, {"isserver", number(0)}});
    expectSameAnswers(texts::kPrincipals, {{"isLogin", number(0)}, {"isserver", number(1)}});
    expectSameAnswers(texts::kMembership,
                      {{"isLogin", number(1)}, {"name", text("clerk")}, {"isserver", number(0)}});
    expectSameAnswers(texts::kMembership,
                      {{"isLogin", number(0)}, {"name", text("sysadmin")}, {"isserver", number(1)}});
    expectSameAnswers(
        texts::kMembership,
        {{"isLogin", number(1)}, {"name", text(std::string(126, 'x'))}, {"isserver", number(0)}});
    // Changes: each form once, failing the same way the second time.
    expectSameAnswers(
        texts::kAddPrincipal,
        {{"isServer", number(1)}, {"isLogin", number(1)}, {"name", text("clerk")}, {"pwd", text("x")}});
    expectSameAnswers(texts::kDeletePrincipal,
                      {{"isServer", number(0)}, {"isLogin", number(1)}, {"name", text("nobody")}});
    expectSameAnswers(texts::kMembershipChange, {{"isServer", number(0)},
                                                 {"isLogin", number(1)},
                                                 {"bInclude", bit(true)},
                                                 {"name", text("clerk")},
                                                 {"name2", text("NoSuchRole")}});
}

TEST_F(ParameterFormsOverOdbc, CrLfLineBreaksAreAnsweredAsLf) {
    auto crlf = [](const std::string& text) {
        std::string out;
        for (char ch : text) {
            out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        }
        return out;
    };
    for (const char* text : {texts::kDatabaseList, texts::kBrowserObjects, texts::kEditorObjects,
                             texts::kDatabaseIcons, texts::kLinkedServers}) {
        OdbcOutcome lf = m_sa->exec(text), windows = m_sa->exec(crlf(text));
        ASSERT_TRUE(lf.ok) << text;
        ASSERT_EQ(lf.results.size(), 1u) << text;
        ASSERT_EQ(windows.results.size(), 1u) << text;
        EXPECT_EQ(windows.results[0].rows, lf.results[0].rows) << text;
    }
    // The user re-creation statement as the database module sends it: a blank line after "use".
    for (const std::string& text : {std::string("use Sales\n") + texts::kRecreateUsersBody,
                                    crlf(std::string("use Sales\n") + texts::kRecreateUsersBody),
                                    crlf(std::string("use Sales") + texts::kRecreateUsersBody)}) {
        OdbcOutcome recreated = m_sa->exec(text);
        EXPECT_TRUE(recreated.ok) << ::testing::PrintToString(messages(recreated));
    }
    EXPECT_EQ(column(run(*m_sa, crlf(texts::kPrincipals),
                         {{"isLogin", BoundParam::integer(1)}, {"isserver", BoundParam::integer(1)}}),
                     0),
              (std::vector<std::string>{"admin", "clerk", "manager", "sa", "Оператор"}));
}

TEST_F(ParameterFormsOverOdbc, FixedTextsAreReadAsTheServerReadsThem) {
    // Comments, other white space and the letter case of keywords do not matter.
    for (const char* text : {texts::kDatabaseList, texts::kBrowserObjects, texts::kLinkedServers}) {
        std::string variant = text;
        size_t first = variant.find_first_not_of(" \r\n\t");
        size_t end = variant.find_first_of(" \r\n\t", first);
        for (size_t i = first; i < end; ++i) {
            variant[i] = char(std::toupper(static_cast<unsigned char>(variant[i])));
        }
        variant =
            "-- sent by hand\n/* with a comment */ " + variant.substr(0, end) + "   " + variant.substr(end);
        OdbcOutcome plain = m_sa->exec(text), changed = m_sa->exec(variant);
        ASSERT_EQ(plain.results.size(), 1u) << text;
        ASSERT_EQ(changed.results.size(), 1u) << variant;
        EXPECT_EQ(changed.results[0].rows, plain.results[0].rows) << variant;
    }
}

} // namespace
