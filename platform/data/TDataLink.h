#pragma once
// What a data-aware control attaches to a data source: it is told when the data set opens or
// closes, changes, scrolls, changes a record or a field, starts or ends editing, and when pending
// edits must be written into the fields.
#include "TDataSet.h"

class TDataSource;

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    // The data source is enabled and its data set is open.
    bool Active() const { return m_active; }
    // The data set is in edit or insert state.
    bool Editing() const { return m_editing; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    // Puts the data set into edit state (when the data source allows it); true when editing.
    bool Edit();
    // Asks every link of the data set to write pending edits into the fields.
    void UpdateRecord();

    void DataEvent(TDataEvent event, TField* field);

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) {
        (void)distance;
        DataSetChanged();
    }
    virtual void EditingChanged() {}
    virtual void LayoutChanged() { DataSetChanged(); }
    // field: the field whose value changed, or none when the whole record changed.
    virtual void RecordChanged(TField* field) { (void)field; }
    virtual void UpdateData() {}

private:
    void updateState();

    TDataSource* m_dataSource = nullptr;
    bool m_active = false;
    bool m_editing = false;
    bool m_readOnly = false;
    bool m_updating = false;
};
