#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// Initialisation files read as a stream and rewritten whole: a read holds a
// fixed amount of memory whatever the file, and a write replaces the file in
// one rename, so a reader sees the old file or the new one, never a mix.
class PosixProfileStore : public ProfileStore {
public:
    // A file larger than this is not one of ours and is never rewritten.
    static constexpr std::size_t kMaxRewriteBytes = 4u << 20;

    std::string Read(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view defaultValue, std::size_t count,
                     std::uint64_t maxFileBytes = kAnyFileSize) override;
    bool Write(const std::string& path, std::string_view section, std::string_view key,
               std::string_view value, std::string* reason = nullptr) override;

private:
    // Profiles are read in pieces as large as the system's own file copy
    // uses, into a buffer that starts a page, as its buffer does: the kernel
    // copies a file several times slower into one that does not. So a large
    // file without the section costs little more than its reading.
    static constexpr std::size_t kProfileReadChunk = 128 * 1024;
    struct alignas(4096) ReadBuffer {
        char bytes[kProfileReadChunk];
    };
    std::unique_ptr<ReadBuffer> m_buffer;  // made at the first read
};

}  // namespace poremisu
