#include "TLumSqlEditor.h"

#include <Qsci/qscilexersql.h>

#include <QKeyEvent>

namespace {

// T-SQL's reserved words and the functions and types a script uses most; QScintilla compares
// them in lower case.
const char* const kKeywords =
    "add all alter and any as asc authorization backup begin between break browse bulk by cascade "
    "case check checkpoint close clustered coalesce collate column commit compute constraint "
    "contains containstable continue convert create cross current current_date current_time "
    "current_timestamp current_user cursor database dbcc deallocate declare default delete deny "
    "desc disk distinct distributed double drop dump else end errlvl escape except exec execute "
    "exists exit external fetch file fillfactor for foreign freetext freetexttable from full "
    "function go goto grant group having holdlock identity identity_insert identitycol if in index "
    "inner insert intersect into is join key kill left like lineno load merge national nocheck "
    "nocount nonclustered not null nullif of off offsets on open opendatasource openquery "
    "openrowset openxml option or order outer output over percent pivot plan precision primary "
    "print proc procedure public raiserror read readtext reconfigure references replication "
    "restore restrict return revert revoke right rollback rowcount rowguidcol rule save schema "
    "select session_user set setuser shutdown some statistics system_user table tablesample "
    "textsize then to top tran transaction trigger truncate try_convert tsequal union unique "
    "unpivot update updatetext use user values varying view waitfor when where while with "
    "writetext bigint binary bit char datetime datetime2 date decimal float image int money "
    "nchar ntext numeric nvarchar real smalldatetime smallint smallmoney sql_variant sysname text "
    "time timestamp tinyint uniqueidentifier varbinary varchar xml max cast isnull len "
    "substring charindex replace object_id user_name getdate count sum min max avg";

class TLumTSqlLexer : public QsciLexerSQL {
public:
    using QsciLexerSQL::QsciLexerSQL;
    const char* keywords(int set) const override {
        if (set == 1)
            return kKeywords;
        return set == 2 || set == 3 ? nullptr : QsciLexerSQL::keywords(set);
    }
};

QFont courier() {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Courier"),
                   QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                   QStringLiteral("monospace")});
    f.setFixedPitch(true);
    // 13 pixels at 96 dots per inch; QScintilla takes the size in points only.
    f.setPointSize(10);
    return f;
}

} // namespace

TLumSqlEditor::TLumSqlEditor(QWidget* parent) : QsciScintilla(parent) {
    const QFont font = courier();
    setFont(font);
    auto* lexer = new TLumTSqlLexer(this);
    lexer->setDefaultFont(font);
    lexer->setFont(font, -1);
    lexer->setFoldComments(false);
    // T-SQL: "#" starts temporary names, not comments; double quotes delimit names.
    lexer->setHashComments(false);
    lexer->setBackslashEscapes(false);
    lexer->setColor(QColor(0, 0, 160), QsciLexerSQL::Keyword);
    lexer->setColor(QColor(0, 128, 0), QsciLexerSQL::Comment);
    lexer->setColor(QColor(0, 128, 0), QsciLexerSQL::CommentLine);
    lexer->setColor(QColor(0, 128, 0), QsciLexerSQL::CommentDoc);
    lexer->setColor(QColor(160, 0, 0), QsciLexerSQL::SingleQuotedString);
    lexer->setColor(QColor(128, 0, 128), QsciLexerSQL::Number);
    setLexer(lexer);
    setWrapMode(WrapNone);
    setEolMode(EolUnix);
    setUtf8(true);
    setMarginWidth(1, 0);
    setMarginWidth(0, 0);
    setFrameShape(QFrame::NoFrame);
    SendScintilla(SCI_SETHSCROLLBAR, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    setTabWidth(4);
}

int TLumSqlEditor::KeyCode(const QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;
    // The standard Russian layout (ЙЦУКЕН): the Cyrillic letter on each Latin letter key.
    static const struct {
        char32_t cyrillic;
        int latin;
    } kRussian[] = {{U'Й', Qt::Key_Q}, {U'Ц', Qt::Key_W}, {U'У', Qt::Key_E}, {U'К', Qt::Key_R},
                    {U'Е', Qt::Key_T}, {U'Н', Qt::Key_Y}, {U'Г', Qt::Key_U}, {U'Ш', Qt::Key_I},
                    {U'Щ', Qt::Key_O}, {U'З', Qt::Key_P}, {U'Ф', Qt::Key_A}, {U'Ы', Qt::Key_S},
                    {U'В', Qt::Key_D}, {U'А', Qt::Key_F}, {U'П', Qt::Key_G}, {U'Р', Qt::Key_H},
                    {U'О', Qt::Key_J}, {U'Л', Qt::Key_K}, {U'Д', Qt::Key_L}, {U'Я', Qt::Key_Z},
                    {U'Ч', Qt::Key_X}, {U'С', Qt::Key_C}, {U'М', Qt::Key_V}, {U'И', Qt::Key_B},
                    {U'Т', Qt::Key_N}, {U'Ь', Qt::Key_M}};
    // Qt reports a Cyrillic letter key by the upper-case letter's code.
    char32_t letter = char32_t(key);
    if (letter < 0x400 || letter > 0x4FF) {
        const QString upper = event->text().toUpper();
        letter = upper.size() == 1 ? char32_t(upper.at(0).unicode()) : 0;
    }
    for (const auto& r : kRussian) {
        if (r.cyrillic == letter)
            return r.latin;
    }
    // X11 key codes (evdev) of the letter keys, whatever the layout says they are.
    static const int kRows[][2] = {{24, 0}, {38, 1}, {52, 2}};
    static const char* const kLetters[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const int code = int(event->nativeScanCode());
    for (const auto& row : kRows) {
        const int offset = code - row[0];
        const char* letters = kLetters[row[1]];
        if (code != 0 && offset >= 0 && offset < int(qstrlen(letters)))
            return Qt::Key_A + (letters[offset] - 'A');
    }
    return key;
}

int TLumSqlEditor::CaretPosition() const {
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    return positionFromLineIndex(line, index);
}

void TLumSqlEditor::ReplaceSelection(const QString& text) {
    replaceSelectedText(text);
}

void TLumSqlEditor::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown) {
        int key = KeyCode(event);
        OnKeyDown(this, key, event->modifiers());
        if (key == 0) {
            event->accept();
            return;
        }
    }
    QsciScintilla::keyPressEvent(event);
}
