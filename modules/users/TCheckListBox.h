#pragma once
// A list of check boxes whose height is a stored property: setting it asks the owner to make room
// (the list fills a panel whose height the owner controls).
#include <QListWidget>

#include <functional>

class TCheckListBox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(int Height READ Height WRITE SetHeight)

public:
    explicit TCheckListBox(QWidget* parent = nullptr, const QString& name = {});

    int Height() const;
    void SetHeight(int value);
    bool Checked(int index) const;
    void SetChecked(int index, bool value);

    // Called with the requested height; the list's own height until the owner lays it out.
    std::function<void(int height)> OnHeightRequest;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_requestedHeight = -1;
    bool m_shown = false;
};
