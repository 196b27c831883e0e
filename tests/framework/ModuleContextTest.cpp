#include "SimLog.h"
#include "Exception.h"
#include "SimProcess.h"
#include "TADORecordset.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleInterface.h"
#include "uTLumModuleParams.h"

#include <gtest/gtest.h>

namespace {

TEST(ModuleParamsTest, FindParamIgnoresCaseAndTakesTheLastMatch) {
    TLumModuleParams params(nullptr);
    params.Add()->SetName("DefaultDir");
    TLumModuleParam* second = params.Add();
    second->SetName("DEFAULTDIR");
    second->SetValue("/tmp");
    params.Add()->SetName("sName");
    EXPECT_EQ(params.FindParam("defaultdir"), second);
    EXPECT_EQ(params.FindParam("Nothing"), nullptr);
    EXPECT_FALSE(params.Items(0)->Value().isValid()); // unassigned until set

    TLumModuleParams copy(nullptr);
    copy.Add()->SetName("old");
    second->SetDirection(TLumModuleParam::mpdOutput);
    copy.Assign(&params);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.Items(1)->Value(), QVariant("/tmp"));
    EXPECT_EQ(copy.Items(1)->Direction(), TLumModuleParam::mpdOutput);
    EXPECT_NE(copy.Items(1), second);
    EXPECT_THROW(copy.Items(0)->Assign(&params), Exception);
}

TEST(ModuleInterfaceTest, LanguageFileNameAndAssign) {
    TLumModuleInterface context;
    context.SetLanguage("Russian");
    EXPECT_EQ(context.GetLanguageFileName(), "Russian.ini");
    context.SetLanguageDir("/opt/marlinde/lang-");
    EXPECT_EQ(context.GetLanguageFileName(), "/opt/marlinde/lang-Russian.ini"); // no separator added
    TADOConnection connection;
    context.SetADOConnection(&connection);
    context.SetIniFileName("/x/marlinde.ini");
    TLumModuleInterface other;
    other.Assign(&context);
    EXPECT_EQ(other.ADOConnection(), &connection);
    EXPECT_EQ(other.IniFileName(), "/x/marlinde.ini");
    EXPECT_EQ(other.GetLanguageFileName(), context.GetLanguageFileName());
    TLumCustomInterface plain;
    EXPECT_THROW(other.Assign(&plain), Exception);
}

TEST(ModuleConnectionTest, ChainsEndAtTheRealConnectionAndShareItsSession) {
    testsupport::SimProcess sim({"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(sim.started());
    TADOConnection main;
    TLumModuleADOConnection first, second;
    first.SetMainConnection(&main); // before the main connection opens
    second.SetMainConnection(&first);
    EXPECT_EQ(second.MainConnection(), &main);
    EXPECT_FALSE(second.Connected());
    second.SetConnected(true); // ignored: a module never opens a session
    EXPECT_FALSE(main.Connected());

    main.SetConnectionString("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=" +
                             testsupport::SimServer(sim) + ";Initial Catalog=Sales;User ID=sa;Password=sa");
    main.Open();
    EXPECT_TRUE(first.Connected());
    EXPECT_TRUE(second.Connected());
    auto rs = second.Execute("select db_name()");
    EXPECT_EQ(rs->Fields(0).Text(), "Sales");
    main.Execute("use master", TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
    EXPECT_EQ(first.Execute("select db_name()")->Fields(0).Text(), "master"); // the same session
    EXPECT_EQ(testsupport::SimRequests(sim, "login", "login").size(), 1);

    // Closing a module connection detaches it and leaves the session open.
    second.Close();
    EXPECT_EQ(second.MainConnection(), nullptr);
    EXPECT_FALSE(second.Connected());
    EXPECT_TRUE(main.Connected());
    first.SetConnected(false);
    EXPECT_FALSE(first.Connected());
    EXPECT_THROW(first.Execute("select 1"), Exception);
    EXPECT_TRUE(main.Connected());
}

} // namespace
