// The HTML view's tests: one application object with the web engine
// prepared before it, headless.
#include "Support/ScratchFolder.h"
#include "Ui/Utils/HtmlView.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// The engine's own code frees some objects through a base without a
// virtual destructor; that is its business, not ours, and would stop every
// test at the first page.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::unique_ptr<TScratchFolder> runtime;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        runtime = std::make_unique<TScratchFolder>("qm-html-rt", "/tmp");
        setenv("XDG_RUNTIME_DIR", runtime->Path().c_str(), 1);
    }
    PrepareHtmlEngine();
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
