#pragma once
// The Users tab in the real main window, logged on to a fresh demo simulator for every test, with
// an sa connection of its own to look at the instance's state.
#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "SimProcess.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TCheckListBox.h"
#include "TdxDBGrid.h"
#include "uLumDialogActions.h"
#include "uTLumMSSQLUserAction.h"
#include "uTLumModuleInterface.h"
#include "ufKestrow.h"
#include "ufLumCustomDialog.h"
#include "ufMSSQLUser.h"

#include <QComboBox>
#include <QHash>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace userstest {

using testsupport::ModalDriver;

class UsersFixture : public ::testing::Test {
protected:
    std::unique_ptr<testsupport::SimProcess> sim;
    std::unique_ptr<TADOConnection> sa;
    std::unique_ptr<TfKestrow> window;
    QTemporaryDir dir;
    QStringList errors;

    void SetUp() override {
        sim = std::make_unique<testsupport::SimProcess>(
            std::vector<std::string>{"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
        sa = std::make_unique<TADOConnection>();
        sa->SetConnectionString(QStringLiteral("Data Source=%1;Initial Catalog=Sales;User ID=sa;Password=sa")
                                    .arg(testsupport::SimServer(*sim)));
        sa->Open();
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override {
        window.reset();
        TApplication::Instance()->OnException = nullptr;
    }

    // The main window logged on as user to database, with the Users tab open and its first
    // membership list loaded.
    TfMSSQLUser* openUsers(const QString& user = "sa", const QString& password = "sa",
                           const QString& database = "Sales") {
        window = std::make_unique<TfKestrow>(
            dir.filePath("marlinde.ini"),
            QStringList{"-s", testsupport::SimServer(*sim), "-u", user, "-p", password, "-d", database});
        if (!window->LoggedOn())
            return nullptr;
        window->show();
        if (!SpinUntil([&] { return window->dxbsConnected->text() == "Connected"; }))
            return nullptr;
        window->pc->setCurrentWidget(window->tsUsers);
        TfMSSQLUser* form = module();
        if (form == nullptr || !waitContent(form))
            return nullptr;
        return form;
    }
    TfMSSQLUser* module() const { return window ? window->aUser->Module() : nullptr; }
    // Waits for the posted membership load after a refresh.
    static bool waitContent(TfMSSQLUser* form) {
        return SpinUntil([form] { return form->clbContent->count() > 0; });
    }
    static void spin(int ms = 30) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // The first column of every row the sa connection reads.
    QStringList values(const QString& sql) const {
        QStringList out;
        auto rs = sa->Execute(sql);
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            out << rs->Fields(0).Text();
        return out;
    }
    QString value(const QString& sql) const {
        const QStringList v = values(sql);
        return v.isEmpty() ? QStringLiteral("none") : v.first();
    }
    // Read from the database's own tables: the role's uid among the member's groups.
    bool isRoleMember(const QString& user, const QString& role) const {
        QHash<QString, QString> uid;
        auto users = sa->Execute("select name, uid from Sales..sysusers");
        for (users->MoveFirst(); !users->Eof(); users->MoveNext())
            uid.insert(users->Fields(0).Text().toLower(), users->Fields(1).Text());
        if (!uid.contains(user.toLower()) || !uid.contains(role.toLower()))
            return false;
        auto members = sa->Execute("select memberuid, groupuid from Sales..sysmembers");
        for (members->MoveFirst(); !members->Eof(); members->MoveNext())
            if (members->Fields(0).Text() == uid[user.toLower()] &&
                members->Fields(1).Text() == uid[role.toLower()])
                return true;
        return false;
    }
    bool loginExists(const QString& name) const {
        return value(QStringLiteral("select count(1) from master..syslogins where name = N'%1'")
                         .arg(QString(name).replace("'", "''"))) == "1";
    }
    bool userExists(const QString& name) const {
        return value(QStringLiteral("select count(*) from Sales..sysusers where name = N'%1'")
                         .arg(QString(name).replace("'", "''"))) == "1";
    }

    static QStringList gridNames(TfMSSQLUser* form) {
        QStringList out;
        TBookmark mark = form->qUser->GetBookmark();
        form->qUser->DisableControls();
        for (form->qUser->First(); !form->qUser->Eof(); form->qUser->Next())
            out << form->qUser->FieldByName("name")->AsString();
        form->qUser->GotoBookmark(mark);
        form->qUser->EnableControls();
        return out;
    }
    static QString current(TfMSSQLUser* form) { return form->qUser->FieldByName("name")->AsString(); }
    static QStringList ticked(TfMSSQLUser* form) {
        QStringList out;
        for (int i = 0; i < form->clbContent->count(); ++i)
            if (form->clbContent->Checked(i))
                out << form->clbContent->item(i)->text();
        return out;
    }
    static int itemIndex(TfMSSQLUser* form, const QString& text) {
        for (int i = 0; i < form->clbContent->count(); ++i)
            if (form->clbContent->item(i)->text() == text)
                return i;
        return -1;
    }
    // Moves the list to the principal; the membership list follows at once.
    static bool select(TfMSSQLUser* form, const QString& name) {
        return form->qUser->Locate("name", name, loCaseInsensitive) && current(form) == name;
    }

    // The texts of the statements the simulator received through sp_executesql.
    QStringList executed() const {
        QStringList out;
        for (const std::string& line : sim->logLines()) {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const QJsonArray params = o.value("params").toArray();
            if (o.value("type").toString() == "rpc" && !params.isEmpty())
                out << params[0].toObject().value("value").toString();
        }
        return out;
    }
    // A query's text as the driver sends it: its parameter marks become @P1, @P2 ... in order.
    static QString sent(const TADOQuery* query, const QStringList& marks) {
        QString text = query->SQLText();
        QList<int> order;
        for (int i = 0; i < marks.size(); ++i)
            order << i;
        // Longer marks first, so ":name" does not eat into ":name2".
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return marks[a].size() > marks[b].size(); });
        for (int i : order)
            text.replace(":" + marks[i], QStringLiteral("@P%1").arg(i + 1));
        return text;
    }
    // The membership change statements the simulator received, as their bInclude values.
    QStringList changeStatements() const {
        QStringList out;
        for (const std::string& line : sim->logLines()) {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const QJsonArray params = o.value("params").toArray();
            if (o.value("type").toString() != "rpc" || params.isEmpty() ||
                !params[0].toObject().value("value").toString().contains("set @bInclude = @P3"))
                continue;
            // The statement, the declarations, then @P1 ...: bInclude is @P3.
            out << params[4].toObject().value("value").toString();
        }
        return out;
    }

    // A modal step that types text into an input box and confirms it, checking its texts.
    static ModalDriver::Step answer(const QString& text, const QString& caption = {},
                                    const QString& prompt = {}) {
        return [=](QWidget* modal) {
            auto* box = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(box, nullptr) << "expected an input box";
            if (!caption.isEmpty()) {
                EXPECT_EQ(box->windowTitle(), caption);
            }
            if (!prompt.isEmpty()) {
                EXPECT_EQ(box->labelText(), prompt);
            }
            box->setTextValue(text);
            box->accept();
        };
    }
    // A modal step that reads a message box's text and confirms it.
    static ModalDriver::Step message(QString* text) {
        return [text](QWidget* modal) {
            *text = ModalDriver::Text(modal);
            ModalDriver::ClickDefault(modal);
        };
    }
};

} // namespace userstest
