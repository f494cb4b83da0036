#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

namespace quillmer::ui {

// A picture that acts on a click: press and release the left button over it.
class ClickablePicture : public QLabel
{
    Q_OBJECT
public:
    explicit ClickablePicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

// A drawn horizontal rule of one pixel in its border colour.
class LineControl : public QWidget
{
    Q_OBJECT
public:
    explicit LineControl(QWidget* parent = nullptr);

    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_borderColor = Qt::black;
};

} // namespace quillmer::ui
