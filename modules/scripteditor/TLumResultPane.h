#pragma once
// The script editor's result pane: a read-only list of text lines that only grows at the end.
// Lines live in large text blocks with a small index entry each, and only the lines in view are
// painted, so a million lines stay cheap to keep and to scroll. Error lines are shown in red.
// Lines can be selected with the mouse or the keyboard and copied.
#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class TLumResultPane : public QAbstractScrollArea {
    Q_OBJECT
    // The pane's height, kept in the settings file.
    Q_PROPERTY(int Height READ Height WRITE SetHeight)

public:
    explicit TLumResultPane(QWidget* parent = nullptr);

    int Height() const { return height(); }
    void SetHeight(int value);

    // Appends one line (line breaks in text are kept as they are). The view follows the end while
    // it was showing the end.
    void Append(const QString& text, bool error = false);
    void Clear();

    qsizetype LineCount() const { return qsizetype(m_lines.size()); }
    QString Line(qsizetype index) const;
    bool IsError(qsizetype index) const;
    // Every line, joined with LF (for tests and copying).
    QString Text() const;
    // Bytes held for the text and its index.
    qint64 MemoryUsed() const;

    // The selected lines (first..last, inclusive; -1 when none).
    qsizetype SelectionStart() const { return qMin(m_anchor, m_caret); }
    qsizetype SelectionEnd() const { return qMax(m_anchor, m_caret); }
    void SelectAll();
    void CopyToClipboard() const;
    // The first line shown at the top.
    qsizetype TopLine() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct TLine {
        uint32_t block;
        uint32_t offset;
        uint32_t length;  // bytes of UTF-8
        uint32_t columns; // characters, for the horizontal extent
        bool error;
    };
    // Scroll ranges are brought up to date once per burst of appends.
    void scheduleRefresh();
    void refresh();
    int lineHeight() const;
    int charWidth() const;
    qsizetype lineAt(int y) const;

    static constexpr qsizetype kBlockSize = 4 * 1024 * 1024;
    std::vector<QByteArray> m_blocks;
    std::vector<TLine> m_lines;
    uint32_t m_widestColumns = 0;
    qsizetype m_anchor = -1;
    qsizetype m_caret = -1;
    bool m_refreshPending = false;
    bool m_followEnd = true;
};
