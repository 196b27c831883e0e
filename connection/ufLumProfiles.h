#pragma once
// The profile chooser: the saved profiles in a list, a tool bar to create and delete them, and a
// double click to load one and close.
#include "TForm.h"

class QListWidget;
class QToolBar;
class TAction;
class TImageList;
class TLumProfiles;
class TLumTranslator;

class TfLumProfiles : public TForm {
    Q_OBJECT

public:
    explicit TfLumProfiles(TLumProfiles* profiles, QWidget* parent = nullptr);

    // Shows the texts in the language of that name; a name without texts keeps the current ones.
    void SetLanguage(const QString& name);
    // The name selected in the list, or empty when nothing is selected.
    QString SelectedName() const;
    // The height of one row of the list.
    int ItemHeight() const;

    void aNewExecute();
    void aDeleteExecute();
    void aLoadExecute();
    void ListBoxDblClick();

    QToolBar* ActionToolBar1;
    QListWidget* ListBox;
    TAction* aNew;
    TAction* aDelete;
    TImageList* ImageList;
    TLumTranslator* Translator;

private:
    TLumProfiles* m_profiles;
};
