#pragma once
// A list view that mirrors a data set: one item per record captioned with one field, its icon from
// another field, sub-items and check marks from an event. Selecting an item moves the data set to
// its record; editing a label writes the caption field and posts the record; a popup menu switches
// the view style.
#include "TDataSet.h"
#include "TFieldDataLink.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractItemView;
class QActionGroup;
class QMenu;
class QStackedLayout;
class QStandardItem;
class QStandardItemModel;
class TDataSource;
class TImageList;
class TLumDBListView;

class TLumDBListViewDataLink : public TFieldDataLink {
public:
    explicit TLumDBListViewDataLink(TLumDBListView* owner);

protected:
    void DataSetChanged() override;
    void RecordChanged(TField* field) override;

private:
    TLumDBListView* m_owner;
};

class TLumDBListView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(
        QString LargeImageIndexFieldName READ LargeImageIndexFieldName WRITE SetLargeImageIndexFieldName)
    Q_PROPERTY(
        QString SmallImageIndexFieldName READ SmallImageIndexFieldName WRITE SetSmallImageIndexFieldName)
    Q_PROPERTY(bool AlowSort READ AlowSort WRITE SetAlowSort)
    Q_PROPERTY(TViewStyle ViewStyle READ ViewStyle WRITE SetViewStyle)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
    Q_PROPERTY(bool Checkboxes READ Checkboxes WRITE SetCheckboxes)
    Q_PROPERTY(bool HideSelection READ HideSelection WRITE SetHideSelection)

public:
    enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
    Q_ENUM(TViewStyle)

    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TLumDBListViewLoadItemEvent =
        std::function<void(QObject* sender, TDataSet* dataSet, QStringList& subItems, bool& checked)>;

    explicit TLumDBListView(QWidget* parent = nullptr, const QString& name = {});
    ~TLumDBListView() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    const QString& DataField() const { return m_link->FieldName(); }
    void SetDataField(const QString& name);
    const QString& LargeImageIndexFieldName() const { return m_largeImageField; }
    void SetLargeImageIndexFieldName(const QString& name);
    const QString& SmallImageIndexFieldName() const { return m_smallImageField; }
    void SetSmallImageIndexFieldName(const QString& name) { m_smallImageField = name; }
    bool AlowSort() const { return m_sorted; }
    void SetAlowSort(bool value);

    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle value);
    // Label editing is offered unless this is set.
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool value);
    bool Checkboxes() const { return m_checkboxes; }
    void SetCheckboxes(bool value) { m_checkboxes = value; }
    // Keep the selection visible when the list loses the focus (the default here).
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool value);
    void SetLargeImages(TImageList* images);
    void SetSmallImages(TImageList* images);
    // Captions of the report view's columns; the first shows the item caption.
    void SetColumns(const QStringList& captions);

    // The items as they stand.
    int ItemCount() const;
    QString ItemCaption(int index) const;
    QStringList ItemSubItems(int index) const;
    int ItemImageIndex(int index) const;
    bool ItemChecked(int index) const;
    // The item stands for a record being inserted and holds no bookmark.
    bool ItemIsPlaceholder(int index) const;
    // The focused item (-1: none) and whether items are selected.
    int ItemIndex() const;
    bool ItemSelected(int index) const;
    void SetItemSelected(int index, bool selected);
    int SelectedCount() const;
    // Opens the label editor of an item, as a slow second click or F2 does.
    void EditLabel(int index);
    // The view now shown (a list or a table view, by view style).
    QAbstractItemView* View() const;
    QMenu* PopupMenu() const { return m_popup; }

    void LoadItems();
    // Moves the data set to the selected item's record without reloading the items.
    void SyncToSelection();
    void BeginUpdate();
    void EndUpdate();
    bool Usable() const;

    TNotifyEvent AfterLoad;
    TLumDBListViewLoadItemEvent OnItemLoad;
    TNotifyEvent OnChangeViewStyle;

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TLumDBListViewDataLink;
    friend class TLumDBListViewDelegate;
    void dataChanged();
    void recordChanged(TField* field);
    void beginLabelEdit();
    void endLabelEdit(int row, const QString& text);
    void cancelLabelEdit();
    void clearItems();
    void appendPlaceholder();
    void removeRow(int row);
    void applyViewStyle();
    void applyEditTriggers();
    QStandardItem* itemAt(int index) const;
    int lastRow() const;

    std::unique_ptr<TLumDBListViewDataLink> m_link;
    QStandardItemModel* m_model;
    QAbstractItemView* m_list;
    QAbstractItemView* m_table;
    QStackedLayout* m_stack;
    QMenu* m_popup;
    QActionGroup* m_styleGroup;
    QPointer<TImageList> m_largeImages;
    QPointer<TImageList> m_smallImages;
    QString m_largeImageField;
    QString m_smallImageField;
    TViewStyle m_viewStyle = vsIcon;
    int m_updateCount = 0;
    bool m_sorted = false;
    bool m_readOnly = false;
    bool m_multiSelect = false;
    bool m_checkboxes = false;
    bool m_hideSelection = false;
    bool m_loadedOnce = false;
    bool m_destroying = false;
    QMetaObject::Connection m_sourceDestroyed;
};
