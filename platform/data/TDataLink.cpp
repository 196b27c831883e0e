#include "TDataLink.h"

#include "TDataSource.h"

TDataLink::~TDataLink() {
    if (m_dataSource)
        m_dataSource->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (m_dataSource == source)
        return;
    if (m_dataSource)
        m_dataSource->RemoveDataLink(this);
    m_dataSource = source;
    if (m_dataSource)
        m_dataSource->AddDataLink(this);
    updateState();
}

TDataSet* TDataLink::DataSet() const {
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value) {
    if (m_readOnly == value)
        return;
    m_readOnly = value;
    updateState();
}

bool TDataLink::Edit() {
    if (!m_readOnly && m_dataSource)
        m_dataSource->Edit();
    return m_editing;
}

void TDataLink::UpdateRecord() {
    if (DataSet() && !m_updating) {
        m_updating = true;
        DataSet()->DataEvent(deUpdateRecord);
        m_updating = false;
    }
}

void TDataLink::updateState() {
    const bool active = m_dataSource && m_dataSource->State() != dsInactive;
    if (active != m_active) {
        m_active = active;
        ActiveChanged();
    }
    const TDataSetState state = m_dataSource ? m_dataSource->State() : dsInactive;
    const bool editing = active && !m_readOnly && (state == dsEdit || state == dsInsert);
    if (editing != m_editing) {
        m_editing = editing;
        EditingChanged();
    }
}

void TDataLink::DataEvent(TDataEvent event, TField* field) {
    switch (event) {
    case deUpdateState:
        updateState();
        break;
    case deFieldChange:
    case deRecordChange:
        if (m_active)
            RecordChanged(field);
        break;
    case deDataSetChange:
        if (m_active)
            DataSetChanged();
        break;
    case deDataSetScroll:
        if (m_active)
            DataSetScrolled(0);
        break;
    case deLayoutChange:
        if (m_active)
            LayoutChanged();
        break;
    case deUpdateRecord:
        if (m_active && !m_updating) {
            m_updating = true;
            UpdateData();
            m_updating = false;
        }
        break;
    case deCheckBrowseMode:
        if (m_active)
            CheckBrowseMode();
        break;
    }
}
