#pragma once
// The databases module: the server's databases as icons, and creating, dropping, backing up and
// restoring a database, and re-creating the database users after a restore from another server.
#include "uTLumCustomModuleForm.h"
// Complete types for the framework's inline QPointer members.
#include "uTLumCustomModuleAction.h"
#include "ufModuleParent.h"

#include <QList>
#include <QPair>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;
class QWidget;
class TADOQuery;
class TAction;
class TComboBox;
class TDataSource;
class TFileOpen;
class TFileSaveAs;
class TImageList;
class TLumControlDialogAction;
class TLumDBListView;
class TLumDatasetRefresh;
class TLumModuleADOConnection;

class TfLumMSSQLDB : public TLumCustomModuleForm {
    Q_OBJECT

public:
    explicit TfLumMSSQLDB(QWidget* parent = nullptr);

    void ApplyModuleInterface() override;
    void RefreshData() override;
    // Re-reads the list, then tells the module action's DBListChanged.
    void RefreshAndNotify();

    // The restore statement for a backup whose files are (logical name, physical name) in the
    // order the server lists them.
    static QString RestoreStatement(const QString& name, const QString& file, const QString& directory,
                                    const QList<QPair<QString, QString>>& files);
    // The installed instance's data root + "\Data".
    static QString DefaultRestoreDir();

    void aCreateExecute();
    void aDBDropExecute();
    void aBackupAccept();
    void aRestoreBeforeExecute();
    void aRestoreBeforeOk(bool& canClose);
    void aRestoreFileAccept();
    void aRestoreOk();
    void aUserRecreateExecute();
    void sbRestoreDirClick();

    QLabel* pHeader;
    QToolBar* ActionToolBar1;
    TLumDBListView* dblv;
    TLumModuleADOConnection* cADO;
    TADOQuery* qDB;
    TDataSource* dsDB;
    TADOQuery* qUserRecreate;
    QWidget* pRestore;
    TComboBox* cbRestoreName;
    QLineEdit* eRestoreFile;
    QToolButton* sbRestoreFile;
    QLineEdit* eRestoreDir;
    QToolButton* sbRestoreDir;
    QCheckBox* cbRestoreSQLOnly;
    TImageList* il;
    TImageList* ilView;
    TLumDatasetRefresh* aRefresh;
    TAction* aCreate;
    TAction* aDBDrop;
    TFileSaveAs* aBackup;
    TLumControlDialogAction* aRestore;
    TFileOpen* aRestoreFile;
    TAction* aUserRecreate;

private:
    void createComponents();
    void createRestorePanel();
    // The name field of qDB's current row: the database every action works on.
    QString SelectedDatabase() const;
    // Asks about re-creating the users of the database.
    bool ConfirmRecreateUsers(const QString& database);
    // Runs the re-creation batch in the database; the connection is in that database afterwards.
    void RecreateUsers(const QString& database);
    // The database the shared connection is in now.
    QString CurrentDatabase();
    void UseDatabase(const QString& database);
    // The same after a failure: a failure of its own is dropped, the first one is reported.
    void ReturnToDatabase(const QString& database);
};
