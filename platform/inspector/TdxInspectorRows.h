#pragma once
// The rows of a property inspector: a caption and a value text. A text row may carry an ellipsis
// button; a check row is checked exactly when its text equals its checked value; a category row
// groups the rows below it and can be collapsed.
#include <QObject>
#include <QString>
#include <functional>

class TdxInspector;

class TdxInspectorRow : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    // How the value is edited in place.
    enum TEditorKind { ekNone, ekText, ekInteger, ekFloat, ekCheck };

    TdxInspector* Inspector() const { return m_inspector; }
    // The category row this row belongs to, or none.
    TdxInspectorRow* Parent() const { return m_parentRow; }

    virtual QString Caption() const { return m_caption; }
    void SetCaption(const QString& value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    virtual bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    // The height in pixels; 0 takes the inspector's default row height.
    int Height() const;
    void SetHeight(int value);
    virtual bool IsCategory() const { return false; }

    // The value as shown, and as the in-place editor writes it back.
    virtual QString Text() const { return m_text; }
    virtual void SetText(const QString& value);
    virtual TEditorKind EditorKind() const { return ekText; }
    // The most characters the editor takes; 0 without a limit.
    virtual int MaxLength() const { return 0; }
    // The state a check editor shows and sets (rows of the check kind).
    virtual bool Checked() const { return false; }
    virtual void SetChecked(bool value) { (void)value; }

protected:
    TdxInspectorRow(TdxInspector* inspector, TdxInspectorRow* parentRow);
    void changed();

private:
    friend class TdxInspector;
    TdxInspector* m_inspector;
    TdxInspectorRow* m_parentRow;
    QString m_caption;
    QString m_text;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_height = 0;
};

class TdxInspectorTextRow : public TdxInspectorRow {
    Q_OBJECT
    Q_PROPERTY(bool ButtonVisible READ ButtonVisible WRITE SetButtonVisible)

public:
    using TButtonClickEvent = std::function<void(TdxInspectorTextRow* sender)>;
    TdxInspectorTextRow(TdxInspector* inspector, TdxInspectorRow* parentRow = nullptr)
        : TdxInspectorRow(inspector, parentRow) {}
    // Shows an ellipsis button in the editor; pressing it runs OnButtonClick.
    bool ButtonVisible() const { return m_buttonVisible; }
    void SetButtonVisible(bool value) { m_buttonVisible = value; }
    void ClickButton() {
        if (OnButtonClick)
            OnButtonClick(this);
    }
    TButtonClickEvent OnButtonClick;

private:
    bool m_buttonVisible = false;
};

class TdxInspectorCheckRow : public TdxInspectorRow {
    Q_OBJECT
    Q_PROPERTY(QString ValueChecked READ ValueChecked WRITE SetValueChecked)
    Q_PROPERTY(QString ValueUnchecked READ ValueUnchecked WRITE SetValueUnchecked)

public:
    TdxInspectorCheckRow(TdxInspector* inspector, TdxInspectorRow* parentRow = nullptr)
        : TdxInspectorRow(inspector, parentRow) {}
    QString ValueChecked() const { return m_valueChecked; }
    void SetValueChecked(const QString& value) { m_valueChecked = value; }
    QString ValueUnchecked() const { return m_valueUnchecked; }
    void SetValueUnchecked(const QString& value) { m_valueUnchecked = value; }
    bool Checked() const override { return Text() == m_valueChecked; }
    void SetChecked(bool value) override { SetText(value ? m_valueChecked : m_valueUnchecked); }
    TEditorKind EditorKind() const override { return ekCheck; }

private:
    QString m_valueChecked = QStringLiteral("True");
    QString m_valueUnchecked = QStringLiteral("False");
};

class TdxInspectorCategoryRow : public TdxInspectorRow {
    Q_OBJECT
    Q_PROPERTY(bool Expanded READ Expanded WRITE SetExpanded)

public:
    TdxInspectorCategoryRow(TdxInspector* inspector, TdxInspectorRow* parentRow = nullptr)
        : TdxInspectorRow(inspector, parentRow) {}
    bool IsCategory() const override { return true; }
    bool ReadOnly() const override { return true; }
    TEditorKind EditorKind() const override { return ekNone; }
    bool Expanded() const { return m_expanded; }
    void SetExpanded(bool value);

private:
    friend class TdxInspector;
    bool m_expanded = true;
};
