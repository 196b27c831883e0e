#pragma once
// Asks for the current password, a new one and its confirmation, and refuses OK while the two
// new entries differ. It does not talk to the server: the caller reads the entered texts.
#include "TForm.h"

class QFrame;
class QLabel;
class QLineEdit;
class TLumDlgButtonPanel;

class TfChangePassword : public TForm {
    Q_OBJECT

public:
    explicit TfChangePassword(QWidget* parent = nullptr);

    void FormCreate();
    void FormShow();
    // OK is usable exactly while both new-password entries hold text.
    void eNewChange();
    // Closing with OK while the new password and its confirmation differ raises the mismatch error.
    void FormCloseQuery(bool& canClose);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* eOld;
    QLineEdit* eNew;
    QLineEdit* eNew2;
    TLumDlgButtonPanel* LumDlgButtonPanel1;
    QFrame* Panel2;
    QLabel* Image1;
};
