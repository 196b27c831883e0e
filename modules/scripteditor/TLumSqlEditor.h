#pragma once
// The script editor's text control: QScintilla with T-SQL colouring (keywords, strings, comments,
// numbers), a fixed-pitch Courier font, no word wrap and both scroll bars. Key presses go to
// OnKeyDown first with the key as it sits on the keyboard, so Ctrl+S means the same key whatever
// the keyboard layout.
#include <Qsci/qsciscintilla.h>

#include <functional>

class QKeyEvent;

class TLumSqlEditor : public QsciScintilla {
    Q_OBJECT

public:
    // key may be set to 0 by the handler: the press is then taken.
    using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;

    explicit TLumSqlEditor(QWidget* parent = nullptr);

    // The Latin letter key (Qt::Key_A .. Qt::Key_Z) at the place of the pressed key, taken from
    // the key itself, its Cyrillic letter on the standard Russian layout or the X11 key code; else
    // the key as Qt reports it.
    static int KeyCode(const QKeyEvent* event);

    // The caret's place as one index into the text.
    int CaretPosition() const;
    // Replaces the selection (or inserts at the caret) and leaves the caret behind the text.
    void ReplaceSelection(const QString& text);

    TKeyEvent OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
