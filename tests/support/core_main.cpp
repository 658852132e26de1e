#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // The service journal and anything else kept in the user's data folder stay out of
    // the real one.
    QTemporaryDir data_home;
    qputenv("XDG_DATA_HOME", data_home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
