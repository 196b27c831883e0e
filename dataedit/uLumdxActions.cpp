#include "uLumdxActions.h"

#include <QApplication>

bool TLumdxGridAction::HandlesTarget(QObject*) {
    return control() != nullptr;
}

bool TLumdxGridAction::Execute() {
    if (!isEnabled() || OnExecute)
        return TAction::Execute();
    QObject* target = QApplication::focusWidget();
    if (!HandlesTarget(target))
        return false;
    ExecuteTarget(target);
    return true;
}

bool TLumdxGridAction::Update() {
    if (OnUpdate)
        return TAction::Update();
    QObject* target = QApplication::focusWidget();
    if (!HandlesTarget(target))
        return false;
    UpdateTarget(target);
    return true;
}

TLumdxGridShowGroupPanel::TLumdxGridShowGroupPanel(QObject* owner, const QString& name)
    : TLumdxGridAction(owner, name) {
    SetAutoCheck(true);
}

void TLumdxGridShowGroupPanel::ExecuteTarget(QObject*) {
    if (m_grid)
        m_grid->SetShowGroupPanel(Checked());
}

TLumdxGridAutoColWidth::TLumdxGridAutoColWidth(QObject* owner, const QString& name)
    : TLumdxGridAction(owner, name) {
    SetAutoCheck(true);
}

void TLumdxGridAutoColWidth::SetdxDBGrid(TCustomdxTreeList* grid) {
    m_grid = grid;
    if (auto* g = qobject_cast<TdxDBGrid*>(grid))
        SetChecked(g->OptionsView().testFlag(TdxDBGrid::edgoAutoWidth));
}

void TLumdxGridAutoColWidth::ExecuteTarget(QObject*) {
    auto* g = qobject_cast<TdxDBGrid*>(m_grid.data());
    if (!g)
        return;
    TdxDBGrid::TdxDBGridOptionsView options = g->OptionsView();
    options.setFlag(TdxDBGrid::edgoAutoWidth, Checked());
    g->SetOptionsView(options);
}

TLumdxGridColCustomize::TLumdxGridColCustomize(QObject* owner, const QString& name)
    : TLumdxGridAction(owner, name) {}

void TLumdxGridColCustomize::ExecuteTarget(QObject*) {
    if (!m_grid)
        return;
    if (m_grid->ColumnsCustomizing()) {
        m_grid->EndColumnsCustomizing();
        return;
    }
    // Under the column headers, at the grid's left edge.
    m_grid->SetColumnsCustomizingPos(m_grid->mapToGlobal(QPoint(0, m_grid->HeaderAreaHeight())));
    m_grid->SetColumnsCustomizingRowCount(m_grid->ColumnCount());
    m_grid->ColumnsCustomize();
}

TLumdxFullExpand::TLumdxFullExpand(QObject* owner, const QString& name) : TLumdxGridAction(owner, name) {
    SetAutoCheck(true);
}

void TLumdxFullExpand::ExecuteTarget(QObject*) {
    if (!m_control || m_control->TopNodeCount() == 0)
        return;
    if (Checked())
        m_control->FullExpand();
    else
        m_control->FullCollapse();
}
