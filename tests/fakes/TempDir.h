#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace poremisu::test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. The current directory at construction is
// restored first, since the code under test moves it.
class TempDir {
public:
    TempDir() : m_savedCwd(std::filesystem::current_path()) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto path = std::filesystem::temp_directory_path() /
                        ("poremisu-test-" + std::to_string(random()) + "-" + std::to_string(attempt));
            if (std::filesystem::create_directory(path)) {
                m_path = std::filesystem::canonical(path).generic_string();
                return;
            }
        }
        throw std::runtime_error("no temporary folder");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(m_savedCwd, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a final separator.
    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::filesystem::path m_savedCwd;
    std::string m_path;
};

inline bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The file's bytes; empty when it is missing.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::path(path), ignored);
}

inline std::string Cwd() { return std::filesystem::current_path().generic_string(); }

}  // namespace poremisu::test
