#pragma once
// A list of equally sized images that actions, buttons and tabs refer to by index. The program
// draws its own pictures with Paint.
#include <QIcon>
#include <QList>
#include <QObject>

#include <functional>

class QPainter;

class TImageList : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width)
    Q_PROPERTY(int Height READ Height)

public:
    using TPainter = std::function<void(QPainter& painter, const QRectF& box)>;

    TImageList(int width, int height, QObject* owner = nullptr);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_icons.size()); }
    // Adds a picture and returns its index.
    int Add(const QIcon& icon);
    // Adds a picture drawn by painter into a box of the list's size (antialiased, transparent).
    int Add(const TPainter& painter);
    // The picture at index, or an empty icon when there is none.
    QIcon Icon(int index) const;

    static QPixmap Paint(int width, int height, const TPainter& painter);

private:
    int m_width;
    int m_height;
    QList<QIcon> m_icons;
};
