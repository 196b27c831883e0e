// Who may set up linked servers: setupadmin adds and drops them, securityadmin maps their logins,
// sysadmin does both; anyone else gets 15247 and nothing changes.
#include "DemoServerFixture.h"

#include "model/StatementTexts.h"

using namespace sqlsimtest;
using namespace sqlsim::model;

namespace {

using Strings = std::vector<std::string>;

class LinkedServerRolesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect();
        for (const char* role : {"setupadmin", "securityadmin"}) {
            ASSERT_TRUE(m_sa->exec(std::string("exec sp_addlogin 'r_") + role + "', 'pw'").ok);
            ASSERT_TRUE(
                m_sa->exec(std::string("exec sp_addsrvrolemember 'r_") + role + "', '" + role + "'").ok);
        }
    }
    Strings servers() { return column(m_sa->exec(texts::kLinkedServers), 0); }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

const std::string kDenied = "15247: User does not have permission to perform this action.";

TEST_F(LinkedServerRolesOverOdbc, SetupAdminAddsAndDropsServersButMapsNoLogins) {
    auto setup = connect("r_setupadmin", "pw");
    ASSERT_TRUE(setup->exec("EXEC sp_addlinkedserver 'SRV2', N'SQL Server'").ok);
    EXPECT_EQ(servers(), (Strings{"DEMO", "REPORTS", "SRV2", "АРХИВ"}));
    // The server stays added without the mapping.
    EXPECT_EQ(messages(setup->exec("EXEC sp_addlinkedsrvlogin 'SRV2', FALSE, NULL, 'u', 'p'")),
              Strings{kDenied});
    ASSERT_TRUE(setup->exec("EXEC sp_dropserver 'SRV2', 'droplogins'").ok);
    EXPECT_EQ(servers(), (Strings{"DEMO", "REPORTS", "АРХИВ"}));
    // Dropping the logins of a server that has some needs securityadmin as well.
    EXPECT_EQ(messages(setup->exec("EXEC sp_dropserver 'REPORTS', 'droplogins'")), Strings{kDenied});
    EXPECT_EQ(servers(), (Strings{"DEMO", "REPORTS", "АРХИВ"}));
}

TEST_F(LinkedServerRolesOverOdbc, SecurityAdminMapsLoginsButAddsNoServersAndOthersDoNothing) {
    auto security = connect("r_securityadmin", "pw");
    EXPECT_EQ(messages(security->exec("EXEC sp_addlinkedserver 'SRV3', N'SQL Server'")), Strings{kDenied});
    ASSERT_TRUE(security->exec("EXEC sp_addlinkedsrvlogin 'REPORTS', FALSE, NULL, 'u2', 'p2'").ok);
    EXPECT_EQ(messages(security->exec("EXEC sp_dropserver 'REPORTS', 'droplogins'")), Strings{kDenied});

    auto clerk = connect("clerk", "clerk");
    EXPECT_EQ(messages(clerk->exec("EXEC sp_addlinkedserver 'SRV3', N'SQL Server'")), Strings{kDenied});
    EXPECT_EQ(messages(clerk->exec("EXEC sp_addlinkedsrvlogin 'REPORTS', FALSE, NULL, 'u', 'p'")),
              Strings{kDenied});
    EXPECT_EQ(messages(clerk->exec("EXEC sp_dropserver 'REPORTS', 'droplogins'")), Strings{kDenied});
    EXPECT_EQ(servers(), (Strings{"DEMO", "REPORTS", "АРХИВ"}));
}

} // namespace
