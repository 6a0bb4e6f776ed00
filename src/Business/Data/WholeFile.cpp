#include "WholeFile.h"

#include "Runtime/Errors.h"

#include <fstream>
#include <sstream>

std::string ReadWholeFile(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    if (!in)
        throw Exception("不能读取文件 " + aPath.string());
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        throw Exception("不能读取文件 " + aPath.string());
    return std::move(s).str();
}

void WriteWholeFile(const std::filesystem::path& aPath, std::string_view aBytes)
{
    std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
    out.write(aBytes.data(), static_cast<std::streamsize>(aBytes.size()));
    out.flush();
    if (!out)
        throw Exception("不能写入文件 " + aPath.string());
}
