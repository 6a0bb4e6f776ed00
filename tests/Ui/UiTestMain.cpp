// The skin layer's tests run inside one application object, headless.
#include "Support/ScratchFolder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    // ctest sets the platform; listing the tests at build time does not.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt wants a private runtime folder; a short one, for its sockets.
    std::unique_ptr<TScratchFolder> runtime;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        runtime = std::make_unique<TScratchFolder>("qm-ui-rt", "/tmp");
        setenv("XDG_RUNTIME_DIR", runtime->Path().c_str(), 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
