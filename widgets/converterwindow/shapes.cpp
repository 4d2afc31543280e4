#include "shapes.hpp"

#include <QPainter>

ShapeWidget::ShapeWidget(const QString& name, std::optional<QColor> fill,
                         std::optional<QColor> border, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_border(border) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::setFill(std::optional<QColor> fill) {
    m_fill = fill;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_fill) painter.fillRect(rect(), *m_fill);
    if (m_border) {
        painter.setPen(*m_border);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

PictureBox::PictureBox(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_picture.isNull()) painter.drawImage(0, 0, m_picture);
}
