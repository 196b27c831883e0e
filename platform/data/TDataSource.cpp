#include "TDataSource.h"

#include "TDataLink.h"

TDataSource::TDataSource(QObject* owner) : QObject(owner) {}

TDataSource::~TDataSource() {
    try {
        SetDataSet(nullptr);
    } catch (const std::exception& e) {
        qWarning("Detaching %s: %s", qPrintable(objectName()), e.what());
    }
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AddDataSource(this);
    notifyLinks(deUpdateState, nullptr);
}

void TDataSource::SetEnabled(bool value) {
    if (m_enabled == value)
        return;
    m_enabled = value;
    notifyLinks(deUpdateState, nullptr);
}

void TDataSource::Edit() {
    if (m_autoEdit && State() == dsBrowse)
        m_dataSet->Edit();
}

void TDataSource::AddDataLink(TDataLink* link) {
    if (!m_links.contains(link))
        m_links.append(link);
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    m_links.removeAll(link);
}

void TDataSource::notifyLinks(TDataEvent event, TField* field) {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links) {
        if (m_links.contains(l))
            l->DataEvent(event, field);
    }
}

void TDataSource::DataEvent(TDataEvent event, TField* field) {
    if (event == deUpdateState) {
        notifyLinks(event, field);
        if (OnStateChange)
            OnStateChange(this);
        return;
    }
    if (!m_enabled)
        return;
    notifyLinks(event, field);
    switch (event) {
    case deFieldChange:
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, event == deFieldChange || event == deRecordChange ? field : nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}
