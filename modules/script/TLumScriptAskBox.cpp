#include "TLumScriptAskBox.h"

#include "TApplication.h"
#include "TForm.h"
#include "TMessageBox.h"

bool TLumScriptAskBox::Ask(const QString& question, TLumScriptRunner::TLumAskType type) {
    TMsgDlgType icon = mtConfirmation;
    if (type == TLumScriptRunner::qtError)
        icon = mtError;
    else if (type == TLumScriptRunner::qtWarning)
        icon = mtWarning;
    return MessageDlg(question, icon, mbOK | mbCancel, TApplication::CurrentTitle()) == mrOk;
}

void TLumScriptAskBox::Install() {
    TLumScriptRunner::SetDefaultAsker(&TLumScriptAskBox::Ask);
}
