#pragma once
// Tool bar actions that work a data-aware grid: show or hide the group panel, switch automatic
// column width, open or close the column customisation box, expand or collapse every node.
// Each holds a reference to its control (not owned) and works it whichever control has the focus.
#include "TAction.h"
#include "TdxDBGrid.h"

#include <QPointer>

// What the four share: available exactly while the control is assigned, and run even when no
// control has the focus.
class TLumdxGridAction : public TAction {
    Q_OBJECT

public:
    using TAction::TAction;
    bool Execute() override;
    bool Update() override;
    bool HandlesTarget(QObject* target) override;

protected:
    virtual QObject* control() const = 0;
};

class TLumdxGridShowGroupPanel : public TLumdxGridAction {
    Q_OBJECT
    Q_PROPERTY(TdxDBGrid* dxDBGrid READ dxDBGrid WRITE SetdxDBGrid)

public:
    explicit TLumdxGridShowGroupPanel(QObject* owner = nullptr, const QString& name = {});
    TdxDBGrid* dxDBGrid() const { return m_grid; }
    void SetdxDBGrid(TdxDBGrid* grid) { m_grid = grid; }
    void ExecuteTarget(QObject* target) override;

protected:
    QObject* control() const override { return m_grid; }

private:
    QPointer<TdxDBGrid> m_grid;
};

class TLumdxGridAutoColWidth : public TLumdxGridAction {
    Q_OBJECT
    Q_PROPERTY(TCustomdxTreeList* dxDBGrid READ dxDBGrid WRITE SetdxDBGrid)

public:
    explicit TLumdxGridAutoColWidth(QObject* owner = nullptr, const QString& name = {});
    TCustomdxTreeList* dxDBGrid() const { return m_grid; }
    // Takes the grid's automatic-width state as the action's checked state.
    void SetdxDBGrid(TCustomdxTreeList* grid);
    void ExecuteTarget(QObject* target) override;

protected:
    QObject* control() const override { return m_grid; }

private:
    QPointer<TCustomdxTreeList> m_grid;
};

class TLumdxGridColCustomize : public TLumdxGridAction {
    Q_OBJECT
    Q_PROPERTY(TCustomdxTreeListControl* dxDBGrid READ dxDBGrid WRITE SetdxDBGrid)

public:
    explicit TLumdxGridColCustomize(QObject* owner = nullptr, const QString& name = {});
    TCustomdxTreeListControl* dxDBGrid() const { return m_grid; }
    void SetdxDBGrid(TCustomdxTreeListControl* grid) { m_grid = grid; }
    void ExecuteTarget(QObject* target) override;

protected:
    QObject* control() const override { return m_grid; }

private:
    QPointer<TCustomdxTreeListControl> m_grid;
};

class TLumdxFullExpand : public TLumdxGridAction {
    Q_OBJECT
    Q_PROPERTY(TCustomdxTreeList* dxControl READ dxControl WRITE SetdxControl)

public:
    explicit TLumdxFullExpand(QObject* owner = nullptr, const QString& name = {});
    TCustomdxTreeList* dxControl() const { return m_control; }
    void SetdxControl(TCustomdxTreeList* control) { m_control = control; }
    void ExecuteTarget(QObject* target) override;

protected:
    QObject* control() const override { return m_control; }

private:
    QPointer<TCustomdxTreeList> m_control;
};
