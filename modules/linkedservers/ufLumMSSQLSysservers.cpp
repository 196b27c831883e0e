#include "ufLumMSSQLSysservers.h"

#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TDataSource.h"
#include "TImageList.h"
#include "TSqlIdentifier.h"
#include "TStarPasswordStyle.h"
#include "uComponentUtils.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uServerImages.h"
#include "uTLumDBListView.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleInterface.h"
#include "ufLumCustomDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QVBoxLayout>

TfLumMSSQLSysservers::TfLumMSSQLSysservers(QWidget* parent) : TLumCustomModuleForm(parent) {
    setObjectName(QStringLiteral("fLumMSSQLSysservers"));
    SetCaption(QStringLiteral("Servers"));
    createComponents();
}

void TfLumMSSQLSysservers::createComponents() {
    il = new TImageList(16, 16, this);
    il->setObjectName(QStringLiteral("il"));
    AddServerToolImages(il);
    ilView = new TImageList(24, 24, this);
    ilView->setObjectName(QStringLiteral("ilView"));
    AddServerViewImages(ilView);

    cADO = new TLumModuleADOConnection(this, QStringLiteral("cADO"));
    qServers = new TADOQuery(this);
    qServers->setObjectName(QStringLiteral("qServers"));
    qServers->SetConnection(cADO);
    qServers->SetCursorType(TADOQuery::ctStatic);
    qServers->SetSQL({QStringLiteral("select srvname, 0 as nImage"),
                      QStringLiteral("from master..sysservers"), QStringLiteral("order by 1")});
    dsDB = new TDataSource(this);
    dsDB->setObjectName(QStringLiteral("dsDB"));
    dsDB->SetDataSet(qServers);

    aRefresh = new TLumDatasetRefresh(this, QStringLiteral("aRefresh"));
    aRefresh->SetDataSource(dsDB);
    aRefresh->SetHint(QStringLiteral("Refresh"));
    aAdd = new TLumControlDialogAction(this, QStringLiteral("aAdd"));
    aAdd->SetCaption(QStringLiteral("Add"));
    aAdd->SetHint(QStringLiteral("Add server"));
    aAdd->SetDialogText(QStringLiteral("Enter server-connection properties:"));
    aAdd->SetCopyControl(false);
    aAdd->SetControlWidth(380);
    aAdd->SetControlHeight(240);
    aAdd->BeforeExecute = [this](QObject*) { aAddBeforeExecute(); };
    aAdd->OnOk = [this](QObject*) { aAddOk(); };
    aDrop = new TAction(this, QStringLiteral("aDrop"));
    aDrop->SetCaption(QStringLiteral("Drop"));
    aDrop->SetHint(QStringLiteral("Drop server"));
    aDrop->OnExecute = [this](TAction*) { aDropExecute(); };
    const struct {
        TAction* action;
        int image;
    } images[] = {{aRefresh, 0}, {aAdd, 1}, {aDrop, 2}};
    for (const auto& a : images) {
        a.action->SetImages(il);
        a.action->SetImageIndex(a.image);
    }

    pHeader = new QLabel(QStringLiteral("Servers"), this);
    pHeader->setObjectName(QStringLiteral("pHeader"));
    pHeader->setFixedHeight(30);
    pHeader->setIndent(10);
    pHeader->setAutoFillBackground(true);
    QPalette header = pHeader->palette();
    header.setColor(QPalette::Window, QColor(128, 128, 128)); // the application workspace's grey
    header.setColor(QPalette::WindowText, Qt::white);
    pHeader->setPalette(header);
    QFont title(QStringLiteral("Tahoma"));
    title.setPixelSize(19);
    title.setBold(true);
    pHeader->setFont(title);

    ActionToolBar1 = new QToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setFixedHeight(26);
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aRefresh);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aAdd);
    ActionToolBar1->addAction(aDrop);
    ActionToolBar1->addSeparator();

    dblv = new TLumDBListView(this, QStringLiteral("dblv"));
    dblv->SetLargeImages(ilView);
    dblv->SetColumns({QStringLiteral("Название")});
    dblv->SetAlowSort(false);
    dblv->SetHideSelection(false);
    dblv->SetReadOnly(true);
    dblv->SetDataSource(dsDB);
    dblv->SetDataField(QStringLiteral("srvname"));
    dblv->SetLargeImageIndexFieldName(QStringLiteral("nImage"));

    createServerPanel();
    aAdd->SetControl(pServer);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pHeader);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(dblv, 1);
    layout->addWidget(pServer);
    pServer->hide();
}

void TfLumMSSQLSysservers::createServerPanel() {
    pServer = new QWidget(this);
    pServer->setObjectName(QStringLiteral("pServer"));
    auto* grid = new QGridLayout(pServer);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);

    cbServerType = new QComboBox(pServer);
    cbServerType->setObjectName(QStringLiteral("cbServerType"));
    cbServerType->addItem(QStringLiteral("SQL Server"));
    cbServerType->setCurrentIndex(0);
    eServer = new QLineEdit(pServer);
    eServer->setObjectName(QStringLiteral("eServer"));
    eLogin = new QLineEdit(pServer);
    eLogin->setObjectName(QStringLiteral("eLogin"));
    ePwd = new QLineEdit(pServer);
    ePwd->setObjectName(QStringLiteral("ePwd"));
    TStarPasswordStyle::Apply(ePwd);

    const struct {
        const char* caption;
        QWidget* control;
    } rows[] = {{"Server type", cbServerType},
                {"Server name", eServer},
                {"Remote login", eLogin},
                {"Password", ePwd}};
    int row = 0;
    for (const auto& r : rows) {
        auto* label = new QLabel(QString::fromLatin1(r.caption), pServer);
        label->setBuddy(r.control);
        grid->addWidget(label, row, 0);
        grid->addWidget(r.control, row, 1);
        ++row;
    }
    grid->setRowStretch(row, 1);
}

void TfLumMSSQLSysservers::ApplyModuleInterface() {
    TLumCustomModuleForm::ApplyModuleInterface();
    if (auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface()))
        cADO->SetMainConnection(context->ADOConnection());
}

void TfLumMSSQLSysservers::RefreshData() {
    TLumCustomModuleForm::RefreshData();
    aRefresh->Execute();
}

QString TfLumMSSQLSysservers::SelectedServer() const {
    if (!qServers->Active() || qServers->IsEmpty())
        return QString();
    return qServers->FieldByName(QStringLiteral("srvname"))->AsString();
}

void TfLumMSSQLSysservers::aAddBeforeExecute() {
    eServer->clear();
    eLogin->clear();
    ePwd->clear();
}

void TfLumMSSQLSysservers::aAddOk() {
    const QString server = TSqlIdentifier::StringLiteral(eServer->text());
    cADO->Execute(QStringLiteral("EXEC sp_addlinkedserver ") + server + QStringLiteral(", ") +
                  TSqlIdentifier::StringLiteral(cbServerType->currentText()));
    try {
        cADO->Execute(QStringLiteral("EXEC sp_addlinkedsrvlogin ") + server +
                      QStringLiteral(", FALSE, NULL, ") + TSqlIdentifier::StringLiteral(eLogin->text()) +
                      QStringLiteral(", ") + TSqlIdentifier::StringLiteral(ePwd->text()));
    } catch (...) {
        // The server is added all the same: the list shows it before the error is told.
        try {
            aRefresh->Execute();
        } catch (...) {
            // The mapping's failure is the one to report.
        }
        throw;
    }
    aRefresh->Execute();
}

void TfLumMSSQLSysservers::aDropExecute() {
    const QString server = SelectedServer();
    if (!ConfirmBox(QStringLiteral("Delete server-connection \"%1\"?").arg(server)))
        return;
    cADO->Execute(QStringLiteral("EXEC sp_dropserver ") + TSqlIdentifier::StringLiteral(server) +
                  QStringLiteral(", 'droplogins'"));
    aRefresh->Execute();
}
