#pragma once
// The strip of push buttons at the edge of a dialog. It owns its buttons as a collection (button
// 0 is OK and button 1 Cancel by convention) and lays them out itself: in a row, or in a column
// when the panel is aligned left or right, at the top/left, at the right/bottom or centred, with
// a gap between buttons and a margin to the edge.
#include "TButton.h"
#include "TCollection.h"

#include <QPointer>
#include <QWidget>

class TLumDlgButtonPanel;

// One button of the panel. Destroying the item destroys its button.
class TLumDlgButton : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(TButton* Button READ Button)

public:
    explicit TLumDlgButton(TCollection* collection);
    ~TLumDlgButton() override;

    TButton* Button() const { return m_button; }
    // Copies the button's settings and click handler from another TLumDlgButton; any other source
    // is ignored.
    void Assign(const QObject* source);

private:
    QPointer<TButton> m_button;
};

class TLumDlgButtons : public TCollection {
    Q_OBJECT

public:
    explicit TLumDlgButtons(TLumDlgButtonPanel* panel);
    TLumDlgButtonPanel* Panel() const;
    TLumDlgButton* Items(int index) const { return static_cast<TLumDlgButton*>(TCollection::Items(index)); }
    TLumDlgButton* Add() { return static_cast<TLumDlgButton*>(TCollection::Add()); }
};

class TLumDlgButtonPanel : public QWidget {
    Q_OBJECT

public:
    enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
    Q_ENUM(TAlign)
    enum TLumButtonAlign { baTopLeft, baRightBottom, baCenter };
    Q_ENUM(TLumButtonAlign)

private:
    Q_PROPERTY(TLumDlgButtonPanel::TAlign Align READ Align WRITE SetAlign)
    Q_PROPERTY(TLumDlgButtonPanel::TLumButtonAlign BtnAlign READ BtnAlign WRITE SetBtnAlign)
    Q_PROPERTY(int BtnGap READ BtnGap WRITE SetBtnGap)
    Q_PROPERTY(int BtnMargin READ BtnMargin WRITE SetBtnMargin)
    Q_PROPERTY(TLumDlgButtons* Buttons READ Buttons)

public:
    explicit TLumDlgButtonPanel(QWidget* parent = nullptr);
    ~TLumDlgButtonPanel() override;

    TAlign Align() const { return m_align; }
    // The panel's alignment in its parent; left and right stack the buttons in a column. The
    // panel keeps its height (top, bottom) or width (left, right) fixed.
    void SetAlign(TAlign value);
    TLumButtonAlign BtnAlign() const { return m_btnAlign; }
    void SetBtnAlign(TLumButtonAlign value);
    int BtnGap() const { return m_btnGap; }
    void SetBtnGap(int value);
    int BtnMargin() const { return m_btnMargin; }
    void SetBtnMargin(int value);
    TLumDlgButtons* Buttons() const { return m_buttons; }
    // Button i of the collection (0 = OK, 1 = Cancel by convention).
    TButton* Button(int index) const { return m_buttons->Items(index)->Button(); }

    TLumDlgButton* AddButton(const QString& caption, int modalResult);

    // Places the buttons in the client rectangle.
    void AlignControls();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TLumDlgButton;
    void buttonAdded(TButton* button);

    TAlign m_align = alNone;
    TLumButtonAlign m_btnAlign = baRightBottom;
    int m_btnGap = 10;
    int m_btnMargin = 20;
    TLumDlgButtons* m_buttons;
    bool m_aligning = false;
};
