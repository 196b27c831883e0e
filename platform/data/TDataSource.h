#pragma once
// Binds a data set to the controls that show it: passes the data set's notifications to every
// data link attached, and reports data and state changes.
#include "TDataSet.h"

#include <QObject>

#include <functional>

class TDataLink;

class TDataSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool AutoEdit READ AutoEdit WRITE SetAutoEdit)

public:
    using TDataChangeEvent = std::function<void(TDataSource* sender, TField* field)>;
    using TNotifyEvent = std::function<void(TDataSource* sender)>;

    explicit TDataSource(QObject* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    bool AutoEdit() const { return m_autoEdit; }
    void SetAutoEdit(bool value) { m_autoEdit = value; }
    TDataSetState State() const { return m_dataSet && m_enabled ? m_dataSet->State() : dsInactive; }
    // Puts the data set into edit state when AutoEdit allows it and it is browsing.
    void Edit();

    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);
    void DataEvent(TDataEvent event, TField* field);

    TDataChangeEvent OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

private:
    void notifyLinks(TDataEvent event, TField* field);

    TDataSet* m_dataSet = nullptr;
    bool m_enabled = true;
    bool m_autoEdit = true;
    QList<TDataLink*> m_links;
};
