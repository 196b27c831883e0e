#pragma once
// The databases module docked into a page of its own, on a connection to the demo simulator: the
// statements it sends, the state of the simulated server, and the errors and notifications it gave.
#include "DemoSimSuite.h"
#include "Exception.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TComboBox.h"
#include "uTLumDBListView.h"
#include "uTLumModuleInterface.h"
#include "uTaLumMSSQLDB.h"
#include "ufLumMSSQLDB.h"

#include <QAbstractItemView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class DatabasesModuleFixture : public testsupport::DemoSimSuite {
protected:
    QTemporaryDir dir;
    TADOConnection connection;
    TLumModuleInterface context;
    QWidget page;
    std::unique_ptr<TaLumMSSQLDB> action;
    TfLumMSSQLDB* form = nullptr;
    QStringList errors;
    int notified = 0;

    void SetUp() override { open(QStringLiteral("User ID=sa;Password=sa"), QStringLiteral("master")); }
    void TearDown() override {
        action.reset();
        TApplication::Instance()->OnException = nullptr;
    }
    // Logs on with the credentials and shows the module on the page.
    void open(const QString& credentials, const QString& database) {
        ASSERT_TRUE(sim->started());
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        connection.SetConnectionString(QStringLiteral("Data Source=127.0.0.1,%1;Initial Catalog=%2;%3")
                                           .arg(sim->port())
                                           .arg(database, credentials));
        connection.Open();
        context.SetADOConnection(&connection);
        context.SetIniFileName(dir.filePath("marlinde.ini"));
        context.SetLanguage("English");
        action = std::make_unique<TaLumMSSQLDB>(nullptr, "aDB");
        action->SetModuleInterface(&context);
        action->SetParent(&page);
        action->DBListChanged = [this](QObject* sender) {
            EXPECT_EQ(sender, form);
            ++notified;
        };
        page.resize(640, 480);
        page.show();
        action->ShowModule();
        form = qobject_cast<TfLumMSSQLDB*>(action->ModuleForm());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    }

    static QStringList batches() { return testsupport::SimRequests(*sim, "batch", "text"); }
    // What was sent since the mark (the number of batches before).
    static QStringList sentSince(qsizetype mark) { return batches().mid(mark); }
    // The first column of every row a statement returns, on a connection of sa's own.
    static QStringList serverColumn(const QString& sql, const QString& database = "master") {
        TADOConnection c;
        c.SetConnectionString(SaConnectionString(database));
        c.Open();
        QStringList values;
        auto rs = c.Execute(sql);
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            values << rs->Fields(0).Text();
        return values;
    }
    static QStringList serverDatabases() {
        return serverColumn("select name from master..sysdatabases order by 1");
    }
    QString sessionDatabase() {
        auto rs = connection.Execute("select db_name()");
        return rs->Fields(0).Text();
    }
    QStringList captions() const {
        QStringList out;
        for (int i = 0; i < form->dblv->ItemCount(); ++i)
            out << form->dblv->ItemCaption(i);
        return out;
    }
    // Clicks the icon of the database, as the user picks it.
    void pick(const QString& name) {
        const int row = int(captions().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        QAbstractItemView* view = form->dblv->View();
        const QPoint centre = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
        ASSERT_EQ(form->qDB->FieldByName("name")->AsString(), name);
    }
};
