// Lines appended to the history page per second through the core, against
// plain C loops that append the same bytes.
//
//   bench_history DIR [--lines N] [--rounds N] [--case NAME]
//
// Each round runs the three writers in a rotating order on a fresh file in
// DIR: History::AppendHistoryLink over the posix services (open, write,
// close per line), fopen/fwrite/fclose per line, and one FILE kept open with
// fflush after each line (each line still reaches the system on its own).

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "app/AppState.h"
#include "app/Text.h"
#include "pages/History.h"
#include "platform/posix/PosixFileSystem.h"

namespace {

using namespace poremisu;

// Addresses and names of a usual length, with nothing an escape would change.
void MakeLine(long i, char* url, std::size_t urlSize, char* name, std::size_t nameSize) {
    std::snprintf(url, urlSize, "https://www.example.com/articles/2024/%07ld/index.htm", i);
    std::snprintf(name, nameSize, "Example article %07ld - a page of the history bench", i);
}

// The bytes the history page holds for one link line.
int FormatLine(char* out, std::size_t size, const char* url, const char* name) {
    return std::snprintf(out, size, "<a href=\"%s\">%s</a><br>\r\n", url, name);
}

long FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

void Sample(const std::string& caseName, const char* subject, const char* metric, double value, int round) {
    std::printf("S\t%s\t%s\t%s\t%.3f\t%d\n", caseName.c_str(), subject, metric, value, round);
    std::fflush(stdout);
}

void WriteThroughHistory(const std::string& path, long lines) {
    AppState state;
    state.historyPath = path;
    Texts texts = Texts::Make([](std::string_view utf8) { return std::string(utf8); });
    PosixFileSystem files;
    History history(state, texts, files);
    char url[128], name[128];
    for (long i = 0; i < lines; ++i) {
        MakeLine(i, url, sizeof url, name, sizeof name);
        history.AppendHistoryLink(url, name);
    }
}

void WriteReopening(const std::string& path, long lines) {
    char url[128], name[128], line[320];
    for (long i = 0; i < lines; ++i) {
        MakeLine(i, url, sizeof url, name, sizeof name);
        int n = FormatLine(line, sizeof line, url, name);
        FILE* f = std::fopen(path.c_str(), "ab");
        if (!f) return;
        std::fwrite(line, 1, static_cast<std::size_t>(n), f);
        std::fclose(f);
    }
}

void WriteKeptOpen(const std::string& path, long lines) {
    char url[128], name[128], line[320];
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;
    for (long i = 0; i < lines; ++i) {
        MakeLine(i, url, sizeof url, name, sizeof name);
        int n = FormatLine(line, sizeof line, url, name);
        std::fwrite(line, 1, static_cast<std::size_t>(n), f);
        std::fflush(f);
    }
    std::fclose(f);
}

bool SameBytes(const std::string& a, const std::string& b) {
    FILE* fa = std::fopen(a.c_str(), "rb");
    FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    static char ba[1 << 16], bb[1 << 16];
    while (same) {
        std::size_t na = std::fread(ba, 1, sizeof ba, fa), nb = std::fread(bb, 1, sizeof bb, fb);
        same = na == nb && std::memcmp(ba, bb, na) == 0;
        if (na == 0) break;
    }
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

long OptionValue(int argc, char** argv, const char* name, long fallback) {
    for (int i = 0; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return std::atol(argv[i + 1]);
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: bench_history DIR [--lines N] [--rounds N] [--case NAME]\n");
        return 2;
    }
    std::string dir = argv[1];
    long lines = OptionValue(argc, argv, "--lines", 1000000);
    int rounds = static_cast<int>(OptionValue(argc, argv, "--rounds", 3));
    std::string caseName = "history";
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--case") == 0) caseName = argv[i + 1];
    }

    struct Writer {
        const char* subject;
        std::function<void(const std::string&, long)> write;
        std::string path;
    };
    Writer writers[] = {
        {"poremisu History::AppendHistoryLink", WriteThroughHistory, dir + "/history-poremisu.htm"},
        {"C fopen/fwrite/fclose per line", WriteReopening, dir + "/history-reopen.htm"},
        {"C file kept open, fflush per line", WriteKeptOpen, dir + "/history-kept.htm"},
    };
    std::string sizeMetric = "file after " + std::to_string(lines) + " lines, bytes";
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            Writer& w = writers[(round + turn) % 3];
            ::unlink(w.path.c_str());
            auto start = std::chrono::steady_clock::now();
            w.write(w.path, lines);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            Sample(caseName, w.subject, "lines per second", seconds > 0 ? lines / seconds : 0, round);
            Sample(caseName, w.subject, sizeMetric.c_str(), static_cast<double>(FileSize(w.path)), round);
        }
    }
    // The comparison holds only when all three wrote the very same bytes.
    bool same = SameBytes(writers[0].path, writers[1].path) && SameBytes(writers[0].path, writers[2].path);
    if (!same) std::fprintf(stderr, "bench_history: the writers' files differ\n");
    for (Writer& w : writers) ::unlink(w.path.c_str());
    return same ? 0 : 1;
}
