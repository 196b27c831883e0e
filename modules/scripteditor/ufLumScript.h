#pragma once
// The Query tab's script editor: the script in an SQL editor, a result pane below it, running
// the selection or the whole script through the script runner (with progress and Stop), opening
// and saving script files, the deletion script of a script's create statements, and creation
// scripts generated for a database object chosen in an options dialog.
#include "uTLumCustomModuleForm.h"

#include <QPointer>
#include <QString>

#include <memory>

class QFileDialog;
class QLabel;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class TADOQuery;
class TAction;
class TDataSource;
class TImageList;
class TLumControlDialogAction;
class TLumDatasetRefresh;
class TLumModuleADOConnection;
class TLumResultPane;
class TLumScriptRunner;
class TLumSqlEditor;
class TLumTabSheet;
class TdxDBGrid;
class TdxInspector;
class TdxInspectorCategoryRow;
class TdxInspectorCheckRow;
class TdxInspectorTextRow;

class TfLumScript : public TLumCustomModuleForm {
    Q_OBJECT

public:
    TfLumScript();
    ~TfLumScript() override;

    void ApplyModuleInterface() override;
    // The translator sets the design caption; the tab then shows the file name and flag again.
    void SetLanguage(const QString& language) override;

    // The script file last opened or saved (empty when none) and whether the text changed since.
    QString FileName() const { return m_fileName; }
    bool Modified() const { return m_modified; }
    void SetModified(bool value);
    // Writes the editor's text to the file name; the name is taken only when the write succeeded.
    void SaveToFile(const QString& fileName);
    // Loads a file into the editor; the name is taken only when the read succeeded.
    void LoadFromFile(const QString& fileName);
    // True while a run is in progress.
    bool Running() const { return m_running; }
    // Stops the run in progress (Stop button, Alt+Break).
    void StopRun();

    void aRunExecute();
    void aOpenExecute();
    void aSaveExecute();
    void aScriptDelExecute();
    void aScriptCreateExecute();
    void InsertQueryText(TADOQuery* query);
    void LumScriptRunnerError(const QString& err, bool& aBreak, bool& aAsk);
    void LumScriptRunnerMessage(const QString& s);
    void LumScriptRunnerProgress(int pos, int max, const QString& comment);
    void aScriptParamsBeforeOk(bool& canClose);
    void re1KeyDown(int& key, Qt::KeyboardModifiers shift);
    void re1Change();
    void dxirNameButtonClick();

    QToolBar* ActionToolBar1;
    QTabWidget* dxpc;
    TLumTabSheet* dxts1;
    TLumSqlEditor* re1;
    QSplitter* Splitter1;
    TLumResultPane* re1Result;
    QLabel* lStatus;
    TLumModuleADOConnection* ADOConnection;
    TLumScriptRunner* LumScriptRunner;
    QFileDialog* OpenDialog;
    QFileDialog* SaveDialog;
    TdxInspector* dxiCreateScript;
    TdxInspectorTextRow* dxirName;
    TdxInspectorCategoryRow* dxiCreateScriptRow5;
    TdxInspectorCheckRow* dxirDiv;
    TdxInspectorCheckRow* dxirStruct;
    TdxInspectorCheckRow* dxirDBAccess;
    TdxInspectorCheckRow* dxirProp;
    TdxInspectorCategoryRow* dxirScriptTable;
    TdxInspectorCheckRow* dxirData;
    TdxInspectorTextRow* dxirDataWhere;
    TdxInspectorCheckRow* dxirDataId;
    TdxInspectorCheckRow* dxirTriggers;
    TdxInspectorCheckRow* dxirAccess;
    QWidget* pObjects;
    TdxDBGrid* dxdbgObjects;
    QWidget* pObjectsRefresh;
    TADOQuery* qObjects;
    TDataSource* dsObjects;
    TADOQuery* qStruct;
    TADOQuery* qProp;
    TADOQuery* qAccess;
    TADOQuery* qDBAccess;
    TADOQuery* qData;
    TImageList* il;
    TAction* aOpen;
    TAction* aSave;
    TAction* aRun;
    TAction* aStop;
    TAction* aScriptCreate;
    TAction* aScriptDel;
    TLumControlDialogAction* aScriptParams;
    TLumControlDialogAction* aObjects;
    TLumDatasetRefresh* aRefreshObjects;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createEditor();
    void createOptions();
    void createObjectChooser();
    void createTranslations();
    TADOQuery* newQuery(const char* name, const char* text);
    // The selection, or the whole text when nothing is selected, as the runner's script.
    void takeScript();
    void updateCaption();
    // The text of a translator key in the active language (the design text before one is chosen).
    QString text(const QString& key) const;
    // Lines appended to the result pane; CR and LF become blanks.
    void appendLines(const QStringList& lines);

    QString m_fileName;
    bool m_modified = false;
    bool m_running = false;
    int m_batch = 0;
    int m_batches = 0;
    QPointer<QToolButton> m_stopButton;
};
