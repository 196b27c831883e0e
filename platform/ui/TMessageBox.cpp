#include "TMessageBox.h"

#include "TForm.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, const QString& caption) {
    QMessageBox box(QApplication::activeWindow());
    static const struct {
        TMsgDlgType type;
        QMessageBox::Icon icon;
        const char* caption;
    } kinds[] = {{mtWarning, QMessageBox::Warning, "Warning"},
                 {mtError, QMessageBox::Critical, "Error"},
                 {mtInformation, QMessageBox::Information, "Information"},
                 {mtConfirmation, QMessageBox::Question, "Confirm"},
                 {mtCustom, QMessageBox::NoIcon, ""}};
    for (const auto& k : kinds) {
        if (k.type == type) {
            box.setIcon(k.icon);
            box.setWindowTitle(caption.isEmpty() ? QString::fromLatin1(k.caption) : caption);
        }
    }
    box.setText(text);
    static const struct {
        TMsgDlgButton button;
        QMessageBox::StandardButton standard;
        int result;
    } kButtons[] = {{mbYes, QMessageBox::Yes, mrYes},
                    {mbNo, QMessageBox::No, mrNo},
                    {mbOK, QMessageBox::Ok, mrOk},
                    {mbCancel, QMessageBox::Cancel, mrCancel},
                    {mbAbort, QMessageBox::Abort, mrAbort},
                    {mbRetry, QMessageBox::Retry, mrRetry},
                    {mbIgnore, QMessageBox::Ignore, mrIgnore}};
    for (const auto& b : kButtons) {
        if (buttons & b.button)
            box.addButton(b.standard);
    }
    if (buttons == 0)
        box.addButton(QMessageBox::Ok);
    box.exec();
    for (const auto& b : kButtons) {
        if (box.clickedButton() && box.clickedButton() == box.button(b.standard))
            return b.result;
    }
    return mrCancel;
}
