#include <QGuiApplication>

#include <gtest/gtest.h>

// System fonts need a GUI application (the offscreen platform is enough).
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
