// The player window on Qt's offscreen platform: stepping, playing and pausing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "playerwindow.hpp"
#include "screenimage.hpp"
#include "screenview.hpp"

using player::PlayerWindow;
using TIFunctions::BitString;

namespace {

std::vector<BitString> numberedScreens(std::size_t count) {
    std::vector<BitString> screens;
    for (std::size_t k = 0; k < count; ++k) {
        BitString screen = BitString::filled(96 * 64, false);
        for (std::size_t i = 0; i <= k; ++i)
            screen.setBit(i * 97, true);
        screens.push_back(screen);
    }
    return screens;
}

const player::PictureGeometry kGeometry{{96, 64}, 2};

}  // namespace

TEST(PlayerWindow, StepsForwardAndBackAroundTheEnds) {
    const auto screens = numberedScreens(3);
    PlayerWindow window(screens, kGeometry, "my.z80");
    EXPECT_EQ(window.frameCount(), 3U);
    EXPECT_EQ(window.currentFrame(), 0U);
    EXPECT_EQ(window.view().image(), player::screenImage(screens[0], kGeometry));
    EXPECT_EQ(window.view().image().size(), QSize(192, 128));

    window.stepForward();
    EXPECT_EQ(window.currentFrame(), 1U);
    EXPECT_EQ(window.view().image(), player::screenImage(screens[1], kGeometry));
    window.stepForward();
    window.stepForward();
    EXPECT_EQ(window.currentFrame(), 0U);
    window.stepBack();
    EXPECT_EQ(window.currentFrame(), 2U);
    EXPECT_EQ(window.view().image(), player::screenImage(screens[2], kGeometry));
    window.showFrame(99);
    EXPECT_EQ(window.currentFrame(), 2U);
}

TEST(PlayerWindow, PlaysAtTenFramesASecondUntilPaused) {
    PlayerWindow window(numberedScreens(50), kGeometry, "my.z80");
    window.show();
    QElapsedTimer clock;
    clock.start();
    window.play();
    EXPECT_TRUE(window.isPlaying());
    QTest::qWait(1000);
    window.pause();
    const auto elapsedFrames = static_cast<std::size_t>(clock.elapsed() / 100);
    EXPECT_FALSE(window.isPlaying());
    // A busy machine may lose a few timer turns, never gain them.
    EXPECT_LE(window.currentFrame(), elapsedFrames);
    EXPECT_GE(window.currentFrame(), 5U);
    const std::size_t paused = window.currentFrame();
    QTest::qWait(300);
    EXPECT_EQ(window.currentFrame(), paused);
}

TEST(PlayerWindow, SteppingPausesAndKeysControlIt) {
    PlayerWindow window(numberedScreens(5), kGeometry, "my.z80");
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_TRUE(window.isPlaying());
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_FALSE(window.isPlaying());
    window.play();
    window.stepForward();
    EXPECT_FALSE(window.isPlaying());
    QTest::keyClick(&window, Qt::Key_End);
    EXPECT_EQ(window.currentFrame(), 4U);
    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_EQ(window.currentFrame(), 0U);
    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_EQ(window.currentFrame(), 4U);
    QTest::keyClick(&window, Qt::Key_Home);
    EXPECT_EQ(window.currentFrame(), 0U);
}

TEST(PlayerWindow, ShowsABlankScreenWhenThereIsNoFrame) {
    const PlayerWindow window({}, kGeometry, "empty.z80");
    EXPECT_EQ(window.frameCount(), 1U);
    EXPECT_EQ(window.view().image(),
              player::screenImage(BitString::filled(96 * 64, false), kGeometry));
}
