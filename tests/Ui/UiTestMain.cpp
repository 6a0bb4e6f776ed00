// The skin layer's tests run inside one application object, headless.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    // ctest sets the platform; listing the tests at build time does not.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string runtime;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        char folder[] = "/tmp/qm-ui-rt-XXXXXX";
        if (mkdtemp(folder)) {
            runtime = folder;
            setenv("XDG_RUNTIME_DIR", folder, 1);
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (!runtime.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(runtime, ec);
    }
    return result;
}
