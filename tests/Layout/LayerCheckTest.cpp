// The arrows between the layers run one way: checked on the real tree,
// and the check itself on a small tree of right and wrong includes.
#include "LayerCheck.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(LayerCheckTest, TheSourceTreeKeepsItsFloors)
{
    const auto violations = LayerViolations(fs::path(QUILLMAR_SOURCE_DIR) / "src");
    std::string report;
    for (const auto& violation : violations)
        report += violation + "\n";
    EXPECT_TRUE(violations.empty()) << report;
}

TEST(LayerCheckTest, EveryWrongArrowIsReported)
{
    const TScratchFolder tree("qm-layers");
    const auto write = [&](const std::string& aFile, const std::string& aText) {
        fs::create_directories((tree.Path() / aFile).parent_path());
        std::ofstream(tree.Path() / aFile) << aText;
    };
    write("Runtime/Log.h", "#pragma once\n#include <string>\n");
    write("Runtime/Log.cpp", "#include \"Log.h\"\n");                                   // beside the file
    write("Business/Data/Config.h", "#include \"Runtime/Log.h\"\n");                    // down
    write("Business/Server/Job.cpp", "#include \"Business/Server/Mail/Pop3.h\"\n");     // same floor
    write("Business/Server/Mail/Pop3.h", "#include \"Business/Server/Job.h\"\n");       // same floor
    write("Business/Server/Job.h", "");
    write("Business/AccountMail/MailRaw.h", "#include \"Business/Mime/Builder.h\"\n");  // its own floor
    write("Business/Mime/Builder.h", "");
    write("Business/Account/Sign.cpp", "#include \"Business/AccountMail/MailRaw.h\"\n"); // down to the raw mail
    write("Ui/Utils/Form.cpp", "#include <QWidget>\n#include \"Business/Business.h\"\n");
    write("Business/Business.h", "");
    // The wrong ones.
    write("Runtime/Errors.cpp", "#include \"Business/Data/Config.h\"\n");
    write("Business/Resource/Manager.cpp", "  #  include \"Business/Account/Sign.h\"\n");
    write("Business/Account/Sign.h", "");
    write("Business/Mime/Parser.cpp", "#include <QString>\n");
    write("Business/AccountMail/Store.cpp", "#include \"Business/Server/Job.h\"\n");
    write("Business/AccountMail/MailRaw.cpp", "#include \"Store.h\"\n");
    write("Business/AccountMail/Store.h", "");
    write("Business/Data/Gone.cpp", "#include \"Missing.h\"\n");
    write("Business/Elsewhere/New.cpp", "");
    write("Ui/Utils/Window.cpp", "#include \"Ui/Mail/MailList.h\"\n");
    write("Ui/Mail/MailList.h", "#include \"App/Ui.h\"\n");
    write("App/Ui.h", "");

    const std::vector<std::string> expected = {
        "Business/AccountMail/MailRaw.cpp:1: includes Business/AccountMail/Store.h (Business/AccountMail) from "
        "below (Business/AccountMail/MailRaw)",
        "Business/AccountMail/Store.cpp:1: includes Business/Server/Job.h (Business/Server) from below "
        "(Business/AccountMail)",
        "Business/Data/Gone.cpp:1: includes \"Missing.h\", which is no file of the tree",
        "Business/Elsewhere/New.cpp: on no floor (add its folder to the floor table)",
        "Business/Mime/Parser.cpp:1: includes the Qt header <QString> below the user interface",
        "Business/Resource/Manager.cpp:1: includes Business/Account/Sign.h (Business/Account) from below "
        "(Business/Resource)",
        "Runtime/Errors.cpp:1: includes Business/Data/Config.h (Business/Data) from below (Runtime)",
        "Ui/Mail/MailList.h:1: includes App/Ui.h (App) from below (Ui)",
        "Ui/Utils/Window.cpp:1: includes Ui/Mail/MailList.h (Ui) from below (Ui/Utils)",
    };
    EXPECT_EQ(LayerViolations(tree.Path()), expected);
}

} // namespace
