// The listing page of a large folder against reading every byte of it.
//
//   bench_listing generate DIR [--urls N] [--others N] [--big N] [--big-mb N]
//                          [--folders N --pages N --notes N] [--big-names A,B]
//       fills DIR with N shortcut files, N other entries (sub-folders, pages,
//       text files; or as many of each as given) and N binary files of real
//       pseudo-random bytes (named "Archive NN.bin", or by the extensions
//       given, in turn).
//   bench_listing list DIR [EXPECTED]
//       writes DIR's listing page with the core's DirectoryLister over the
//       posix services; exit status 3 when the count is not EXPECTED.
//   bench_listing measure DIR [--rounds N] [--case NAME]
//       times "list" and `cat` of the same files to /dev/null, each as a child
//       process, in turns; samples (time and peak memory) go to stdout.
//   bench_listing floor DIR --case NAME --round N
//       times `cat` of the folder's regular files once (the floor of a round
//       of another measurement).
// Peak memory is the child's own VmHWM, read as it exits: the resident peak
// that wait4 reports also counts the parent's size, which the child carries
// over from before its exec.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
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

struct Mix {
    long urls = 9000, others = 990, big = 10, bigMb = 100;
    long folders = -1, pages = -1, notes = -1;  // -1: split from `others`
    std::vector<std::string> bigNames;          // extensions of the binaries, in turn
};

int Generate(const fs::path& dir, const Mix& mix) {
    long urls = mix.urls, others = mix.others, big = mix.big, bigMb = mix.bigMb;
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
    // The others: a tenth sub-folders, the rest pages and notes in turn;
    // or as many of each as asked.
    long folders = others / 10;
    bool counted = mix.folders >= 0 && mix.pages >= 0 && mix.notes >= 0;
    if (counted) {
        folders = mix.folders;
        others = mix.folders + mix.pages + mix.notes;
    }
    for (long i = 0; i < others; ++i) {
        if (i < folders) {
            std::snprintf(name, sizeof name, "Folder %04ld", i);
            fs::create_directory(dir / name);
            continue;
        }
        bool page = counted ? i < folders + mix.pages : i % 2 == 0;
        std::snprintf(name, sizeof name, page ? "Page %04ld.htm" : "Note %04ld.txt", i);
        std::string text = page ? "<html><head><title>Page " + std::to_string(i) +
                                      "</title></head><body><p>A saved page.</p></body></html>\r\n"
                                : "A note that is no shortcut.\r\n" + std::string(400, 'x') + "\r\n";
        if (!WriteFile(dir / name, text)) return 1;
    }
    std::vector<std::uint64_t> block(1 << 17);  // 1 MB
    Random random{0x5EED};
    for (long i = 0; i < big; ++i) {
        std::string ext = mix.bigNames.empty() ? "bin" : mix.bigNames[i % mix.bigNames.size()];
        std::snprintf(name, sizeof name, "Archive %02ld.%s", i, ext.c_str());
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
    double cpuMs = 0;  // user and system time of the child
    double maxRssMb = 0;
    bool ok = false;
};

// Time from start to reaped, and the child's own peak resident memory: it
// runs traced, so that it stops as it exits, its memory still there to read.
ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& dir) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ChildResult result;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int out = ::open("/dev/null", O_WRONLY);
        if (out < 0 || ::dup2(out, 1) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    long peakKb = -1;
    struct rusage usage {};
    for (;;) {
        if (::wait4(pid, &status, 0, &usage) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!WIFSTOPPED(status)) continue;
        int signal = WSTOPSIG(status);
        if (signal == SIGTRAP && (status >> 16) == PTRACE_EVENT_EXIT) {
            std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
            char line[256];
            while (f && std::fgets(line, sizeof line, f)) {
                if (std::strncmp(line, "VmHWM:", 6) == 0) peakKb = std::atol(line + 6);
            }
            if (f) std::fclose(f);
            signal = 0;
        } else if (signal == SIGTRAP) {
            // The stop after exec: from here on, stop once more at the exit.
            ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL);
            signal = 0;
        }
        ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
    }
    auto end = std::chrono::steady_clock::now();
    result.ms = std::chrono::duration<double, std::milli>(end - start).count();
    result.maxRssMb = peakKb / 1024.0;
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    result.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && peakKb >= 0;
    if (!result.ok) std::fprintf(stderr, "bench_listing: %s ended with status %d\n", argv[0], status);
    return result;
}

void Sample(const std::string& caseName, const char* subject, const char* metric, double value, int round) {
    std::printf("S\t%s\t%s\t%s\t%.3f\t%d\n", caseName.c_str(), subject, metric, value, round);
    std::fflush(stdout);
}

// `cat` of every regular file of the folder, in the order the folder gives
// them; the listing page is left out. `entries` counts what the folder holds.
std::vector<std::string> CatCommand(const std::string& dir, long& entries) {
    std::vector<std::string> cat = {"cat", "--"};
    entries = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        ++entries;
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != kListingPageName) cat.push_back(name);
    }
    return cat;
}

int Floor(const std::string& dir, const std::string& caseName, int round) {
    long entries = 0;
    std::vector<std::string> cat = CatCommand(dir, entries);
    // More names than one command line holds go to one cat after another;
    // their times add up. Bench's 10,000-entry folders take one.
    constexpr std::size_t kNamesPerCat = 10000;
    ChildResult r;
    for (std::size_t at = 2; at < cat.size(); at += kNamesPerCat) {
        std::vector<std::string> batch(cat.begin(), cat.begin() + 2);
        batch.insert(batch.end(), cat.begin() + at, cat.begin() + std::min(cat.size(), at + kNamesPerCat));
        ChildResult part = RunChild(batch, dir);
        if (!part.ok) return 1;
        r.ms += part.ms;
        r.cpuMs += part.cpuMs;
    }
    Sample(caseName, "cat of the regular files", "hand-off to page shown, ms", r.ms, round);
    Sample(caseName, "cat of the regular files", "CPU time of the hand-off, ms", r.cpuMs, round);
    return 0;
}

int Measure(const std::string& dir, int rounds, const std::string& caseName) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    // The same files the listing reads.
    long entries = 0;
    std::vector<std::string> cat = CatCommand(dir, entries);
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
            Sample(caseName, subject, "time, ms", r.ms, round);
            Sample(caseName, subject, "CPU time, ms", r.cpuMs, round);
            Sample(caseName, subject, "peak memory (VmHWM), MB", r.maxRssMb, round);
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
        Mix mix;
        mix.urls = OptionValue(argc, argv, "--urls", mix.urls);
        mix.others = OptionValue(argc, argv, "--others", mix.others);
        mix.big = OptionValue(argc, argv, "--big", mix.big);
        mix.bigMb = OptionValue(argc, argv, "--big-mb", mix.bigMb);
        mix.folders = OptionValue(argc, argv, "--folders", -1);
        mix.pages = OptionValue(argc, argv, "--pages", -1);
        mix.notes = OptionValue(argc, argv, "--notes", -1);
        std::string names = OptionText(argc, argv, "--big-names", "");
        for (std::size_t at = 0; at < names.size();) {
            std::size_t comma = std::min(names.find(',', at), names.size());
            mix.bigNames.push_back(names.substr(at, comma - at));
            at = comma + 1;
        }
        return Generate(argv[2], mix);
    }
    if (argc >= 3 && std::strcmp(argv[1], "floor") == 0) {
        return Floor(argv[2], OptionText(argc, argv, "--case", "listing"),
                     static_cast<int>(OptionValue(argc, argv, "--round", 0)));
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
