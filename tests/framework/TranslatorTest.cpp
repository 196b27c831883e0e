#include "Exception.h"
#include "TForm.h"
#include "uTLumTranslator.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A component with a text, a string-list and a number property for the translator to fill.
class TMemoLike : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER m_caption)
    Q_PROPERTY(QStringList Lines MEMBER m_lines)
    Q_PROPERTY(int Tag MEMBER m_tag)

public:
    explicit TMemoLike(QObject* owner, const QString& name) : QObject(owner) { setObjectName(name); }
    QString m_caption = "design";
    QStringList m_lines;
    int m_tag = 5;
};

class TfWords : public TForm {
    Q_OBJECT

public:
    TfWords() {
        setObjectName("fWords");
        SetCaption("design caption");
        memo = new TMemoLike(this, "mText");
        label = new QLabel("design label", this);
        label->setObjectName("Label1");
        translator = new TLumTranslator(this, "Translator");
        translator->AddLanguage("English");
        translator->AddLanguage("Russian");
        translator->AddKey("mText.Caption", {"Text", "Текст"});
        translator->AddKey("TfWords.Caption", {"Words", "Слова"});
        translator->AddKey("Completed", {"Completed", "Выполнено"});
        translator->AddKey("mText.Lines", {"one\ntwo", "раз\nдва"});
        translator->AddKey("mText.Tag", {"1", "2"});
        translator->AddKey("Label1.Caption", {"Name", "Имя"});
        translator->AddKey("Label1.Hint", {"Tip", "Подсказка"});
    }
    TMemoLike* memo;
    QLabel* label;
    TLumTranslator* translator;
};

QString listError(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

TEST(TranslatorTest, ApplySetsTextPropertiesAlongTheKeyPaths) {
    TfWords form;
    form.translator->SelectLanguage("Russian");
    form.translator->Apply();
    EXPECT_EQ(form.memo->m_caption, "Текст");
    EXPECT_EQ(form.Caption(), "Слова"); // the owner's own class name addresses the form
    EXPECT_EQ(form.memo->m_lines, QStringList({"раз", "два"}));
    EXPECT_EQ(form.memo->m_tag, 5); // not a text property
    EXPECT_EQ(form.label->text(), "Имя");
    EXPECT_EQ(form.label->toolTip(), "Подсказка");
    form.translator->SelectLanguage("English");
    form.translator->Apply();
    EXPECT_EQ(form.Caption(), "Words");
    EXPECT_EQ(form.label->text(), "Name");
}

TEST(TranslatorTest, KeysIgnoreCaseLanguageNamesDoNot) {
    TfWords form;
    int changes = 0;
    form.translator->OnLanguageChange = [&](TLumTranslator* sender) {
        EXPECT_EQ(sender, form.translator);
        ++changes;
    };
    form.translator->SelectLanguage("Russian");
    EXPECT_EQ(form.translator->Translate("completed"), "Выполнено");
    EXPECT_EQ(form.translator->Translate("Unknown"), "");
    EXPECT_EQ(form.translator->Translate("Unknown", "fallback"), "fallback");
    EXPECT_EQ(changes, 1);

    form.translator->SelectLanguage("english"); // no such name: nothing changes, nothing fires
    EXPECT_EQ(form.translator->GetActiveLanguageName(), "Russian");
    EXPECT_EQ(changes, 1);
    form.translator->SetActiveLanguage(1); // the same value fires again
    EXPECT_EQ(changes, 2);
}

TEST(TranslatorTest, ActiveLanguageOutsideTheLanguagesFailsWithTheListIndexError) {
    TfWords form;
    form.translator->SetActiveLanguage(7);
    EXPECT_EQ(form.translator->ActiveLanguage(), -1);
    EXPECT_EQ(form.translator->GetActiveLanguageName(), "");
    EXPECT_EQ(listError([&] { form.translator->Translate("Completed"); }), "List index out of bounds (7)");
    EXPECT_EQ(listError([&] { form.translator->Apply(); }), "List index out of bounds (-1)");
    EXPECT_EQ(form.translator->Translate("nothing"), ""); // unknown keys need no language

    TForm empty;
    TLumTranslator none(&empty);
    EXPECT_EQ(none.ActiveLanguage(), -1);
    EXPECT_NO_THROW(none.Apply()); // no keys: nothing to do whatever the language
    EXPECT_EQ(none.AddKey("A", {"x"}), 0);
    EXPECT_EQ(none.AddLanguage("L")->Lines(), QStringList({""}));
}

TEST(TranslatorTest, AddKeyAppendsOrOverwritesInEveryLanguage) {
    TfWords form;
    const int count = form.translator->Items().size();
    EXPECT_EQ(form.translator->AddKey("New", {"only english"}), count);
    EXPECT_EQ(form.translator->Languages()->Items(1)->Lines().at(count), "");
    EXPECT_EQ(form.translator->AddKey("COMPLETED", {"Done"}), 2);
    EXPECT_EQ(form.translator->Languages()->Items(0)->Lines().at(2), "Done");
    EXPECT_EQ(form.translator->Languages()->Items(1)->Lines().at(2), "");
    EXPECT_EQ(form.translator->FindOrAddLanguage("Russian"), form.translator->Languages()->Items(1));
    TLumLanguageItem* german = form.translator->FindOrAddLanguage("German");
    EXPECT_EQ(german->Lines().size(), form.translator->Items().size());
    EXPECT_EQ(form.translator->Languages()->Count(), 3);

    TLumLanguageItem* copy = form.translator->AddLanguage("");
    EXPECT_EQ(copy->DisplayName(), "TLumLanguageItem");
    copy->Assign(form.translator->Languages()->Items(0));
    EXPECT_EQ(copy->DisplayName(), "English");
    EXPECT_EQ(copy->Lines(), form.translator->Languages()->Items(0)->Lines());
    EXPECT_THROW(copy->Assign(&form), Exception);
}

TEST(TranslatorTest, LanguageFilesMergeIntoOneLanguage) {
    QTemporaryDir dir;
    const QString file = dir.filePath("German.ini");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[TfWords]\nmtext.caption=Text (de)\nFileOnly=a\\nb\\rc\n[Other]\nCompleted=x\n");
    }
    TfWords form;
    form.translator->LoadLanguage("German", file, ""); // section: the owner's class name
    TLumTranslator& t = *form.translator;
    ASSERT_EQ(t.Languages()->Count(), 3);
    const int fileOnly = t.IndexOfKey("FileOnly");
    ASSERT_GE(fileOnly, 0);
    EXPECT_EQ(t.Languages()->Items(2)->Lines().at(fileOnly), "a\rb\nc"); // \n gives CR, \r LF
    EXPECT_EQ(t.Languages()->Items(0)->Lines().at(fileOnly), "");        // added empty elsewhere
    EXPECT_EQ(t.Languages()->Items(0)->Lines().at(0), "Text");           // other languages untouched

    // Applying the language the resource does not have empties what the file does not cover.
    t.SelectLanguage("German");
    t.Apply();
    EXPECT_EQ(form.memo->m_caption, "Text (de)");
    EXPECT_EQ(form.Caption(), "");
    EXPECT_TRUE(form.memo->m_lines.isEmpty());

    // Another section of the same file only touches the keys it names, in the language given.
    t.LoadLanguage("Russian", file, "Other");
    EXPECT_EQ(t.Translate("Completed"), "");
    t.SelectLanguage("Russian");
    EXPECT_EQ(t.Translate("Completed"), "x");
    EXPECT_EQ(t.Translate("mText.Caption"), "Текст");

    // A missing file changes nothing, but the language now exists; an empty name does nothing.
    t.LoadLanguage("French", dir.filePath("none.ini"), "");
    EXPECT_EQ(t.Languages()->Count(), 4);
    t.LoadLanguage("", file, "");
    EXPECT_EQ(t.Languages()->Count(), 4);
}

} // namespace

#include "TranslatorTest.moc"
