#pragma once

#include <QImage>
#include <QWidget>

#include "bitstring.hpp"
#include "screenraster.hpp"

namespace player {

// Shows one calculator screen, every pixel as a scale x scale square.
class ScreenView : public QWidget {
  public:
    explicit ScreenView(const PictureGeometry& geometry, QWidget* parent = nullptr);

    // Shows screen from now on.
    void setScreen(const TIFunctions::BitString& screen);
    // The picture shown.
    const QImage& image() const noexcept { return m_image; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PictureGeometry m_geometry;
    QImage m_image;
};

}  // namespace player
