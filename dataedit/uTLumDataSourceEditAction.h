#pragma once
// The module action of the data source editor: shows a data source in a grid module, docked or
// modal, with the settings below applied at every execution.
#include "TFieldDataLink.h"
#include "uTLumCustomModuleAction.h"
#include "ufModuleParent.h"

#include <memory>

class TDataSource;
class TfLumDataSourceEdit;

class TLumDataSourceEditAction : public TLumCustomModuleAction {
    Q_OBJECT
    Q_PROPERTY(QString KeyField READ KeyField WRITE SetKeyField)
    Q_PROPERTY(bool ButtonBarVisible READ ButtonBarVisible WRITE SetButtonBarVisible)
    Q_PROPERTY(bool GridBarVisible READ GridBarVisible WRITE SetGridBarVisible)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool CanEditInGrid READ CanEditInGrid WRITE SetCanEditInGrid)

public:
    explicit TLumDataSourceEditAction(QObject* owner = nullptr, const QString& name = {});
    ~TLumDataSourceEditAction() override;

    TDataSource* DataSource() const { return m_keyLink->DataSource(); }
    void SetDataSource(TDataSource* source) { m_keyLink->SetDataSource(source); }
    const QString& KeyField() const { return m_keyLink->FieldName(); }
    void SetKeyField(const QString& name) { m_keyLink->SetFieldName(name); }
    bool ButtonBarVisible() const { return m_buttonBarVisible; }
    void SetButtonBarVisible(bool value) { m_buttonBarVisible = value; }
    bool GridBarVisible() const { return m_gridBarVisible; }
    void SetGridBarVisible(bool value) { m_gridBarVisible = value; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    bool CanEditInGrid() const { return m_canEditInGrid; }
    void SetCanEditInGrid(bool value) { m_canEditInGrid = value; }

    TfLumDataSourceEdit* Module() const;
    void ConfigureModule() override;

private:
    std::unique_ptr<TFieldDataLink> m_keyLink;
    bool m_buttonBarVisible = true;
    bool m_gridBarVisible = true;
    bool m_readOnly = false;
    bool m_canEditInGrid = false;
};
