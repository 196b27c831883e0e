#pragma once
// The script runner's question as a message box: OK and Cancel, the icon chosen by the question's
// type, over the application's window and captioned with the application title.
#include "uTLumScriptRunner.h"

class TLumScriptAskBox {
public:
    // True exactly when OK was pressed.
    static bool Ask(const QString& question, TLumScriptRunner::TLumAskType type);
    // Makes the message box the runner's default asker (for runners without OnAsk).
    static void Install();
};
