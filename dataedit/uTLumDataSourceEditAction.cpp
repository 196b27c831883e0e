#include "uTLumDataSourceEditAction.h"

#include "TdxDBGrid.h"
#include "uLumdxActions.h"
#include "ufLumDataSourceEdit.h"

#include <QToolBar>

TLumDataSourceEditAction::TLumDataSourceEditAction(QObject* owner, const QString& name)
    : TLumCustomModuleAction(owner, name), m_keyLink(std::make_unique<TFieldDataLink>()) {
    ModuleFormClass = TModuleFormClass::Of<TfLumDataSourceEdit>();
    Loaded();
}

TLumDataSourceEditAction::~TLumDataSourceEditAction() = default;

TfLumDataSourceEdit* TLumDataSourceEditAction::Module() const {
    return qobject_cast<TfLumDataSourceEdit*>(ModuleForm());
}

void TLumDataSourceEditAction::ConfigureModule() {
    TLumCustomModuleAction::ConfigureModule();
    TfLumDataSourceEdit* form = Module();
    if (form == nullptr)
        return;
    form->ApplyKeyField(KeyField());
    form->ApplyDataSource(DataSource());
    form->ActionToolBar1->setVisible(m_buttonBarVisible);

    TdxDBGrid* grid = form->dxDBGrid;
    const auto editing = TdxDBGrid::TdxDBGridOptionsDB(TdxDBGrid::edgoCanAppend) | TdxDBGrid::edgoCanDelete |
                         TdxDBGrid::edgoCanInsert;
    if (m_canEditInGrid) {
        grid->SetOptionsDB(grid->OptionsDB() | editing);
        grid->SetOptionsView(grid->OptionsView() &
                             ~TdxDBGrid::TdxDBGridOptionsView(TdxDBGrid::edgoRowSelect));
    } else {
        grid->SetOptionsDB(grid->OptionsDB() & ~editing);
        grid->SetOptionsView(grid->OptionsView() | TdxDBGrid::edgoRowSelect);
    }
    for (TAction* a : QList<TAction*>{form->aGridFullExpand, form->aGridGroupPanel, form->aGridAutoColWidth,
                                      form->aGridColCustomize})
        a->SetVisible(m_gridBarVisible);
}
