#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

// One QApplication for the whole test binary. Window tests run the real windows on the offscreen
// platform unless the caller chose another one; test discovery at build time has no display.
int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
