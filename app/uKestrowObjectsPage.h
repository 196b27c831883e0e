#pragma once
// The Objects page of the main window: every object of the current database with its owner and
// type, the creation script of the chosen object (Edit) and the rows of a table or view (Show
// data). Its components belong to the main window, so the window's storage and translator reach
// them by name.
#include <QObject>

class QPlainTextEdit;
class QToolBar;
class QWidget;
class TADOConnection;
class TADOQuery;
class TAction;
class TDataSource;
class TImageList;
class TLumControlDialogAction;
class TLumDataSourceEditAction;
class TLumDatasetRefresh;
class TLumModuleInterface;
class TLumdxGridShowGroupPanel;
class TdxDBGrid;
class TdxDBGridColumn;

class TKestrowObjectsPage : public QObject {
    Q_OBJECT

public:
    // form: the main window that owns the components; page: the tab page they fill.
    TKestrowObjectsPage(QWidget* form, QWidget* page, TADOConnection* connection,
                        TLumModuleInterface* moduleInterface);

    // "owner.name" of the grid's current row.
    QString ObjectName() const;

    void aEditExecute();
    void dxdbgDblClick();
    // Prepares qTable for Show data; aborts silently when there is no current row.
    void aTableShowBeforeExecute();
    // The page came to front: the list is opened unless it is open.
    void PageActivation();
    // Another database was selected: the list is closed until the page shows it again.
    void DatabaseChanged();

    TADOQuery* qObjects;
    TDataSource* dsObjects;
    TdxDBGrid* dxdbg;
    TdxDBGridColumn* dxdbgUser;
    TdxDBGridColumn* dxdbgName;
    TdxDBGridColumn* dxdbgType;
    QToolBar* ActionToolBar1;
    TImageList* ilTables;
    TLumDatasetRefresh* aObjectsRefresh;
    TAction* aEdit;
    TLumDataSourceEditAction* aTableShow;
    TLumdxGridShowGroupPanel* adxShowGroupPanel;
    TADOQuery* qStruct;
    QPlainTextEdit* mObjectText;
    TLumControlDialogAction* aObjectTextShow;
    TADOQuery* qTable;
    TDataSource* dsTable;
};
