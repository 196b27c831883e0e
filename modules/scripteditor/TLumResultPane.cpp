#include "TLumResultPane.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

TLumResultPane::TLumResultPane(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::NoFrame);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(p);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_followEnd = value >= verticalScrollBar()->maximum();
        viewport()->update();
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

void TLumResultPane::SetHeight(int value) {
    if (value <= 0)
        return;
    resize(width(), value);
    setMinimumHeight(0);
    // Inside a splitter the height is the splitter's to give; the hint asks for it.
    setProperty("preferredHeight", value);
    updateGeometry();
}

void TLumResultPane::Append(const QString& text, bool error) {
    const QByteArray bytes = text.toUtf8();
    if (m_blocks.empty() || m_blocks.back().size() + bytes.size() > kBlockSize) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(qMax(kBlockSize, bytes.size()));
    }
    QByteArray& block = m_blocks.back();
    TLine line{uint32_t(m_blocks.size() - 1), uint32_t(block.size()), uint32_t(bytes.size()),
               uint32_t(text.size()), error};
    block.append(bytes);
    m_lines.push_back(line);
    m_widestColumns = qMax(m_widestColumns, line.columns);
    scheduleRefresh();
}

void TLumResultPane::Clear() {
    m_blocks.clear();
    m_lines.clear();
    m_lines.shrink_to_fit();
    m_widestColumns = 0;
    m_anchor = m_caret = -1;
    m_followEnd = true;
    refresh();
}

QString TLumResultPane::Line(qsizetype index) const {
    if (index < 0 || index >= LineCount())
        return {};
    const TLine& l = m_lines[size_t(index)];
    return QString::fromUtf8(m_blocks[l.block].constData() + l.offset, qsizetype(l.length));
}

bool TLumResultPane::IsError(qsizetype index) const {
    return index >= 0 && index < LineCount() && m_lines[size_t(index)].error;
}

QString TLumResultPane::Text() const {
    QStringList all;
    all.reserve(LineCount());
    for (qsizetype i = 0; i < LineCount(); ++i)
        all << Line(i);
    return all.join(QLatin1Char('\n'));
}

qint64 TLumResultPane::MemoryUsed() const {
    qint64 total = qint64(m_lines.capacity() * sizeof(TLine));
    for (const QByteArray& b : m_blocks)
        total += b.capacity();
    return total;
}

void TLumResultPane::SelectAll() {
    if (m_lines.empty())
        return;
    m_anchor = 0;
    m_caret = LineCount() - 1;
    viewport()->update();
}

void TLumResultPane::CopyToClipboard() const {
    if (m_anchor < 0)
        return;
    QStringList lines;
    for (qsizetype i = SelectionStart(); i <= SelectionEnd() && i < LineCount(); ++i)
        lines << Line(i);
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

qsizetype TLumResultPane::TopLine() const {
    return verticalScrollBar()->value();
}

void TLumResultPane::scheduleRefresh() {
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] { refresh(); });
}

void TLumResultPane::refresh() {
    m_refreshPending = false;
    const int visible = qMax(1, viewport()->height() / lineHeight());
    QScrollBar* v = verticalScrollBar();
    const bool follow = m_followEnd;
    v->setPageStep(visible);
    v->setRange(0, int(qMax<qsizetype>(0, LineCount() - visible)));
    if (follow)
        v->setValue(v->maximum());
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(viewport()->width());
    h->setSingleStep(charWidth());
    h->setRange(0, qMax(0, int(m_widestColumns) * charWidth() + 4 - viewport()->width()));
    viewport()->update();
}

int TLumResultPane::lineHeight() const {
    return qMax(1, fontMetrics().lineSpacing());
}

int TLumResultPane::charWidth() const {
    return qMax(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

qsizetype TLumResultPane::lineAt(int y) const {
    if (m_lines.empty())
        return -1;
    const qsizetype line = TopLine() + y / lineHeight();
    return qBound<qsizetype>(0, line, LineCount() - 1);
}

void TLumResultPane::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.setFont(font());
    const int h = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = 2 - horizontalScrollBar()->value();
    const qsizetype first = TopLine();
    const qsizetype last = qMin(LineCount() - 1, first + viewport()->height() / h + 1);
    const QPalette pal = palette();
    for (qsizetype i = first; i <= last; ++i) {
        const int y = int(i - first) * h;
        const bool selected = m_anchor >= 0 && i >= SelectionStart() && i <= SelectionEnd();
        if (selected)
            p.fillRect(QRect(0, y, viewport()->width(), h), pal.color(QPalette::Highlight));
        p.setPen(selected     ? pal.color(QPalette::HighlightedText)
                 : IsError(i) ? QColor(Qt::red)
                              : QColor(Qt::black));
        p.drawText(x, y + ascent, Line(i));
    }
}

void TLumResultPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    refresh();
}

void TLumResultPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        refresh();
}

void TLumResultPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_caret = lineAt(event->position().toPoint().y());
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = m_caret;
    viewport()->update();
}

void TLumResultPane::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0)
        return;
    const int y = event->position().toPoint().y();
    if (y < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_caret = lineAt(y);
    viewport()->update();
}

void TLumResultPane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopyToClipboard();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        v->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        v->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        v->setValue(0);
        break;
    case Qt::Key_End:
        v->setValue(v->maximum());
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}
