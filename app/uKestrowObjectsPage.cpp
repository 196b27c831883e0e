#include "uKestrowObjectsPage.h"

#include "Exception.h"
#include "TADOQuery.h"
#include "TAction.h"
#include "TDataSource.h"
#include "TField.h"
#include "TImageList.h"
#include "TSqlIdentifier.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "uDatabaseUtils.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uLumdxActions.h"
#include "uTLumCustomModuleForm.h"
#include "uTLumDataSourceEditAction.h"
#include "uTLumModuleInterface.h"
#include "ufLumCustomDialog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The object list; the third line is empty.
const QStringList kObjectsSQL = {QStringLiteral("select user_name(o.uid) as sUser, o.name, o.type"),
                                 QStringLiteral("from sysobjects o"), QString(),
                                 QStringLiteral("order by 1")};

// The creation script of one object, generated on the server. Trailing blanks belong to the text.
const char* const kStructSQL =
    R"sql(declare @object sysname, @objectFullName varchar(255), @id int, @objecttype sysname
declare @bDel bit, @bCreate bit, @bTriggers bit, @nl varchar(2)

set @bDel = 1
set @bCreate = 1
set @object = :tab
set @bTriggers = :ScriptTriggers
set @nl = char(13) + char(10)

declare @sContent varchar(8000), @ptrval binary(16), @len int

create table #t_objects(id int null, obj sysname, uid int null, type varchar(2) null)
insert into #t_objects
  select o.id, o.name, o.uid, o.type
  from sysobjects o where id = object_id(@object)

create table #t_Text(nID int identity, t text)

declare c_objects cursor local for
  select id, obj, user_name(uid) + '.' + obj,
    case type 
      when 'U' then 'table' 
      when 'V' then 'view' 
      when 'P' then 'procedure' 
      when 'FN' then 'function' 
      when 'IF' then 'function' 
      when 'TF' then 'function' 
      when 'TR' then 'trigger' 
      end
  from #t_objects

open c_objects
while(1 = 1)
  begin
  fetch next from c_objects into @id, @object, @objectFullName, @objecttype
  if (@@fetch_status <> 0) break

  if (@bDel = 1)
    begin
    insert into #t_Text values ('')
    select @ptrval = textptr(t) from #t_Text where nID = (select max(nID) from #t_Text)
    select @sContent = 'if exists (select * from sysobjects where id = object_id(''' + @objectFullName + '''))' + @nl
      + '  drop ' + @objecttype + ' ' + @objectFullName + @nl + 'GO'
      from sysobjects where id = @id
    UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent 
    end  
  
  if (@bCreate = 1)
    begin
    insert into #t_Text values ('')
    select @ptrval = textptr(t) from #t_Text where nID = (select max(nID) from #t_Text)
    if (@objecttype = 'table')
      begin
      set @sContent = 'create table ' + @objectFullName + '(' + @nl
      UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent  
  
      declare c_Fields cursor local for
        select '  ' + colname + ' '
           + case when isComputed = 1 then ' as ' + sComputed
               else typeFull
               + case when bIdentity = 1 then ' identity(1, 1)' else '' end
               + case when isNullable = 1 then '' else ' not' end + ' null'
               + case when bIdentity = 1
                   then ' CONSTRAINT PK_' + replace(@object, '.', '_') + ' PRIMARY KEY'
                   else ''
                 end
             end
           + ', ' + @nl
        from (
          select
            c.colid as id, o.id as tab_id, c.name as colname,
            t.name as type, c.prec, c.scale, c.length,
            t.name + case
                       when charindex('char', t.name) > 0 then '(' + Convert(varchar, c.prec) + ')'
                       when charindex('decimal', t.name) > 0 then '(' + Convert(varchar, c.prec) + ', ' + Convert(varchar, c.scale) + ')'
                       else ''
                     end as typeFull,

            case when c.colorder is null then null else c.colorder end as colorder,
            c.isOutParam, c.isNullable, c.isComputed,
            case when (c.status & 0x80) <> 0 then 1 else 0 end as bIdentity,
            case when c.isComputed = 1
              then (select top 1 substring(t.text, 2, len(t.text) - 2) from syscomments t where t.id = c.id and t.number = c.colid)
              else ''
            end as sComputed,
            case when c.isComputed = 1
              then ''
              else convert(varchar(255), isnull(substring(dc.text, 2, len(dc.text) - 2), ''))
            end as sDefault,

            case when c.isComputed = 1
              then ''
              else (select user_name(uid) + '.' + name from sysobjects where id = f.rkeyid)
            end as sRTable,

            (select name from syscolumns where id = f.rkeyid and colid = f.rkey) as sRIDCol,
            convert(bit, (OBJECTPROPERTY(f.constid, 'CnstIsDeleteCascade'))) as bRDeleteCascade

          from sysobjects o
               inner join syscolumns c on o.id = c.id
               left join systypes t on c.xtype = t.xtype and c.usertype = t.usertype
               left join syscomments dc on c.cdefault = dc.id
               left join sysforeignkeys f on o.id = f.fkeyid and c.colid = f.fkey
        ) f where tab_id = @id
        order by id
      open c_Fields
      while (1 = 1)
        begin
        fetch next from c_Fields into @sContent
        if (@@fetch_status <> 0) break
        
        UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent   
        end
  
      select @len = datalength(t) - 4 from #t_Text
      UPDATETEXT #t_Text.t @ptrval @len 2 ''
  
      set @sContent = ')'
      UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent
      insert into #t_Text values ('GO')
      close c_Fields
      deallocate c_Fields

      insert into #t_Text
        select 'alter table ' + @objectFullName + ' add constraint ' + co.name + ' '
           + case
            when co.Type = 'F' then 'foreign key (' + cc.name + ') references '
              + (select user_name(uid) + '.' + name from sysobjects where id = rkeyid)
              + ' (' + (select name from syscolumns where id = rkeyid and colid = rkey) + ')'
              + case when OBJECTPROPERTY(f.constid, 'CnstIsDeleteCascade') = 1 then ' on delete cascade' else '' end
            when co.Type = 'D' then 'default ' + substring(t.text, 2, len(t.text) - 2) + ' for ' + cc.name
           else '' end + @nl + 'GO'

        from sysconstraints c
          inner join sysobjects co on co.id = c.constid and co.Type in ('F', 'D')
          inner join syscolumns cc on cc.id = c.id and cc.colid = c.colid
          left join syscomments t on t.id = co.id
          left join sysforeignkeys f on f.constid = c.constid
        where c.id = @id
      end
    else
      begin
      declare c_procText cursor local for 
        select text from syscomments where id = @id
      open c_procText
      while (1 = 1)
        begin
        fetch next from c_procText into @sContent
        if (@@fetch_status <> 0) break
        UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent
        end
      close c_procText
      deallocate c_procText
      insert into #t_Text values ('GO')
      end
    end
  end
close c_objects
deallocate c_objects
drop table #t_objects

select t from #t_Text
drop table #t_Text

)sql";

TADOQuery* newQuery(QObject* owner, const char* name, TADOConnection* connection) {
    auto* q = new TADOQuery(owner);
    q->setObjectName(QString::fromLatin1(name));
    q->SetConnection(connection);
    return q;
}

TDataSource* newSource(QObject* owner, const char* name, TADOQuery* query) {
    auto* ds = new TDataSource(owner);
    ds->setObjectName(QString::fromLatin1(name));
    ds->SetDataSet(query);
    return ds;
}

} // namespace

TKestrowObjectsPage::TKestrowObjectsPage(QWidget* form, QWidget* page, TADOConnection* connection,
                                         TLumModuleInterface* moduleInterface)
    : QObject(form) {
    setObjectName(QStringLiteral("ObjectsPage"));
    qObjects = newQuery(form, "qObjects", connection);
    qObjects->SetCursorType(TADOQuery::ctDynamic);
    qObjects->SetSQL(kObjectsSQL);
    dsObjects = newSource(form, "dsObjects", qObjects);

    qStruct = newQuery(form, "qStruct", connection);
    qStruct->SetSQLText(QString::fromUtf8(kStructSQL));
    qStruct->Parameters().ParamByName(QStringLiteral("tab")).SetDataType(ftString);
    qStruct->Parameters().ParamByName(QStringLiteral("ScriptTriggers")).SetDataType(ftBoolean);

    qTable = newQuery(form, "qTable", connection);
    dsTable = newSource(form, "dsTable", qTable);

    QStyle* style = QApplication::style();
    ilTables = new TImageList(16, 16, form);
    ilTables->setObjectName(QStringLiteral("ilTables"));
    const int refreshImage = ilTables->Add(style->standardIcon(QStyle::SP_BrowserReload));
    const int editImage = ilTables->Add(style->standardIcon(QStyle::SP_FileDialogContentsView));
    const int tableImage = ilTables->Add(style->standardIcon(QStyle::SP_FileDialogDetailedView));
    const int groupImage = ilTables->Add(style->standardIcon(QStyle::SP_FileDialogListView));

    aObjectsRefresh = new TLumDatasetRefresh(form, QStringLiteral("aObjectsRefresh"));
    aObjectsRefresh->SetCaption(QStringLiteral("Refresh"));
    aObjectsRefresh->SetHint(QStringLiteral("Refresh"));
    aObjectsRefresh->SetDataSource(dsObjects);
    aObjectsRefresh->SetImages(ilTables);
    aObjectsRefresh->SetImageIndex(refreshImage);

    aEdit = new TAction(form, QStringLiteral("aEdit"));
    aEdit->SetCaption(QStringLiteral("Edit"));
    aEdit->SetHint(QStringLiteral("Edit"));
    aEdit->SetImages(ilTables);
    aEdit->SetImageIndex(editImage);
    aEdit->OnExecute = [this](TAction*) { aEditExecute(); };

    aTableShow = new TLumDataSourceEditAction(form, QStringLiteral("aTableShow"));
    aTableShow->SetCaption(QStringLiteral("Show data"));
    aTableShow->SetHint(QStringLiteral("Show table"));
    aTableShow->SetImages(ilTables);
    aTableShow->SetImageIndex(tableImage);
    aTableShow->SetDataSource(dsTable);
    aTableShow->SetReadOnly(true);
    aTableShow->SetShowModal(true);
    aTableShow->SetVisibleButtons(TLumCustomModuleAction::cvbOK);
    aTableShow->SetWindowHeight(500);
    aTableShow->SetWindowSize(true);
    aTableShow->SetModuleInterface(moduleInterface);
    aTableShow->BeforeExecute = [this](QObject*) { aTableShowBeforeExecute(); };

    dxdbg = new TdxDBGrid(page, QStringLiteral("dxdbg"));
    dxdbg->SetDataSource(dsObjects);
    dxdbg->SetKeyField(QStringLiteral("name"));
    dxdbg->BeginUpdate();
    dxdbgUser = dxdbg->CreateColumn(QStringLiteral("sUser"), form, QStringLiteral("dxdbgUser"));
    dxdbgUser->SetCaption(QStringLiteral("sUser"));
    dxdbgUser->SetWidth(67);
    dxdbgUser->SetSizing(false);
    dxdbgName = dxdbg->CreateColumn(QStringLiteral("name"), form, QStringLiteral("dxdbgName"));
    dxdbgName->SetCaption(QStringLiteral("Table"));
    dxdbgName->SetWidth(190);
    dxdbgName->SetSummaryFooterType(cstCount);
    dxdbgType = dxdbg->CreateColumn(QStringLiteral("type"), form, QStringLiteral("dxdbgType"));
    dxdbgType->SetCaption(QStringLiteral("type"));
    dxdbgType->SetWidth(54);
    dxdbg->EndUpdate();
    dxdbg->SetShowSummaryFooter(true);
    dxdbg->SetOptionsDB(dxdbg->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    dxdbg->SetOptionsView(TdxDBGrid::TdxDBGridOptionsView(TdxDBGrid::edgoAutoWidth) |
                          TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoMultiSelect | TdxDBGrid::edgoIncSearch);
    dxdbg->SetShowGroupPanel(false);
    dxdbg->OnDblClick = [this](QObject*) { dxdbgDblClick(); };

    adxShowGroupPanel = new TLumdxGridShowGroupPanel(form, QStringLiteral("adxShowGroupPanel"));
    adxShowGroupPanel->SetCaption(QStringLiteral("Group panel"));
    adxShowGroupPanel->SetHint(QStringLiteral("Show/hide group panel"));
    adxShowGroupPanel->SetImages(ilTables);
    adxShowGroupPanel->SetImageIndex(groupImage);
    adxShowGroupPanel->SetdxDBGrid(dxdbg);

    ActionToolBar1 = new QToolBar(page);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ActionToolBar1->addAction(aObjectsRefresh);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aEdit);
    ActionToolBar1->addAction(aTableShow);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(adxShowGroupPanel);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(dxdbg, 1);

    // Lent to the script dialog; never shown on the window itself.
    mObjectText = new QPlainTextEdit(form);
    mObjectText->setObjectName(QStringLiteral("mObjectText"));
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    mObjectText->setFont(font);
    mObjectText->setReadOnly(true);
    mObjectText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mObjectText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mObjectText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mObjectText->hide();

    aObjectTextShow = new TLumControlDialogAction(form, QStringLiteral("aObjectTextShow"));
    aObjectTextShow->SetControl(mObjectText);
    aObjectTextShow->SetCopyControl(false);
    aObjectTextShow->SetDialogTextVisible(false);
    aObjectTextShow->SetControlWidth(600);
    aObjectTextShow->SetControlHeight(400);
    aObjectTextShow->SetControlHeightForced(true);
}

QString TKestrowObjectsPage::ObjectName() const {
    return qObjects->FieldByName(QStringLiteral("sUser"))->AsString() + QLatin1Char('.') +
           qObjects->FieldByName(QStringLiteral("name"))->AsString();
}

void TKestrowObjectsPage::aEditExecute() {
    // Nothing to script without a current row.
    if (!qObjects->Active() || qObjects->IsEmpty())
        throw EAbort();
    const QString object = ObjectName();
    qStruct->Close();
    // The server reads the value as a name: quoted like any other, so "." or "]" in a name is found.
    qStruct->Parameters()
        .ParamByName(QStringLiteral("tab"))
        .SetValue(TSqlIdentifier::Quote(qObjects->FieldByName(QStringLiteral("sUser"))->AsString()) +
                  QLatin1Char('.') +
                  TSqlIdentifier::Quote(qObjects->FieldByName(QStringLiteral("name"))->AsString()));
    qStruct->Open();
    // Segments carry their own line breaks; each segment starts a new line.
    QStringList lines;
    for (qStruct->First(); !qStruct->Eof(); qStruct->Next()) {
        QString segment = qStruct->FieldByName(QStringLiteral("t"))->AsString();
        segment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lines << segment;
    }
    mObjectText->clear();
    mObjectText->setPlainText(lines.join(QLatin1Char('\n')));
    qStruct->Close();
    aObjectTextShow->SetDialogCaption(object);
    aObjectTextShow->Execute();
}

void TKestrowObjectsPage::dxdbgDblClick() {
    // A group row stands for many objects.
    if (dxdbg->FocusedStoreRow() >= 0)
        aEdit->Execute();
}

void TKestrowObjectsPage::aTableShowBeforeExecute() {
    const bool hasRow = qObjects->Active() && !qObjects->IsEmpty();
    const QString name = hasRow ? qObjects->FieldByName(QStringLiteral("name"))->AsString() : QString();
    const QString owner = hasRow ? qObjects->FieldByName(QStringLiteral("sUser"))->AsString() : QString();
    if (name.isEmpty())
        throw EAbort();
    qTable->Close();
    aTableShow->SetKeyField(QString());
    qTable->SetSQLText(QStringLiteral("select * from ") + TSqlIdentifier::Quote(owner) + QLatin1Char('.') +
                       TSqlIdentifier::Quote(name));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        qTable->Open();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    aTableShow->SetKeyField(GetKeyColumn(qTable));
}

void TKestrowObjectsPage::PageActivation() {
    if (!qObjects->Active())
        qObjects->Open();
}

void TKestrowObjectsPage::DatabaseChanged() {
    qObjects->Close();
}
