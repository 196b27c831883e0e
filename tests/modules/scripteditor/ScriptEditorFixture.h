#pragma once
// A script editor docked in a host widget, on a connection to the shared demo simulator.
#include "DemoSimSuite.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TField.h"
#include "TLumResultPane.h"
#include "TLumSqlEditor.h"
#include "TLumTabSheet.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "TdxInspector.h"
#include "uTLumDlgButtonPanel.h"
#include "uTLumModuleInterface.h"
#include "uTaLumScript.h"
#include "ufLumCustomDialog.h"
#include "ufLumScript.h"

#include <QLabel>
#include <QTest>

#include <memory>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

class ScriptEditorFixture : public testsupport::DemoSimSuite {
public:
    static void clickOkStatic(QWidget* modal) { clickOk(modal); }

protected:
    std::unique_ptr<TADOConnection> connection;
    std::unique_ptr<TLumModuleInterface> context;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<TaLumScript> action;
    TfLumScript* form = nullptr;
    QStringList errors;

    void open(const QString& database, const QString& iniFile = {}) {
        qobject_cast<TApplication*>(qApp)->OnException = [this](const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        };
        connection = std::make_unique<TADOConnection>();
        connection->SetConnectionString(SaConnectionString(database));
        connection->Open();
        context = std::make_unique<TLumModuleInterface>();
        context->SetADOConnection(connection.get());
        context->SetLanguage(QStringLiteral("English"));
        context->SetIniFileName(iniFile);
        host = std::make_unique<QWidget>();
        host->resize(700, 500);
        action = std::make_unique<TaLumScript>(nullptr, QStringLiteral("aLumScript"));
        action->SetModuleInterface(context.get());
        action->SetParent(host.get());
        action->Loaded();
        host->show();
        action->Execute();
        form = qobject_cast<TfLumScript*>(action->ModuleForm());
        ASSERT_NE(form, nullptr);
    }
    void SetUp() override { open(QStringLiteral("Sales")); }
    void TearDown() override {
        action.reset();
        host.reset();
        context.reset();
        connection.reset();
        qobject_cast<TApplication*>(qApp)->OnException = nullptr;
    }

    QString caption() const { return form->dxts1->Caption(); }
    QStringList paneLines() const { return form->re1Result->Text().split(QLatin1Char('\n')); }
    static TfLumCustomDialog* dialogOf(QWidget* modal) { return qobject_cast<TfLumCustomDialog*>(modal); }
    static void clickOk(QWidget* modal) {
        TfLumCustomDialog* d = dialogOf(modal);
        ASSERT_NE(d, nullptr);
        d->pButton->Button(0)->click();
    }
    static void clickCancel(QWidget* modal) {
        TfLumCustomDialog* d = dialogOf(modal);
        ASSERT_NE(d, nullptr);
        d->pButton->Button(1)->click();
    }
};
