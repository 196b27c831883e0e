#include "uKestrowTexts.h"

#include "uTLumTranslator.h"

void AddKestrowTexts(TLumTranslator* translator) {
    translator->AddLanguage(QStringLiteral("English"));
    translator->AddLanguage(QStringLiteral("Russian"));
    const struct {
        const char* key;
        const char* english;
        const char* russian;
    } texts[] = {
        {"LumVersionDialog.CompanyNameCaption", "Company:", "Компания:"},
        {"LumVersionDialog.DlgVersionPageCaption", "Program version", "Версия программы"},
        {"LumVersionDialog.FileDescriptionCaption", "File description:", "File Description:"},
        {"LumVersionDialog.FileVersionCaption", "Version:", "Версия:"},
        {"LumVersionDialog.LinkCaption", "Link:", "Сайт:"},
        {"LumVersionDialog.ProductNameCaption", "Product:", "Продукт:"},
        {"LumVersionDialog.ProductVersionCaption", "Product version:", "Версия продукта:"},
        {"LumVersionDialog.MailCaption", "E-mail:", "Почта:"},
        {"aAbout.Caption", "About", "О программе"},
        {"aHelp.Caption", "Help", "Справка"},
        {"aClose.Caption", "Close", "Выход"},
        {"tsActivity.Caption", "Activity", "Активность"},
        {"tsDB.Caption", "DB", "БД"},
        {"tsObjects.Caption", "Objects", "Объекты"},
        {"tsQuery.Caption", "Query", "Запрос"},
        {"tsServers.Caption", "Servers", "Серверы"},
        {"tsUsers.Caption", "Users", "Пользователи"},
    };
    for (const auto& t : texts)
        translator->AddKey(QString::fromUtf8(t.key),
                           {QString::fromUtf8(t.english), QString::fromUtf8(t.russian)});
}
