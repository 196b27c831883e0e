#include "ufLumMSSQLDB.h"

#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TComboBox.h"
#include "TDataSource.h"
#include "TFileActions.h"
#include "TImageList.h"
#include "TSqlIdentifier.h"
#include "uComponentUtils.h"
#include "uDBImages.h"
#include "uDatabaseUtils.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uTLumDBListView.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleInterface.h"
#include "uTLumStorage.h"
#include "uTaLumMSSQLDB.h"
#include "uWaitCursor.h"
#include "ufLumCustomDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char* const kUserRecreate[] = {
    "-- use db",
    "",
    "select u.name as suser, g.name as sgroup",
    "  into #t_groups",
    "  from sysusers u, sysmembers m, sysusers g",
    "  where m.memberuid = u.uid and m.groupuid = g.uid",
    "",
    "declare @name sysname, @role sysname",
    "",
    "declare c_user cursor local for",
    "  select name from sysusers",
    "  where uid between 2 and 1000",
    "    and hasdbaccess = 1 and isnull(sid, 0x00) <> 0x00",
    "open c_user",
    "while (1 = 1)",
    "  begin",
    "  fetch next from c_user into @name",
    "  if (@@fetch_status <> 0) break",
    "  exec sp_revokedbaccess @name",
    "  if exists (select 1 from master..syslogins where name = @name)",
    "    exec sp_grantdbaccess @name",
    "  end",
    "close c_user",
    "deallocate c_user",
    "",
    "declare c_group cursor local for",
    "  select t.suser, t.sgroup",
    "  from #t_groups t, sysusers u",
    "  where t.suser <> 'dbo' and t.suser = u.name",
    "open c_group",
    "while (1 = 1)",
    "  begin",
    "  fetch next from c_group into @name, @role",
    "  if (@@fetch_status <> 0) break",
    "  exec sp_addrolemember @role, @name",
    "  end",
    "close c_group",
    "deallocate c_group",
    "",
    "drop table #t_groups",
};

} // namespace

TfLumMSSQLDB::TfLumMSSQLDB(QWidget* parent) : TLumCustomModuleForm(parent) {
    setObjectName(QStringLiteral("fLumMSSQLDB"));
    SetCaption(QStringLiteral("DB"));
    createComponents();
    // Computed once; a stored value replaces it when the settings are read.
    eRestoreDir->setText(DefaultRestoreDir());
    LumStorage->SetStoredProps({QStringLiteral("eRestoreDir.Text"), QStringLiteral("eRestoreFile.Text"),
                                QStringLiteral("cbRestoreSQLOnly.Checked"),
                                QStringLiteral("cbRestoreName.Text")});
}

void TfLumMSSQLDB::createComponents() {
    il = new TImageList(16, 16, this);
    il->setObjectName(QStringLiteral("il"));
    AddDBToolImages(il);
    ilView = new TImageList(24, 24, this);
    ilView->setObjectName(QStringLiteral("ilView"));
    AddDBViewImages(ilView);

    cADO = new TLumModuleADOConnection(this, QStringLiteral("cADO"));
    qDB = new TADOQuery(this);
    qDB->setObjectName(QStringLiteral("qDB"));
    qDB->SetConnection(cADO);
    qDB->SetCursorType(TADOQuery::ctStatic);
    qDB->SetSQL({QStringLiteral("select name, 0 as nImage"), QStringLiteral("from master..sysdatabases"),
                 QStringLiteral("order by 1")});
    dsDB = new TDataSource(this);
    dsDB->setObjectName(QStringLiteral("dsDB"));
    dsDB->SetDataSet(qDB);
    qUserRecreate = new TADOQuery(this);
    qUserRecreate->setObjectName(QStringLiteral("qUserRecreate"));
    qUserRecreate->SetConnection(cADO);
    QStringList batch;
    for (const char* line : kUserRecreate)
        batch << QString::fromLatin1(line);
    qUserRecreate->SetSQL(batch);

    aRefresh = new TLumDatasetRefresh(this, QStringLiteral("aRefresh"));
    aRefresh->SetDataSource(dsDB);
    aRefresh->SetHint(QStringLiteral("Refresh"));
    aCreate = new TAction(this, QStringLiteral("aCreate"));
    aCreate->SetCaption(QStringLiteral("Create"));
    aCreate->SetHint(QStringLiteral("Create database"));
    aCreate->OnExecute = [this](TAction*) { aCreateExecute(); };
    aDBDrop = new TAction(this, QStringLiteral("aDBDrop"));
    aDBDrop->SetCaption(QStringLiteral("Drop database"));
    aDBDrop->SetHint(QStringLiteral("Drop database"));
    aDBDrop->OnExecute = [this](TAction*) { aDBDropExecute(); };
    aBackup = new TFileSaveAs(this, QStringLiteral("aBackup"));
    aBackup->SetHint(QStringLiteral("Backup database.."));
    aBackup->SetDefaultExt(QStringLiteral("bak"));
    aBackup->SetFilter(QStringLiteral("bak files|*.bak|All files|*.*"));
    aBackup->OnAccept = [this](QObject*) { aBackupAccept(); };
    aRestore = new TLumControlDialogAction(this, QStringLiteral("aRestore"));
    aRestore->SetHint(QStringLiteral("Restore"));
    aRestore->SetDialogText(QStringLiteral("Restore database (local sql only):"));
    aRestore->SetCopyControl(false);
    aRestore->SetControlWidth(380);
    aRestore->SetControlHeight(240);
    aRestore->BeforeExecute = [this](QObject*) { aRestoreBeforeExecute(); };
    aRestore->BeforeOk = [this](QObject*, bool& canClose) { aRestoreBeforeOk(canClose); };
    aRestore->OnOk = [this](QObject*) { aRestoreOk(); };
    aRestoreFile = new TFileOpen(this, QStringLiteral("aRestoreFile"));
    aRestoreFile->SetHint(QStringLiteral("Restore database"));
    aRestoreFile->SetDefaultExt(QStringLiteral("bak"));
    aRestoreFile->SetFilter(QStringLiteral("bak files|*.bak|All files|*.*"));
    aRestoreFile->OnAccept = [this](QObject*) { aRestoreFileAccept(); };
    aUserRecreate = new TAction(this, QStringLiteral("aUserRecreate"));
    aUserRecreate->SetCaption(QStringLiteral("Recreate DB users"));
    aUserRecreate->SetHint(
        QStringLiteral("You need to recreate users when backup database from another server"));
    aUserRecreate->OnExecute = [this](TAction*) { aUserRecreateExecute(); };
    const struct {
        TAction* action;
        int image;
    } images[] = {{aRefresh, 0}, {aCreate, 3}, {aDBDrop, 4}, {aBackup, 1}, {aRestore, 2}, {aUserRecreate, 5}};
    for (const auto& a : images) {
        a.action->SetImages(il);
        a.action->SetImageIndex(a.image);
    }

    pHeader = new QLabel(QStringLiteral("DB"), this);
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
    ActionToolBar1->addAction(aCreate);
    ActionToolBar1->addAction(aDBDrop);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aBackup);
    ActionToolBar1->addAction(aRestore);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aUserRecreate);

    dblv = new TLumDBListView(this, QStringLiteral("dblv"));
    dblv->SetLargeImages(ilView);
    dblv->SetColumns({QStringLiteral("Название")});
    dblv->SetAlowSort(false);
    dblv->SetHideSelection(false);
    dblv->SetReadOnly(true);
    dblv->SetDataSource(dsDB);
    dblv->SetDataField(QStringLiteral("name"));
    dblv->SetLargeImageIndexFieldName(QStringLiteral("nImage"));

    createRestorePanel();
    aRestore->SetControl(pRestore);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pHeader);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(dblv, 1);
    layout->addWidget(pRestore);
    pRestore->hide();
}

void TfLumMSSQLDB::createRestorePanel() {
    pRestore = new QWidget(this);
    pRestore->setObjectName(QStringLiteral("pRestore"));
    auto* grid = new QGridLayout(pRestore);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);

    cbRestoreName = new TComboBox(pRestore, QStringLiteral("cbRestoreName"));
    eRestoreFile = new QLineEdit(pRestore);
    eRestoreFile->setObjectName(QStringLiteral("eRestoreFile"));
    eRestoreFile->setToolTip(QStringLiteral("Source-file"));
    sbRestoreFile = new QToolButton(pRestore);
    sbRestoreFile->setObjectName(QStringLiteral("sbRestoreFile"));
    sbRestoreFile->setText(QStringLiteral("..."));
    sbRestoreFile->setToolTip(aRestoreFile->Hint());
    connect(sbRestoreFile, &QToolButton::clicked, this,
            [this] { SafeCall([this] { aRestoreFile->Execute(); }); });
    eRestoreDir = new QLineEdit(pRestore);
    eRestoreDir->setObjectName(QStringLiteral("eRestoreDir"));
    eRestoreDir->setToolTip(QStringLiteral("Directory to store db"));
    sbRestoreDir = new QToolButton(pRestore);
    sbRestoreDir->setObjectName(QStringLiteral("sbRestoreDir"));
    sbRestoreDir->setText(QStringLiteral("..."));
    connect(sbRestoreDir, &QToolButton::clicked, this, [this] { SafeCall([this] { sbRestoreDirClick(); }); });
    cbRestoreSQLOnly = new QCheckBox(QStringLiteral("Generate SQL only"), pRestore);
    cbRestoreSQLOnly->setObjectName(QStringLiteral("cbRestoreSQLOnly"));

    const struct {
        const char* caption;
        QWidget* control;
        QWidget* button;
    } rows[] = {{"DB name", cbRestoreName, nullptr},
                {"File", eRestoreFile, sbRestoreFile},
                {"Directory", eRestoreDir, sbRestoreDir}};
    int row = 0;
    for (const auto& r : rows) {
        auto* label = new QLabel(QString::fromLatin1(r.caption), pRestore);
        label->setBuddy(r.control);
        grid->addWidget(label, row, 0);
        grid->addWidget(r.control, row, 1, 1, r.button ? 1 : 2);
        if (r.button)
            grid->addWidget(r.button, row, 2);
        ++row;
    }
    grid->addWidget(cbRestoreSQLOnly, row++, 1, 1, 2);
    grid->setRowStretch(row, 1);
}

QString TfLumMSSQLDB::DefaultRestoreDir() {
    return GetSQLDataRoot(GetInstalledInstance()) + QStringLiteral("\\Data");
}

void TfLumMSSQLDB::ApplyModuleInterface() {
    TLumCustomModuleForm::ApplyModuleInterface();
    if (auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface()))
        cADO->SetMainConnection(context->ADOConnection());
}

void TfLumMSSQLDB::RefreshData() {
    TLumCustomModuleForm::RefreshData();
    aRefresh->Execute();
}

void TfLumMSSQLDB::RefreshAndNotify() {
    aRefresh->Execute();
    auto* action = qobject_cast<TaLumMSSQLDB*>(ModuleAction());
    if (action && action->DBListChanged)
        action->DBListChanged(this);
}

QString TfLumMSSQLDB::SelectedDatabase() const {
    if (!qDB->Active() || qDB->IsEmpty())
        return QString();
    return qDB->FieldByName(QStringLiteral("name"))->AsString();
}

QString TfLumMSSQLDB::CurrentDatabase() {
    QVariant value;
    QueryFirstValue(QStringLiteral("select db_name()"), cADO, value);
    return value.toString();
}

void TfLumMSSQLDB::UseDatabase(const QString& database) {
    if (!database.isEmpty())
        cADO->Execute(QStringLiteral("use ") + TSqlIdentifier::Quote(database), TADOConnection::cmdText,
                      TADOConnection::eoExecuteNoRecords);
}

void TfLumMSSQLDB::aCreateExecute() {
    bool ok = false;
    const QString name =
        QInputDialog::getText(QApplication::activeWindow(), QApplication::applicationFilePath(),
                              QStringLiteral("Enter new database name:"), QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return;
    {
        TWaitCursor wait;
        cADO->Execute(QStringLiteral("create DATABASE ") + TSqlIdentifier::Quote(name),
                      TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
    }
    ShowInfo(QStringLiteral("Database \"%1\" created.").arg(name));
    RefreshAndNotify();
}

void TfLumMSSQLDB::aDBDropExecute() {
    const QString name = SelectedDatabase();
    if (!ConfirmBox(QStringLiteral("Drop database \"%1\"?").arg(name)))
        return;
    cADO->Execute(QStringLiteral("drop database ") + TSqlIdentifier::Quote(name));
    RefreshAndNotify();
}

void TfLumMSSQLDB::aBackupAccept() {
    const QString name = SelectedDatabase();
    const QString file = aBackup->FileName();
    cADO->Execute(QStringLiteral("backup database ") + TSqlIdentifier::Quote(name) +
                  QStringLiteral(" to DISK = ") + TSqlIdentifier::StringLiteral(file));
    ShowInfo(QStringLiteral("Database \"%1\" backuped to file \"%2\".").arg(name, file));
}

void TfLumMSSQLDB::sbRestoreDirClick() {
    const QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString(), eRestoreDir->text());
    if (!chosen.isEmpty())
        eRestoreDir->setText(QDir::toNativeSeparators(chosen));
}
