#pragma once
// The About window: the application title, a picture, the key/value table of version fields, and
// the link and mail rows. TLumVersionDialog fills and shows it.
#include "TForm.h"

#include <QLabel>

class QFrame;
class QGroupBox;
class QTabWidget;
class QTableWidget;
class TLumDlgButtonPanel;

// A label that reports a click, for the link and mail rows.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLinkLabel(QWidget* parent = nullptr);
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TfAbout : public TForm {
    Q_OBJECT

public:
    explicit TfAbout(QWidget* parent = nullptr);

    // One row per "label=value" line: the label as key, the rest as value.
    void SetInfoLines(const QStringList& lines);
    // The outer size of the window, frame included.
    void SetOuterSize(int width, int height);

    void FormShow();
    // Nothing in the table can be selected or edited.
    bool vlAppInfoSelectCell(int column, int row) const;
    void lLinkClick();
    void lMailClick();

    TLumDlgButtonPanel* LumDlgButtonPanel;
    QTabWidget* PageControl;
    QWidget* tsVersionInfo;
    QGroupBox* GroupBox1;
    QFrame* Bevel2;
    QLabel* Image;
    QFrame* Panel1;
    QLabel* Label1;
    QTableWidget* vlAppInfo;
    QLabel* lLinkCaption;
    TLinkLabel* lLink;
    QFrame* pLink;
    QLabel* lMailCaption;
    TLinkLabel* lMail;

    QString LinkTarget;
    QString MailTarget;
    bool LinkRowVisible = false;
};
