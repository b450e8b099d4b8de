// The listing page of a large folder against reading every byte of it.
//
//   bench_listing generate DIR [--urls N] [--others N] [--big N] [--big-mb N]
//       fills DIR with N shortcut files, N other entries (sub-folders, pages,
//       text files) and N binary files of real pseudo-random bytes.
//   bench_listing list DIR [EXPECTED]
//       writes DIR's listing page with the core's DirectoryLister over the
//       posix services; exit status 3 when the count is not EXPECTED.
//   bench_listing measure DIR [--rounds N] [--case NAME]
//       times "list" and `cat` of the same files to /dev/null, each as a child
//       process, in turns; samples (time and peak memory) go to stdout.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Text.h"
#include "pages/Listing.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProfileStore.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace poremisu;

// splitmix64: fast, and its bytes look like any binary file's to a reader.
struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

bool WriteFile(const fs::path& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

int Generate(const fs::path& dir, long urls, long others, long big, long bigMb) {
    fs::create_directories(dir);
    char name[64];
    for (long i = 0; i < urls; ++i) {
        std::snprintf(name, sizeof name, "Site %05ld.url", i);
        std::string address = "https://www.example.com/section/" + std::to_string(i % 97) + "/page-" +
                              std::to_string(i) + ".html";
        // The layout the desktop writes: a default section before ours.
        std::string text = "[DEFAULT]\r\nBASEURL=" + address + "\r\n[InternetShortcut]\r\nURL=" + address +
                           "\r\nIDList=\r\nHotKey=0\r\nIconIndex=0\r\n";
        if (!WriteFile(dir / name, text)) return 1;
    }
    // The others: a tenth sub-folders, the rest pages and notes in turn.
    long folders = others / 10;
    for (long i = 0; i < others; ++i) {
        if (i < folders) {
            std::snprintf(name, sizeof name, "Folder %04ld", i);
            fs::create_directory(dir / name);
            continue;
        }
        bool page = i % 2 == 0;
        std::snprintf(name, sizeof name, page ? "Page %04ld.htm" : "Note %04ld.txt", i);
        std::string text = page ? "<html><head><title>Page " + std::to_string(i) +
                                      "</title></head><body><p>A saved page.</p></body></html>\r\n"
                                : "A note that is no shortcut.\r\n" + std::string(400, 'x') + "\r\n";
        if (!WriteFile(dir / name, text)) return 1;
    }
    std::vector<std::uint64_t> block(1 << 17);  // 1 MB
    Random random{0x5EED};
    for (long i = 0; i < big; ++i) {
        std::snprintf(name, sizeof name, "Archive %02ld.bin", i);
        FILE* f = std::fopen((dir / name).c_str(), "wb");
        if (!f) return 1;
        for (long mb = 0; mb < bigMb; ++mb) {
            for (auto& word : block) word = random.Next();
            if (std::fwrite(block.data(), 8, block.size(), f) != block.size()) return 1;
        }
        if (std::fclose(f) != 0) return 1;
    }
    return 0;
}

int List(const std::string& dir, long expected) {
    AppState state;
    Texts texts = Texts::Make([](std::string_view utf8) { return std::string(utf8); });
    PosixFileSystem files;
    PosixProfileStore profiles;
    DirectoryLister lister(state, texts, files, profiles);
    std::int32_t count = lister.WriteDirectoryPage(kListingPageName, dir);
    if (expected >= 0 && count != expected) {
        std::fprintf(stderr, "bench_listing: %d entries listed, %ld expected\n", count, expected);
        return 3;
    }
    return 0;
}

struct ChildResult {
    double ms = 0;
    double maxRssMb = 0;
    bool ok = false;
};

// Time from spawn to reaped, and the child's own peak resident memory.
ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& dir) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    ChildResult result;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "bench_listing: cannot start %s: %s\n", argv[0], std::strerror(rc));
        return result;
    }
    int status = 0;
    struct rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    auto end = std::chrono::steady_clock::now();
    result.ms = std::chrono::duration<double, std::milli>(end - start).count();
    result.maxRssMb = usage.ru_maxrss / 1024.0;  // kilobytes on Linux
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!result.ok) std::fprintf(stderr, "bench_listing: %s ended with status %d\n", argv[0], status);
    return result;
}

void Sample(const std::string& caseName, const char* subject, const char* metric, double value) {
    std::printf("S\t%s\t%s\t%s\t%.3f\n", caseName.c_str(), subject, metric, value);
    std::fflush(stdout);
}

int Measure(const std::string& dir, int rounds, const std::string& caseName) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    // The same files the listing reads: every regular file, in the order the
    // folder gives them; the page it writes itself is left out.
    std::vector<std::string> cat = {"cat", "--"};
    long entries = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        ++entries;
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != kListingPageName) cat.push_back(name);
    }
    // "." and ".." and the page itself come on top of what the iterator shows.
    bool pageThere = fs::exists(fs::path(dir) / std::string(kListingPageName));
    long expected = entries + 2 + (pageThere ? 0 : 1);
    std::vector<std::string> list = {self, "list", fs::absolute(dir).string(), std::to_string(expected)};

    // Once each unmeasured, so both find the files in the page cache.
    RunChild(cat, dir);
    if (!RunChild(list, dir).ok) return 1;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            bool listing = (turn == 0) == (round % 2 == 0);
            ChildResult r = RunChild(listing ? list : cat, dir);
            if (!r.ok) continue;
            const char* subject = listing ? "poremisu DirectoryLister" : "cat to /dev/null";
            Sample(caseName, subject, "time, ms", r.ms);
            Sample(caseName, subject, "peak memory (maxrss), MB", r.maxRssMb);
        }
    }
    return 0;
}

long OptionValue(int argc, char** argv, const char* name, long fallback) {
    for (int i = 0; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return std::atol(argv[i + 1]);
    }
    return fallback;
}

std::string OptionText(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 0; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "generate") == 0) {
        return Generate(argv[2], OptionValue(argc, argv, "--urls", 9000),
                        OptionValue(argc, argv, "--others", 990), OptionValue(argc, argv, "--big", 10),
                        OptionValue(argc, argv, "--big-mb", 100));
    }
    if (argc >= 3 && std::strcmp(argv[1], "list") == 0) {
        return List(argv[2], argc >= 4 ? std::atol(argv[3]) : -1);
    }
    if (argc >= 3 && std::strcmp(argv[1], "measure") == 0) {
        return Measure(argv[2], static_cast<int>(OptionValue(argc, argv, "--rounds", 5)),
                       OptionText(argc, argv, "--case", "listing"));
    }
    std::fprintf(stderr,
                 "usage: bench_listing generate DIR [--urls N] [--others N] [--big N] [--big-mb N]\n"
                 "       bench_listing list DIR [EXPECTED]\n"
                 "       bench_listing measure DIR [--rounds N] [--case NAME]\n");
    return 2;
}
