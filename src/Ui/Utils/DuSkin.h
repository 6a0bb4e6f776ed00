// The skin: skin/config.xml beside the program names the window definitions
// (Qt Designer files), the styles, the images, the popup menus and the
// message file. It is loaded on first use and kept for the whole process
// (until the application object goes).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TDuResManager {
public:
    static bool HasStyle(const std::string& aStyle);
    static bool HasImage(const std::string& aImage);
    // Loads an image resource from a file under aName; false when the file
    // cannot be read as an image.
    static bool CreateImageFromFile(const std::string& aName, const std::filesystem::path& aFile);
    // A style named aStyle whose only layer draws aImage stretched over the
    // element; false when the image is unknown.
    static bool CreateImageStyle(const std::string& aStyle, const std::string& aImage);
    // The width in pixels of aText in the style's font (the application's
    // font for an unknown style).
    static int GetTextWidth(const std::string& aStyle, const std::string& aText);
};

class TDuWindowManager {
public:
    static constexpr const char* kConfigFileName = "config.xml";

    // The folder the skin is read from: skin/ beside the program unless
    // set. Setting it drops a loaded skin, so the next use reads the new one
    // (tests point it at their own skins).
    static void SetSkinFolder(const std::filesystem::path& aFolder);
    static std::filesystem::path SkinFolder();

    // Loads the skin if needed. Errors: "皮肤文件(%s) 不存在" with the path of
    // the missing config.xml; "Direct UI 窗体管理器没有初始化" when there is no
    // application object or the skin could not be read.
    static void Load();
    static void Unload();

    static bool HasWindow(const std::string& aWinName);
    static std::vector<std::string> WindowNames();
    static bool HasMenu(const std::string& aMenuName);
    // Every item name of every popup menu.
    static std::vector<std::string> MenuItemNames();
    // The message file the skin names, as a full path (empty when none).
    static std::filesystem::path MessageFile();
};
