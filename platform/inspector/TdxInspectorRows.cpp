#include "TdxInspectorRows.h"
#include "TdxInspector.h"

TdxInspectorRow::TdxInspectorRow(TdxInspector* inspector, TdxInspectorRow* parentRow)
    : QObject(inspector), m_inspector(inspector), m_parentRow(parentRow) {}

void TdxInspectorRow::changed() {
    if (m_inspector)
        m_inspector->rowChanged();
}

void TdxInspectorRow::SetCaption(const QString& value) {
    m_caption = value;
    changed();
}

void TdxInspectorRow::SetVisible(bool value) {
    m_visible = value;
    changed();
}

void TdxInspectorRow::SetReadOnly(bool value) {
    m_readOnly = value;
    changed();
}

int TdxInspectorRow::Height() const {
    return m_height > 0 ? m_height : (m_inspector ? m_inspector->DefaultRowHeight() : 17);
}

void TdxInspectorRow::SetHeight(int value) {
    m_height = value;
    changed();
}

void TdxInspectorRow::SetText(const QString& value) {
    m_text = value;
    if (m_inspector)
        m_inspector->RefreshValues();
}

void TdxInspectorCategoryRow::SetExpanded(bool value) {
    m_expanded = value;
    changed();
}
