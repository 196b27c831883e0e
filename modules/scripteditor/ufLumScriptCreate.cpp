// Object script generation of the script editor: the parts chosen in the creation options are
// asked of the server and inserted at the editor's caret.
#include "TADOQuery.h"
#include "TLumSqlEditor.h"
#include "TdxInspector.h"
#include "uLumDialogActions.h"
#include "uTLumCustomModuleAction.h"
#include "ufLumCustomDialog.h"
#include "ufLumScript.h"
#include "ufModuleParent.h"

namespace {

const char* const kCodeSplitter = "-------------------------------------------------------------------------";

} // namespace

void TfLumScript::aScriptCreateExecute() {
    if (!aScriptParams->Execute())
        return;
    dxiCreateScript->CloseEditor(true);
    const QString tab = dxirName->Text();
    if (dxirDiv->Checked())
        re1->ReplaceSelection(QString::fromLatin1(kCodeSplitter) + QLatin1Char('\n'));
    if (dxirStruct->Checked()) {
        qStruct->Parameters().ParamByName(QStringLiteral("tab")).SetValue(tab);
        qStruct->Parameters().ParamByName(QStringLiteral("ScriptTriggers")).SetValue(dxirTriggers->Checked());
        InsertQueryText(qStruct);
    }
    if (dxirDBAccess->Checked()) {
        qDBAccess->Parameters().ParamByName(QStringLiteral("tab")).SetValue(tab);
        InsertQueryText(qDBAccess);
    }
    if (dxirAccess->Checked()) {
        qAccess->Parameters().ParamByName(QStringLiteral("tab")).SetValue(tab);
        InsertQueryText(qAccess);
    }
    if (dxirProp->Checked()) {
        qProp->Parameters().ParamByName(QStringLiteral("tab")).SetValue(tab);
        InsertQueryText(qProp);
    }
    if (dxirData->Checked()) {
        qData->Parameters().ParamByName(QStringLiteral("tab")).SetValue(tab);
        qData->Parameters().ParamByName(QStringLiteral("bScriptID")).SetValue(dxirDataId->Checked());
        qData->Parameters().ParamByName(QStringLiteral("sWhere")).SetValue(dxirDataWhere->Text());
        InsertQueryText(qData);
    }
}

void TfLumScript::InsertQueryText(TADOQuery* query) {
    query->Open();
    try {
        while (!query->Eof()) {
            QString row = query->FieldCount() > 0 ? query->Fields().Items().first()->AsString() : QString();
            row.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            row.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            re1->ReplaceSelection(row + QLatin1Char('\n'));
            query->Next();
        }
        if (query != qStruct)
            re1->ReplaceSelection(QStringLiteral("GO\n"));
    } catch (...) {
        query->Close();
        throw;
    }
    query->Close();
}
