#pragma once
// Files read whole and a module's folder, for the Windows test programs; text between UTF-16 and a code
// page's bytes is the program's own conversion (platform/win32/Win32Text.h), with the code page named.

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// The folder of a module (nullptr: the program), with a backslash at its end.
inline std::wstring ModuleFolder(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring() + L"\\";
}
