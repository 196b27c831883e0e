#include "uTLumDataSourceEditAction.h"

#include "TdxDBGrid.h"
#include "uLumDBActions.h"
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
    // A read-only edit dialog shows the record but cannot be confirmed.
    TLumDatasetAction::TButtons buttons = form->LumDatasetEdit1->EnabledButtons();
    buttons.setFlag(TLumDBEditDialog::dbeOk, !m_readOnly);
    form->LumDatasetEdit1->SetEnabledButtons(buttons);
    form->LumDatasetInsert1->SetForcedDisable(m_readOnly);
    form->LumDatasetDelete1->SetForcedDisable(m_readOnly);

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
