#pragma once
// A page of a tab control whose Caption is the tab's text, so the translator and the code can
// set it by name like any other caption.
#include <QTabWidget>
#include <QWidget>

class TLumTabSheet : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TLumTabSheet(QTabWidget* pages) : QWidget(pages), m_pages(pages) {}

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value) {
        m_caption = value;
        const int index = m_pages->indexOf(this);
        if (index >= 0)
            m_pages->setTabText(index, value);
    }

private:
    QTabWidget* m_pages;
    QString m_caption;
};
