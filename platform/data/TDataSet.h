#pragma once
// A set of rows held in memory with a current record, browse and edit states, bookmarks and the
// notifications data-aware controls follow. TADOQuery fills it from the server.
#include "TFields.h"
#include "TRowStore.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <vector>

class TDataSource;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey };

enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
};

// A record's identity; stays valid across edits, inserts and deletes of other records.
struct TBookmark {
    uint32_t id = 0;
    int hint = -1;
    bool IsValid() const { return id != 0; }
};

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;

class TDataSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;

    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }
    void SetActive(bool value);
    TDataSetState State() const { return m_state; }

    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const;
    int RecordCount() const;
    // 1-based position of the current record; 0 when there is none.
    int RecNo() const;
    void SetRecNo(int value);

    int FieldCount() const { return m_fields.Count(); }
    TFields& Fields() { return m_fields; }
    const TFields& Fields() const { return m_fields; }
    TField* FieldByName(const QString& name) const { return m_fields.FieldByName(name); }
    TField* FindField(const QString& name) const { return m_fields.FindField(name); }

    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Posts a modified record, cancels an unmodified one.
    void CheckBrowseMode();
    // Runs the command again and shows what the server has now, keeping the position.
    void Refresh();
    bool Modified() const { return m_modified; }
    virtual bool CanModify() const { return Active(); }

    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark = TBookmark(); }
    bool BookmarkValid(const TBookmark& bookmark) const;

    // keyFields: names separated by ";"; keyValues: one value, or a QVariantList with one per field.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = 0);

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Field access by column for TField.
    QVariant FieldValue(int index) const;
    QString FieldText(int index) const;
    bool FieldIsNull(int index) const;
    void SetFieldValue(int index, const QVariant& value);
    const TRowStore& Store() const { return m_store; }

    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void DataEvent(TDataEvent event, TField* field = nullptr);

    // The connection this data set uses is being destroyed.
    virtual void ConnectionDestroyed() {}
    // Makes the key-column flags of the columns known (they may need a question to the server).
    virtual void LoadKeyInfo() {}

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh, OnNewRecord;

protected:
    // Fills Store() (columns and rows) from the source.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() {}
    // Writes the record being posted to the source. values may be changed (server-made values).
    // row: the record's position for an edit (its values before the edit are still in Store()).
    virtual void InternalPost(bool inserting, int row, QList<QVariant>& values,
                              const std::vector<bool>& changed) {
        (void)inserting, (void)row, (void)values, (void)changed;
    }
    virtual void InternalDelete(int row) { (void)row; }
    TRowStore& MutableStore() { return m_store; }
    void CheckActive() const;
    void CheckCanModify() const;
    // Fields after the store's columns changed; user settings of same-named fields are kept.
    void CreateFields();

private:
    void doEvent(const TDataSetNotifyEvent& event) {
        if (event)
            event(this);
    }
    void setState(TDataSetState state);
    void moveTo(int row); // with BeforeScroll/AfterScroll and a scroll notification
    void beginInsert(bool append);
    bool matches(int row, const QList<int>& columns, const QVariantList& values,
                 TLocateOptions options) const;

    TRowStore m_store;
    TFields m_fields;
    TDataSetState m_state = dsInactive;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_modified = false;
    QList<QVariant> m_buffer;
    std::vector<bool> m_changed;
    int m_disableCount = 0;
    TDataSetState m_disableState = dsInactive;
    QList<TDataSource*> m_sources;
};
