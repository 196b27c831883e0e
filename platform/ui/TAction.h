#pragma once
// An action: caption, hint, image, checked state and the OnExecute/OnUpdate events that menus,
// buttons and tool bars share. The idle pass of TApplication runs Update on every action of the
// visible windows, so enabled states follow the program's state.
#include <QAction>
#include <QPointer>

#include "TImageList.h"

#include <functional>

class TAction : public QAction {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool AutoCheck READ AutoCheck WRITE SetAutoCheck)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    using TActionEvent = std::function<void(TAction* sender)>;

    explicit TAction(QObject* owner = nullptr, const QString& name = {});

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    // An empty hint stays empty (Qt's tool tip falls back to the text).
    QString Hint() const { return m_hintSet ? m_hint : toolTip(); }
    void SetHint(const QString& hint);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    bool Checked() const { return isChecked(); }
    // Checking an action of a group (GroupIndex > 0) unchecks the others of its owner's group.
    void SetChecked(bool checked);
    bool AutoCheck() const { return m_autoCheck; }
    void SetAutoCheck(bool value);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int value) { m_groupIndex = value; }
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }
    bool Visible() const { return isVisible(); }
    void SetVisible(bool value) { setVisible(value); }

    // Runs OnExecute (or, without one, ExecuteTarget on the focused control it handles).
    // Raises what the handler raises. False when nothing ran.
    virtual bool Execute();
    // Runs OnUpdate (or, without one, UpdateTarget on the focused control it handles).
    virtual bool Update();

    virtual bool HandlesTarget(QObject* target);
    virtual void ExecuteTarget(QObject* target);
    virtual void UpdateTarget(QObject* target);

    TActionEvent OnExecute;
    TActionEvent OnUpdate;

private:
    void triggeredByUser();
    void refreshIcon();

    int m_imageIndex = -1;
    QPointer<TImageList> m_images;
    bool m_autoCheck = false;
    bool m_checked = false; // the state the program set; a click changes it only with AutoCheck
    int m_groupIndex = 0;
    QString m_hint;
    bool m_hintSet = false;
};
