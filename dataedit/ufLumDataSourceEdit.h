#pragma once
// The module form that shows any data source in a grid with a tool bar of record and grid actions.
#include "uTLumCustomModuleAction.h"
#include "uTLumCustomModuleForm.h"
#include "ufModuleParent.h"

#include <QString>

class QToolBar;
class TAction;
class TDataSource;
class TImageList;
class TdxDBGrid;
class TLumDatasetAction;
class TLumDatasetDelete;
class TLumDatasetEdit;
class TLumDatasetFirst;
class TLumDatasetInsert;
class TLumDatasetLast;
class TLumDatasetPrior;
class TLumDatasetRefresh;
class TLumDataSetNext;
class TLumdxFullExpand;
class TLumdxGridAutoColWidth;
class TLumdxGridColCustomize;
class TLumdxGridShowGroupPanel;

class TfLumDataSourceEdit : public TLumCustomModuleForm {
    Q_OBJECT

public:
    TfLumDataSourceEdit();

    const QString& KeyField() const { return m_keyField; }
    void ApplyKeyField(const QString& name);
    void ApplyDataSource(TDataSource* source);
    void BuildColumns();
    void ModuleActivated() override;

    TdxDBGrid* dxDBGrid;
    QToolBar* ActionToolBar1;
    TImageList* ImageList;
    TLumDatasetInsert* LumDatasetInsert1;
    TLumDatasetEdit* LumDatasetEdit1;
    TLumDatasetDelete* LumDatasetDelete1;
    TLumDatasetFirst* LumDatasetFirst1;
    TLumDatasetPrior* LumDatasetPrior1;
    TLumDataSetNext* LumDataSetNext1;
    TLumDatasetLast* LumDatasetLast1;
    TLumDatasetRefresh* LumDatasetRefresh1;
    TLumdxGridShowGroupPanel* aGridGroupPanel;
    TLumdxGridAutoColWidth* aGridAutoColWidth;
    TLumdxGridColCustomize* aGridColCustomize;
    TLumdxFullExpand* aGridFullExpand;

private:
    void FormCreate();
    void destroyOwnColumns();
    void dxDBGridDblClick();
    QList<TLumDatasetAction*> datasetActions() const;
    void dxDBGridMouseMove(int x, int y);

    QString m_keyField;
};
