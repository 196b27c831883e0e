#include "ufLumScript.h"

#include "Exception.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "TImageList.h"
#include "TLumResultPane.h"
#include "TLumScriptAskBox.h"
#include "TLumSqlEditor.h"
#include "TLumTabSheet.h"
#include "TServerWait.h"
#include "TdxDBGrid.h"
#include "TdxInspector.h"
#include "uComponentUtils.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uLumScriptQueries.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleInterface.h"
#include "uTLumModuleParams.h"
#include "uTLumScriptRunner.h"
#include "uTLumStorage.h"
#include "uTLumTranslator.h"
#include "ufLumCustomDialog.h"
#include "ufModuleParent.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QSaveFile>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

struct TText {
    const char* key;
    const char* english;
    const char* russian;
};

const TText kTexts[] = {
    {"ObjectNameNotSet", "Object name not set.", "Не задано название объекта."},
    {"CreateDeletionScript", "Create deletion script?", "Создать скрипт на удаление?"},
    {"Script", "Script", "Скрипт"},
    {"Completed", "Completed.", "Завершено."},
    {"Interrupted", "Interrupted.", "Прервано."},
    {"aSave.Hint", "Save script", "Сохранить скрипт"},
    {"aRun.Hint", "Run", "Выполнить"},
    {"aScriptCreate.Hint", "Create script", "Создать скрипт"},
    {"aScriptDel.Hint", "Create deletion script", "Составить скрипт на удаление"},
    {"aRefreshObjects.Hint", "Refresh objects", "Обновить"},
    {"aOpen.Hint", "Open script", "Открыть скрипт"},
    {"dxts1.Caption", "Script", "Скрипт"},
    {"dxiCreateScriptRow5.Caption", "Make script for:", "Скриптовать"},
    {"dxirAccess.Caption", "Access", "Права (msref)"},
    {"dxirData.Caption", "Data", "Данные"},
    {"dxirDataId.Caption", "Data (identity)", "Данные (Identity)"},
    {"dxirDataWhere.Caption", "Where", "Ограничение (where)"},
    {"dxirDBAccess.Caption", "Access", "Права (БД)"},
    {"dxirDiv.Caption", "Code splitter", "Разделитель (--)"},
    {"dxirName.Caption", "Object", "Объект"},
    {"dxirProp.Caption", "Extended properties", "Свойства (Ext)"},
    {"dxirScriptTable.Caption", "Table", "Таблица"},
    {"dxirStruct.Caption", "Structure", "Структура"},
    {"dxirTriggers.Caption", "Triggers", "Триггеры"},
    {"aScriptCreate.Caption", "Create script", "Создать скрипт"},
    {"aScriptParams.DialogCaption", "Script creation", "Создание скрипта"},
    {"aScriptParams.DialogText", "Enter object name:", "Введите название объекта:"},
    // The run's progress and its Stop button.
    {"Batch", "Batch %1 of %2: %3", "Пакет %1 из %2: %3"},
    {"aStop.Hint", "Stop (Alt+Break)", "Остановить (Alt+Break)"},
};

const char* const kFilter = "файлы sql (*.sql);;Все файлы (*)";

void addImages(TImageList* images) {
    const QColor ink(40, 70, 140);
    images->Add([ink](QPainter& p, const QRectF& r) { // open
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(r.adjusted(2, 5, -2, -3));
        p.drawRect(QRectF(r.left() + 2, r.top() + 3, 5, 2));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // save
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(90, 120, 200));
        p.drawRect(r.adjusted(2, 2, -2, -2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(r.left() + 4, r.top() + 2, r.width() - 8, 5));
    });
    images->Add([](QPainter& p, const QRectF& r) { // run
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 140, 40));
        p.drawPolygon(QPolygonF{QPointF(r.left() + 4, r.top() + 2), QPointF(r.right() - 3, r.center().y()),
                                QPointF(r.left() + 4, r.bottom() - 2)});
    });
    images->Add([](QPainter& p, const QRectF& r) { // deletion script
        p.setPen(QPen(QColor(190, 30, 30), 2.5));
        p.drawLine(QPointF(r.left() + 3, r.top() + 3), QPointF(r.right() - 3, r.bottom() - 3));
        p.drawLine(QPointF(r.left() + 3, r.bottom() - 3), QPointF(r.right() - 3, r.top() + 3));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // create script
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(r.adjusted(3, 1, -3, -1));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(r.left() + 5, r.top() + 5 + i * 3),
                       QPointF(r.right() - 5, r.top() + 5 + i * 3));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // refresh
        p.setPen(QPen(ink, 2));
        p.drawArc(r.adjusted(3, 3, -3, -3), 30 * 16, 300 * 16);
    });
    images->Add([](QPainter& p, const QRectF& r) { // stop
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawRect(r.adjusted(3, 3, -3, -3));
    });
}

// Line breaks of inserted text as the editor keeps them.
QString editorLines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

TfLumScript::TfLumScript() {
    setObjectName(QStringLiteral("fLumScript"));
    resize(600, 400);
    il = new TImageList(16, 16, this);
    il->setObjectName(QStringLiteral("il"));
    addImages(il);

    ADOConnection = new TLumModuleADOConnection(this, QStringLiteral("ADOConnection"));
    // Without a handler of its own the runner asks with a message box.
    TLumScriptAskBox::Install();
    LumScriptRunner = new TLumScriptRunner(this);
    LumScriptRunner->setObjectName(QStringLiteral("LumScriptRunner"));
    LumScriptRunner->SetConnection(ADOConnection);
    LumScriptRunner->OnError = [this](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
        LumScriptRunnerError(err, aBreak, aAsk);
    };
    LumScriptRunner->OnMessage = [this](QObject*, const QString& s) { LumScriptRunnerMessage(s); };
    LumScriptRunner->OnLines = [this](QObject*, const QStringList& lines) { appendLines(lines); };
    LumScriptRunner->OnProgress = [this](QObject*, int pos, int max, const QString& comment) {
        LumScriptRunnerProgress(pos, max, comment);
    };

    createActions();
    createEditor();
    createOptions();
    createObjectChooser();

    OpenDialog = new QFileDialog(this, QString(), QString(), QString::fromUtf8(kFilter));
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog = new QFileDialog(this, QString(), QString(), QString::fromUtf8(kFilter));
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setDefaultSuffix(QStringLiteral("sql"));
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);

    LumStorage->SetStoredProps({QStringLiteral("re1Result.Height"), QStringLiteral("dxirData.Text"),
                                QStringLiteral("dxirDataId.Text"), QStringLiteral("dxirDBAccess.Text"),
                                QStringLiteral("dxirAccess.Text"), QStringLiteral("dxirProp.Text"),
                                QStringLiteral("dxirStruct.Text"), QStringLiteral("dxirDiv.Text")});
    createTranslations();
    updateCaption();
}

TfLumScript::~TfLumScript() {
    if (m_running)
        qApp->removeEventFilter(this);
}

TADOQuery* TfLumScript::newQuery(const char* name, const char* text) {
    auto* q = new TADOQuery(this);
    q->setObjectName(QString::fromLatin1(name));
    q->SetConnection(ADOConnection);
    q->SetSQLText(QString::fromUtf8(text));
    return q;
}

void TfLumScript::createActions() {
    auto action = [this](const char* name, int image) {
        auto* a = new TAction(this, QString::fromLatin1(name));
        a->SetImages(il);
        a->SetImageIndex(image);
        return a;
    };
    aOpen = action("aOpen", 0);
    aOpen->SetHint(QStringLiteral("Открыть скрипт"));
    aOpen->OnExecute = [this](TAction*) { aOpenExecute(); };
    aSave = action("aSave", 1);
    aSave->SetHint(QStringLiteral("Сохранить скрипт"));
    aSave->OnExecute = [this](TAction*) { aSaveExecute(); };
    aRun = action("aRun", 2);
    aRun->SetHint(QStringLiteral("Выполнить"));
    aRun->OnExecute = [this](TAction*) { aRunExecute(); };
    aStop = action("aStop", 6);
    aStop->SetHint(QStringLiteral("Остановить (Alt+Break)"));
    aStop->SetEnabled(false);
    aStop->OnExecute = [this](TAction*) { StopRun(); };
    aScriptCreate = action("aScriptCreate", 4);
    aScriptCreate->SetCaption(QStringLiteral("Создать скрипт"));
    aScriptCreate->SetHint(QStringLiteral("Создать скрипт"));
    aScriptCreate->OnExecute = [this](TAction*) { aScriptCreateExecute(); };
    aScriptDel = action("aScriptDel", 3);
    aScriptDel->SetHint(QStringLiteral("Составить скрипт на удаление"));
    aScriptDel->OnExecute = [this](TAction*) { aScriptDelExecute(); };

    ActionToolBar1 = new QToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setFixedHeight(26);
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aOpen);
    ActionToolBar1->addAction(aSave);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aRun);
    ActionToolBar1->addAction(aStop);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aScriptCreate);
    ActionToolBar1->addAction(aScriptDel);
    m_stopButton = qobject_cast<QToolButton*>(ActionToolBar1->widgetForAction(aStop));
}

void TfLumScript::createEditor() {
    dxpc = new QTabWidget(this);
    dxpc->setObjectName(QStringLiteral("dxpc"));
    dxpc->setDocumentMode(true);
    dxts1 = new TLumTabSheet(dxpc);
    dxts1->setObjectName(QStringLiteral("dxts1"));
    dxpc->addTab(dxts1, QString());
    dxts1->SetCaption(QStringLiteral("Скрипт"));
    re1 = new TLumSqlEditor(dxts1);
    re1->setObjectName(QStringLiteral("re1"));
    auto* sheetLayout = new QVBoxLayout(dxts1);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    sheetLayout->addWidget(re1);
    re1->OnKeyDown = [this](QObject*, int& key, Qt::KeyboardModifiers shift) { re1KeyDown(key, shift); };
    connect(re1, &QsciScintilla::textChanged, this, [this] { re1Change(); });

    re1Result = new TLumResultPane(this);
    re1Result->setObjectName(QStringLiteral("re1Result"));
    re1Result->setFont(re1->font());

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(dxpc);
    Splitter1->addWidget(re1Result);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({311, 89});

    lStatus = new QLabel(this);
    lStatus->setObjectName(QStringLiteral("lStatus"));
    lStatus->setTextFormat(Qt::PlainText);
    lStatus->setContentsMargins(4, 1, 4, 1);
    lStatus->setMinimumWidth(1);
    lStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(lStatus);
}

void TfLumScript::createOptions() {
    dxiCreateScript = new TdxInspector(this);
    dxiCreateScript->setObjectName(QStringLiteral("dxiCreateScript"));
    dxiCreateScript->hide();
    dxiCreateScript->SetFlat(true);
    dxiCreateScript->SetDividerPos(145);
    dxiCreateScript->resize(380, 240);
    dxiCreateScript->BeginUpdate();
    auto named = [](auto* row, const char* name, const char* caption) {
        row->setObjectName(QString::fromLatin1(name));
        row->SetCaption(QString::fromUtf8(caption));
        return row;
    };
    dxirName = named(dxiCreateScript->AddRow<TdxInspectorTextRow>(), "dxirName", "Объект");
    dxirName->SetButtonVisible(true);
    dxirName->OnButtonClick = [this](TdxInspectorTextRow*) { dxirNameButtonClick(); };
    dxiCreateScriptRow5 =
        named(dxiCreateScript->AddRow<TdxInspectorCategoryRow>(), "dxiCreateScriptRow5", "Скриптовать");
    dxirDiv = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxiCreateScriptRow5), "dxirDiv",
                    "Разделитель (--)");
    dxirStruct =
        named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxiCreateScriptRow5), "dxirStruct", "Структура");
    dxirDBAccess = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxiCreateScriptRow5), "dxirDBAccess",
                         "Права (БД)");
    dxirProp = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxiCreateScriptRow5), "dxirProp",
                     "Свойства (Ext)");
    dxirScriptTable = named(dxiCreateScript->AddRow<TdxInspectorCategoryRow>(dxiCreateScriptRow5),
                            "dxirScriptTable", "Таблица");
    dxirData = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxirScriptTable), "dxirData", "Данные");
    dxirDataWhere = named(dxiCreateScript->AddRow<TdxInspectorTextRow>(dxirScriptTable), "dxirDataWhere",
                          "Ограничение (where)");
    dxirDataId = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxirScriptTable), "dxirDataId",
                       "Данные (Identity)");
    dxirTriggers =
        named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(dxirScriptTable), "dxirTriggers", "Триггеры");
    dxirAccess = named(dxiCreateScript->AddRow<TdxInspectorCheckRow>(), "dxirAccess", "Права (msref)");
    dxirAccess->SetVisible(false);
    dxiCreateScript->EndUpdate();

    aScriptParams = new TLumControlDialogAction(this, QStringLiteral("aScriptParams"));
    aScriptParams->SetControl(dxiCreateScript);
    aScriptParams->SetCopyControl(false);
    aScriptParams->SetControlWidth(380);
    aScriptParams->SetControlHeight(240);
    aScriptParams->SetControlHeightForced(true);
    aScriptParams->SetDialogCaption(QStringLiteral("Создание скрипта"));
    aScriptParams->SetDialogText(QStringLiteral("Введите название объекта:"));
    aScriptParams->BeforeOk = [this](QObject*, bool& canClose) { aScriptParamsBeforeOk(canClose); };

    qStruct = newQuery("qStruct", scripteditor::queries::kStruct);
    qProp = newQuery("qProp", scripteditor::queries::kProp);
    qAccess = newQuery("qAccess", scripteditor::queries::kAccess);
    qDBAccess = newQuery("qDBAccess", scripteditor::queries::kDBAccess);
    qData = newQuery("qData", scripteditor::queries::kData);
}

void TfLumScript::createObjectChooser() {
    qObjects = newQuery("qObjects", scripteditor::queries::kObjects);
    qObjects->SetCursorType(TADOQuery::ctStatic);
    dsObjects = new TDataSource(this);
    dsObjects->setObjectName(QStringLiteral("dsObjects"));
    dsObjects->SetDataSet(qObjects);

    pObjects = new QWidget(this);
    pObjects->setObjectName(QStringLiteral("pObjects"));
    pObjects->hide();
    pObjects->resize(380, 240);
    dxdbgObjects = new TdxDBGrid(pObjects, QStringLiteral("dxdbgObjects"));
    dxdbgObjects->SetKeyField(QStringLiteral("name"));
    dxdbgObjects->SetShowGroupPanel(true);
    dxdbgObjects->SetOptionsView(dxdbgObjects->OptionsView() | TdxDBGrid::edgoRowSelect);
    dxdbgObjects->SetOptionsDB(dxdbgObjects->OptionsDB() | TdxDBGrid::edgoLoadAllRecords |
                               TdxDBGrid::edgoCanNavigation);
    dxdbgObjects->BeginUpdate();
    TdxDBGridColumn* name =
        dxdbgObjects->CreateColumn(QStringLiteral("name"), this, QStringLiteral("dxdbgObjectsName"));
    name->SetWidth(129);
    TdxDBGridColumn* type =
        dxdbgObjects->CreateColumn(QStringLiteral("type"), this, QStringLiteral("dxdbgObjectsType"));
    TdxDBGridColumn* category =
        dxdbgObjects->CreateColumn(QStringLiteral("category"), this, QStringLiteral("dxdbgObjectsCategory"));
    for (TdxDBGridColumn* c : {type, category}) {
        c->SetVisible(false);
        c->SetSortOrder(csUp);
    }
    type->SetGroupIndex(0);
    category->SetGroupIndex(1);
    dxdbgObjects->EndUpdate();
    dxdbgObjects->SetDataSource(dsObjects);
    dxdbgObjects->OnDblClick = [this](QObject*) {
        if (aObjects->DialogForm() && dxdbgObjects->FocusedStoreRow() >= 0)
            aObjects->DialogForm()->SetModalResult(mrOk);
    };
    auto* objectsLayout = new QVBoxLayout(pObjects);
    objectsLayout->setContentsMargins(0, 0, 0, 0);
    objectsLayout->addWidget(dxdbgObjects);

    aRefreshObjects = new TLumDatasetRefresh(this, QStringLiteral("aRefreshObjects"));
    aRefreshObjects->SetImages(il);
    aRefreshObjects->SetImageIndex(5);
    aRefreshObjects->SetHint(QStringLiteral("Обновить"));
    aRefreshObjects->SetDataSource(dsObjects);
    pObjectsRefresh = new QWidget(this);
    pObjectsRefresh->setObjectName(QStringLiteral("pObjectsRefresh"));
    pObjectsRefresh->hide();
    auto* refreshButton = new QToolButton(pObjectsRefresh);
    refreshButton->setObjectName(QStringLiteral("bRefreshObjects"));
    refreshButton->setDefaultAction(aRefreshObjects);
    refreshButton->setAutoRaise(true);
    auto* refreshLayout = new QHBoxLayout(pObjectsRefresh);
    refreshLayout->setContentsMargins(0, 0, 0, 0);
    refreshLayout->addWidget(refreshButton);

    aObjects = new TLumControlDialogAction(this, QStringLiteral("aObjects"));
    aObjects->SetControl(pObjects);
    // The grid is lent to the dialog: its columns, grouping and data link are its own.
    aObjects->SetCopyControl(false);
    aObjects->SetControlWidth(380);
    aObjects->SetControlHeight(240);
    aObjects->SetControlHeightForced(true);
    aObjects->SetDialogCaption(QStringLiteral("Объекты БД"));
    aObjects->SetDialogText(QStringLiteral("Выберите объект БД"));
    aObjects->SetTopRightControl(pObjectsRefresh);
}

void TfLumScript::createTranslations() {
    Translator->AddLanguage(QStringLiteral("English"));
    Translator->AddLanguage(QStringLiteral("Russian"));
    for (const TText& t : kTexts)
        Translator->AddKey(QString::fromUtf8(t.key),
                           {QString::fromUtf8(t.english), QString::fromUtf8(t.russian)});
    Translator->OnLanguageChange = [this](TLumTranslator*) { updateCaption(); };
}

QString TfLumScript::text(const QString& key) const {
    if (Translator->ActiveLanguage() >= 0)
        return Translator->Translate(key);
    // Before a language is chosen the design texts (Russian) stand.
    const int index = Translator->IndexOfKey(key);
    return index >= 0 ? Translator->Languages()->Items(1)->Lines().value(index) : QString();
}

void TfLumScript::ApplyModuleInterface() {
    TLumCustomModuleForm::ApplyModuleInterface();
    if (auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface()))
        ADOConnection->SetMainConnection(context->ADOConnection());
    if (TLumModuleParams* params = GetParams()) {
        if (TLumModuleParam* dir = params->FindParam(QStringLiteral("DefaultDir"))) {
            OpenDialog->setDirectory(dir->Value().toString());
            SaveDialog->setDirectory(dir->Value().toString());
        }
    }
    updateCaption();
}

void TfLumScript::SetLanguage(const QString& language) {
    TLumCustomModuleForm::SetLanguage(language);
    updateCaption();
}

void TfLumScript::SetModified(bool value) {
    m_modified = value;
    updateCaption();
}

void TfLumScript::updateCaption() {
    QString caption = m_fileName.isEmpty() ? text(QStringLiteral("script")) : m_fileName;
    if (m_modified)
        caption += QStringLiteral(" *");
    dxts1->SetCaption(caption);
}

void TfLumScript::re1Change() {
    SetModified(true);
}

void TfLumScript::takeScript() {
    LumScriptRunner->SetScriptText(re1->hasSelectedText() ? re1->selectedText() : re1->text());
}

void TfLumScript::appendLines(const QStringList& lines) {
    for (const QString& line : lines)
        re1Result->Append(TLumScriptRunner::PaneLine(line));
}

void TfLumScript::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read file \"%1\": %2").arg(fileName, file.errorString()));
    re1->setText(editorLines(QString::fromUtf8(bytes)));
    m_fileName = fileName;
    SetModified(false);
}

void TfLumScript::SaveToFile(const QString& fileName) {
    // The text goes to a temporary file beside the target, which then replaces it: a failed write
    // leaves the old file as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
    file.write(re1->text().toUtf8());
    if (!file.commit())
        throw Exception(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
    m_fileName = fileName;
    SetModified(false);
}

void TfLumScript::aOpenExecute() {
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    LoadFromFile(OpenDialog->selectedFiles().first());
}

void TfLumScript::aSaveExecute() {
    if (!m_fileName.isEmpty())
        SaveDialog->selectFile(m_fileName);
    if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty())
        return;
    SaveToFile(SaveDialog->selectedFiles().first());
}

void TfLumScript::re1KeyDown(int& key, Qt::KeyboardModifiers shift) {
    if (!(shift & Qt::ControlModifier) || (shift & (Qt::AltModifier | Qt::ShiftModifier)))
        return;
    if (key == Qt::Key_S) {
        key = 0;
        if (!m_fileName.isEmpty())
            SaveToFile(m_fileName);
        else
            aSave->Execute();
    } else if (key == Qt::Key_A) {
        key = 0;
        re1->selectAll();
    }
}

void TfLumScript::aScriptDelExecute() {
    takeScript();
    if (!ConfirmBox(text(QStringLiteral("CreateDeletionScript"))))
        return;
    re1->clear();
    m_fileName.clear();
    updateCaption();
    QStringList target;
    LumScriptRunner->BuildDropScript(target);
    if (!target.isEmpty())
        re1->setText(target.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TfLumScript::dxirNameButtonClick() {
    if (!qObjects->Active())
        qObjects->Open();
    if (!aObjects->Execute())
        return;
    if (TField* name = qObjects->FieldByName(QStringLiteral("name")))
        dxirName->SetText(name->AsString());
}

void TfLumScript::aScriptParamsBeforeOk(bool&) {
    dxiCreateScript->CloseEditor(true);
    if (dxirName->Text().isEmpty())
        throw Exception(text(QStringLiteral("ObjectNameNotSet")));
}
