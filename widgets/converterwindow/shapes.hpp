#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <optional>

// A drawn rectangle of the window: an optional solid fill and an optional one-pixel border.
class ShapeWidget : public QWidget {
    Q_OBJECT

  public:
    ShapeWidget(const QString& name, std::optional<QColor> fill, std::optional<QColor> border,
                QWidget* parent);

    void setFill(std::optional<QColor> fill);
    std::optional<QColor> fill() const { return m_fill; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<QColor> m_fill;
    std::optional<QColor> m_border;
};

// A picture drawn pixel for pixel from its top left corner, unscaled.
class PictureBox : public QWidget {
    Q_OBJECT

  public:
    PictureBox(const QString& name, QWidget* parent);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_picture;
};
