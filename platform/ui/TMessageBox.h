#pragma once
// Message boxes with the program's captions, icons and buttons.
#include <QString>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgButton { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64 };
using TMsgDlgButtons = int;

// Shows text modally over the active window and returns the modal result of the button chosen
// (mrOk, mrCancel, ...; mrCancel when the box is closed otherwise). An empty caption gives the
// type's own caption ("Error", "Information", ...).
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, const QString& caption = {});
