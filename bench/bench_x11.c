// Times browsers from the outside, all by one method: a private Xvfb, the
// program started with posix_spawn, and the moment a top-level window's title
// shows a marker of the page. Afterwards the whole process tree is ended by
// its ids.
//
//   bench_x11 page FILE MARKER BYTES
//       writes an HTML page of about BYTES bytes titled "MARKER".
//   bench_x11 start [options] -- PROGRAM ARGS...
//       one cold start: prints the time from exec to the marker and, with
//       --settle-ms, the memory of the process tree that long afterwards.
//   bench_x11 handoff [options] --then MARKER ADDRESS [--then ...] -- PROGRAM ARGS...
//       a cold start, then for each --then a later start of PROGRAM with
//       ADDRESS: the time until the running window shows MARKER and the time
//       until the later process has ended.
//
// Options: --case NAME, --subject NAME (labels of the printed samples),
// --marker TEXT (the first page's), --reject-prefix TEXT (a title that starts
// with it does not count yet: a program that shows its progress there),
// --link-program (the program runs from a hard link in the run's own folder,
// so that files it keeps beside itself start afresh), --timeout-s N,
// --keep (leave the run's folder), --round N (the round the samples belong
// to, so that they pair with the baseline's of the same round), --exact (a
// hand-off's title must end with its marker: a page without a title of its
// own is named by its address, and the status text must be empty).
//
// Samples go to stdout as TAB-separated lines: S, case, subject, metric, value.

#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

// ---------------------------------------------------------------- helpers

static double NowMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static void SleepMs(double ms) {
    if (ms <= 0) return;
    struct timespec ts = {(time_t)(ms / 1000), (long)((ms - (time_t)(ms / 1000) * 1000) * 1e6)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

static void Die(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("bench_x11: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    exit(2);
}

static char* Join(const char* a, const char* b) {
    size_t n = strlen(a) + strlen(b) + 1;
    char* s = malloc(n);
    snprintf(s, n, "%s%s", a, b);
    return s;
}

static void RemoveTree(const char* path) {
    // Whatever the programs left: a child rm keeps this file short.
    pid_t pid;
    char* argv[] = {"rm", "-rf", "--", (char*)path, NULL};
    if (posix_spawnp(&pid, "rm", NULL, NULL, argv, environ) == 0) waitpid(pid, NULL, 0);
}

// ---------------------------------------------------------------- the page

// About `bytes` of ordinary markup: headings, paragraphs, a list and a table,
// no scripts and nothing fetched, so that only the engine's own work is timed.
static int WritePage(const char* path, const char* marker, long bytes) {
    FILE* f = fopen(path, "w");
    if (!f) return -1;
    long written = fprintf(f,
                           "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                           "<title>%s</title>\n<style>body{font-family:sans-serif;margin:1em}"
                           "td{border:1px solid #ccc;padding:2px}</style></head><body>\n<h1>%s</h1>\n",
                           marker, marker);
    static const char* words[] = {"lorem",       "ipsum",      "dolor",      "sit",   "amet",
                                  "consectetur", "adipiscing", "elit",       "sed",   "do",
                                  "eiusmod",     "tempor",     "incididunt", "ut",    "labore",
                                  "et",          "dolore",     "magna",      "aliqua"};
    unsigned n = 0;
    for (int section = 1; written < bytes - 64; ++section) {
        written += fprintf(f, "<h2>Section %d</h2>\n<p>", section);
        for (int w = 0; w < 120; ++w) written += fprintf(f, "%s ", words[(n++ * 7u) % 19u]);
        written += fprintf(f, "</p>\n<ul>");
        for (int i = 0; i < 5; ++i)
            written += fprintf(f, "<li><a href=\"#s%d\">item %d.%d</a></li>", i, section, i);
        written += fprintf(f, "</ul>\n<table>");
        for (int r = 0; r < 4; ++r) {
            written += fprintf(f, "<tr>");
            for (int c = 0; c < 6; ++c) written += fprintf(f, "<td>%d</td>", section * 100 + r * 10 + c);
            written += fprintf(f, "</tr>");
        }
        written += fprintf(f, "</table>\n");
    }
    fprintf(f, "</body></html>\n");
    return fclose(f);
}

// ---------------------------------------------------------------- processes

typedef struct {
    pid_t pid;
    int ppid;
} ProcEntry;

// Every process of the system with its parent.
static int ListProcesses(ProcEntry** out) {
    DIR* dir = opendir("/proc");
    if (!dir) return 0;
    int count = 0, capacity = 256;
    ProcEntry* list = malloc(sizeof *list * capacity);
    struct dirent* entry;
    while ((entry = readdir(dir))) {
        char* end;
        long pid = strtol(entry->d_name, &end, 10);
        if (*end || pid <= 0) continue;
        char path[64], buffer[512];
        snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ssize_t got = read(fd, buffer, sizeof buffer - 1);
        close(fd);
        if (got <= 0) continue;
        buffer[got] = 0;
        // The name is in parentheses and may hold anything: parse after the last ')'.
        char* close = strrchr(buffer, ')');
        if (!close) continue;
        char state;
        int ppid;
        if (sscanf(close + 1, " %c %d", &state, &ppid) != 2) continue;
        if (count == capacity) list = realloc(list, sizeof *list * (capacity *= 2));
        list[count++] = (ProcEntry){(pid_t)pid, ppid};
    }
    closedir(dir);
    *out = list;
    return count;
}

// The process and all its descendants; `roots` are the processes to start from.
static int ProcessTree(const pid_t* roots, int rootCount, pid_t* out, int max) {
    ProcEntry* all = NULL;
    int total = ListProcesses(&all);
    int count = 0;
    for (int i = 0; i < rootCount && count < max; ++i) out[count++] = roots[i];
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < total && count < max; ++j) {
            if (all[j].ppid != out[i]) continue;
            bool seen = false;
            for (int k = 0; k < count; ++k) seen |= out[k] == all[j].pid;
            if (!seen) out[count++] = all[j].pid;
        }
    }
    free(all);
    return count;
}

// The children of this process (adopted orphans included, as the subreaper)
// other than the ones named.
static int OwnChildren(pid_t except, pid_t* out, int max) {
    ProcEntry* all = NULL;
    int total = ListProcesses(&all);
    int count = 0;
    for (int j = 0; j < total && count < max; ++j) {
        if (all[j].ppid == getpid() && all[j].pid != except) out[count++] = all[j].pid;
    }
    free(all);
    return count;
}

static long SmapsField(pid_t pid, const char* field) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/smaps_rollup", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    long value = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, field, n) == 0 && line[n] == ':') {
            value = strtol(line + n + 1, NULL, 10);
            break;
        }
    }
    fclose(f);
    return value;
}

typedef struct {
    long pssKb, rssKb;
    int processes;
} TreeMemory;

static TreeMemory MeasureTree(pid_t root) {
    pid_t tree[256];
    int count = ProcessTree(&root, 1, tree, 256);
    TreeMemory memory = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        long pss = SmapsField(tree[i], "Pss"), rss = SmapsField(tree[i], "Rss");
        if (pss < 0) continue;
        memory.pssKb += pss;
        memory.rssKb += rss > 0 ? rss : 0;
        memory.processes++;
    }
    return memory;
}

// CPU time of every live thread of the tree, from the scheduler's own
// nanosecond account; a figure that the machine's other load disturbs less
// than the wall clock.
static double TreeCpuMs(pid_t root) {
    pid_t tree[256];
    int count = ProcessTree(&root, 1, tree, 256);
    double ns = 0;
    for (int i = 0; i < count; ++i) {
        char path[96];
        snprintf(path, sizeof path, "/proc/%d/task", (int)tree[i]);
        DIR* dir = opendir(path);
        if (!dir) continue;
        struct dirent* entry;
        while ((entry = readdir(dir))) {
            if (entry->d_name[0] == '.') continue;
            char stat[320];
            snprintf(stat, sizeof stat, "/proc/%d/task/%s/schedstat", (int)tree[i], entry->d_name);
            FILE* f = fopen(stat, "r");
            if (!f) continue;
            unsigned long long onCpu = 0;
            if (fscanf(f, "%llu", &onCpu) == 1) ns += (double)onCpu;
            fclose(f);
        }
        closedir(dir);
    }
    return ns / 1e6;
}

// The highest peak resident size (VmHWM) among the tree's page processes.
static double PageProcessPeakMb(pid_t root) {
    pid_t tree[256];
    int count = ProcessTree(&root, 1, tree, 256);
    long best = -1;
    for (int i = 0; i < count; ++i) {
        char path[64], line[256];
        snprintf(path, sizeof path, "/proc/%d/comm", (int)tree[i]);
        FILE* f = fopen(path, "r");
        if (!f) continue;
        bool page = fgets(line, sizeof line, f) && strncmp(line, "WebKitWebProces", 15) == 0;
        fclose(f);
        if (!page) continue;
        snprintf(path, sizeof path, "/proc/%d/status", (int)tree[i]);
        if (!(f = fopen(path, "r"))) continue;
        while (fgets(line, sizeof line, f)) {
            if (strncmp(line, "VmHWM:", 6) == 0) {
                long kb = strtol(line + 6, NULL, 10);
                if (kb > best) best = kb;
            }
        }
        fclose(f);
    }
    return best < 0 ? -1 : best / 1024.0;
}

static bool Reaped(pid_t pid) {
    int status;
    pid_t got = waitpid(pid, &status, WNOHANG);
    return got == pid || (got < 0 && errno == ECHILD);
}

// Ends the processes by id with SIGKILL and reaps whichever are ours.
static void KillAndReap(const pid_t* pids, int count) {
    for (int i = 0; i < count; ++i) kill(pids[i], SIGKILL);
    double deadline = NowMs() + 5000;
    for (;;) {
        bool all = true;
        for (int i = 0; i < count; ++i) {
            if (kill(pids[i], 0) == 0 || errno != ESRCH) {
                // A zombie still answers kill(0): reap it when it is ours.
                if (!Reaped(pids[i])) all = false;
            }
        }
        if (all || NowMs() > deadline) break;
        SleepMs(2);
    }
}

// The program and everything it started, then any orphan this process
// adopted meanwhile (the server excepted).
static void EndTree(pid_t root, pid_t server) {
    pid_t tree[256];
    int count = ProcessTree(&root, 1, tree, 256);
    KillAndReap(tree, count);
    pid_t orphans[256];
    int orphanCount = OwnChildren(server, orphans, 256);
    if (orphanCount > 0) {
        count = ProcessTree(orphans, orphanCount, tree, 256);
        KillAndReap(tree, count);
    }
}

// ---------------------------------------------------------------- the X server

typedef struct {
    pid_t pid;
    char name[32];
    Display* display;
    Atom netWmName, utf8String;
} Server;

static bool StartServer(Server* server, const char* logPath) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Xvfb writes its display number to descriptor 3.
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, logPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", NULL};
    int rc = posix_spawnp(&server->pid, "Xvfb", &actions, NULL, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    char number[16] = {0};
    size_t got = 0;
    struct pollfd pfd = {fds[0], POLLIN, 0};
    double deadline = NowMs() + 10000;
    while (got < sizeof number - 1 && !strchr(number, '\n')) {
        int wait = (int)(deadline - NowMs());
        if (wait <= 0 || poll(&pfd, 1, wait) <= 0) break;
        ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
        if (n <= 0) break;
        got += (size_t)n;
    }
    close(fds[0]);
    if (!strchr(number, '\n')) return false;
    snprintf(server->name, sizeof server->name, ":%d", atoi(number));
    server->display = XOpenDisplay(server->name);
    if (!server->display) return false;
    server->netWmName = XInternAtom(server->display, "_NET_WM_NAME", False);
    server->utf8String = XInternAtom(server->display, "UTF8_STRING", False);
    return true;
}

static void StopServer(Server* server) {
    if (server->display) XCloseDisplay(server->display);
    server->display = NULL;
    if (server->pid > 0) {
        kill(server->pid, SIGTERM);
        double deadline = NowMs() + 3000;
        while (!Reaped(server->pid)) {
            if (NowMs() > deadline) {
                kill(server->pid, SIGKILL);
                waitpid(server->pid, NULL, 0);
                break;
            }
            SleepMs(2);
        }
    }
    server->pid = 0;
}

static int IgnoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

// The window's title: _NET_WM_NAME, else WM_NAME. Caller frees.
static char* WindowTitle(Server* server, Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(server->display, window, server->netWmName, 0, 4096, False, server->utf8String,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 8) {
        char* title = strndup((char*)data, count);
        XFree(data);
        return title;
    }
    if (data) XFree(data);
    data = NULL;
    if (XGetWindowProperty(server->display, window, XA_WM_NAME, 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 8) {
        char* title = strndup((char*)data, count);
        XFree(data);
        return title;
    }
    if (data) XFree(data);
    return NULL;
}

typedef struct {
    const char* marker;
    const char* rejectPrefix;
    bool exact;
} TitleWanted;

static bool TitleMatches(const char* title, const TitleWanted* wanted) {
    if (!title || !strstr(title, wanted->marker)) return false;
    if (wanted->exact) {
        size_t length = strlen(title), markerLength = strlen(wanted->marker);
        if (length < markerLength || strcmp(title + length - markerLength, wanted->marker) != 0) return false;
    }
    if (wanted->rejectPrefix && *wanted->rejectPrefix &&
        strncmp(title, wanted->rejectPrefix, strlen(wanted->rejectPrefix)) == 0) {
        return false;
    }
    return true;
}

static bool WindowMatches(Server* server, Window window, const TitleWanted* wanted) {
    char* title = WindowTitle(server, window);
    bool match = TitleMatches(title, wanted);
    free(title);
    return match;
}

// Watches every top-level window, those there now and those created later.
static void WatchTopLevels(Server* server) {
    Window root = DefaultRootWindow(server->display), parent, *children = NULL;
    unsigned int count = 0;
    XSelectInput(server->display, root, SubstructureNotifyMask);
    if (XQueryTree(server->display, root, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i)
            XSelectInput(server->display, children[i], PropertyChangeMask);
        if (children) XFree(children);
    }
    XSync(server->display, False);
}

static bool AnyTopLevelMatches(Server* server, const TitleWanted* wanted) {
    Window root = DefaultRootWindow(server->display), parent, *children = NULL;
    unsigned int count = 0;
    bool match = false;
    if (XQueryTree(server->display, root, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !match; ++i) match = WindowMatches(server, children[i], wanted);
        if (children) XFree(children);
    }
    return match;
}

static int PidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return (int)syscall(SYS_pidfd_open, pid, 0);
#else
    (void)pid;
    return -1;
#endif
}

typedef struct {
    double titleAt;  // 0 until the title was seen
    double exitAt;   // 0 until the watched process ended
} Seen;

// Waits for a top-level title that matches and, when `exitOf` is given, for
// that process to end; until both are seen or the deadline passes.
static Seen WaitFor(Server* server, const TitleWanted* wanted, pid_t exitOf, double deadline) {
    Seen seen = {0, 0};
    Display* display = server->display;
    int pidfd = exitOf > 0 ? PidFd(exitOf) : -1;
    if (AnyTopLevelMatches(server, wanted)) seen.titleAt = NowMs();
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(display)) {
                // Selected before its title is read, so no change slips between.
                XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
                if (!seen.titleAt && WindowMatches(server, event.xcreatewindow.window, wanted))
                    seen.titleAt = NowMs();
            } else if (event.type == PropertyNotify && event.xproperty.state == PropertyNewValue &&
                       (event.xproperty.atom == server->netWmName || event.xproperty.atom == XA_WM_NAME)) {
                if (!seen.titleAt && WindowMatches(server, event.xproperty.window, wanted))
                    seen.titleAt = NowMs();
            }
        }
        if (exitOf > 0 && !seen.exitAt && Reaped(exitOf)) seen.exitAt = NowMs();
        bool done = seen.titleAt && (exitOf <= 0 || seen.exitAt);
        double left = deadline - NowMs();
        if (done || left <= 0) break;
        struct pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {pidfd, POLLIN, 0}};
        int nfds = pidfd >= 0 && !seen.exitAt ? 2 : 1;
        // Without a pidfd the exit is looked for every millisecond.
        int wait = exitOf > 0 && pidfd < 0 && !seen.exitAt ? 1 : (int)(left < 1000 ? left + 1 : 1000);
        poll(fds, (nfds_t)nfds, wait);
    }
    if (pidfd >= 0) close(pidfd);
    return seen;
}

// ---------------------------------------------------------------- a run

typedef struct {
    const char* caseName;
    const char* subject;
    const char* marker;
    const char* rejectPrefix;
    bool linkProgram;
    bool keep;
    bool exact;
    int round;
    double timeoutMs;
    double settleMs;
    double pauseMs;
    int thenCount;
    const char* thenMarker[64];
    const char* thenAddress[64];
    char** program;  // argv of the program
} Options;

typedef struct {
    char* folder;
    char** env;
    char* programPath;
    char* log;
    char* workDir;
} Run;

static bool DropFromEnvironment(const char* entry) {
    static const char* dropped[] = {
        "DISPLAY=", "WAYLAND_DISPLAY=", "XAUTHORITY=", "HOME=", "XDG_", "DBUS_SESSION_BUS_ADDRESS=", NULL};
    for (int i = 0; dropped[i]; ++i) {
        if (strncmp(entry, dropped[i], strlen(dropped[i])) == 0) return true;
    }
    return false;
}

// A fresh folder per run: home, caches, runtime folder and, when asked, the
// program itself, so that no run finds what another left.
static void PrepareRun(Run* run, const Options* options, const Server* server) {
    const char* base = getenv("TMPDIR");
    char* pattern = Join(base && *base ? base : "/tmp", "/poremisu-bench-run-XXXXXX");
    if (!mkdtemp(pattern)) Die("mkdtemp: %s", strerror(errno));
    run->folder = pattern;
    const char* subs[] = {"/home",
                          "/home/.config",
                          "/home/.cache",
                          "/home/.local",
                          "/home/.local/share",
                          "/home/.local/state",
                          "/runtime",
                          "/work",
                          "/program"};
    for (size_t i = 0; i < sizeof subs / sizeof *subs; ++i) {
        char* path = Join(run->folder, subs[i]);
        mkdir(path, 0700);
        free(path);
    }
    run->workDir = Join(run->folder, "/work");
    run->log = Join(run->folder, "/program.log");

    run->programPath = strdup(options->program[0]);
    if (options->linkProgram) {
        const char* name = strrchr(options->program[0], '/');
        char* linked = Join(run->folder, "/program/");
        char* target = Join(linked, name ? name + 1 : options->program[0]);
        free(linked);
        if (link(options->program[0], target) != 0) {
            // Another file system: a copy does as well.
            pid_t pid;
            char* argv[] = {"cp", "--", options->program[0], target, NULL};
            if (posix_spawnp(&pid, "cp", NULL, NULL, argv, environ) == 0) waitpid(pid, NULL, 0);
        }
        free(run->programPath);
        run->programPath = target;
    }

    int count = 0;
    while (environ[count]) ++count;
    run->env = calloc((size_t)count + 16, sizeof *run->env);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (!DropFromEnvironment(environ[i])) run->env[n++] = environ[i];
    }
    char* home = Join(run->folder, "/home");
    run->env[n++] = Join("HOME=", home);
    char* value;
    value = Join(home, "/.config"), run->env[n++] = Join("XDG_CONFIG_HOME=", value), free(value);
    value = Join(home, "/.cache"), run->env[n++] = Join("XDG_CACHE_HOME=", value), free(value);
    value = Join(home, "/.local/share"), run->env[n++] = Join("XDG_DATA_HOME=", value), free(value);
    value = Join(home, "/.local/state"), run->env[n++] = Join("XDG_STATE_HOME=", value), free(value);
    value = Join(run->folder, "/runtime"), run->env[n++] = Join("XDG_RUNTIME_DIR=", value), free(value);
    run->env[n++] = Join("DISPLAY=", server->name);
    run->env[n] = NULL;
    free(home);
}

static void FinishRun(Run* run, const Options* options) {
    if (!options->keep)
        RemoveTree(run->folder);
    else
        fprintf(stderr, "bench_x11: run kept in %s\n", run->folder);
}

static pid_t Spawn(const Run* run, char** argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, run->log, O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, run->workDir);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, run->programPath, &actions, NULL, argv, run->env);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        fprintf(stderr, "bench_x11: cannot start %s: %s\n", run->programPath, strerror(rc));
        return -1;
    }
    return pid;
}

static void Sample(const Options* options, const char* caseName, const char* metric, double value) {
    printf("S\t%s\t%s\t%s\t%.3f\t%d\n", caseName, options->subject, metric, value, options->round);
    fflush(stdout);
}

static void ShowLogTail(const Run* run) {
    FILE* f = fopen(run->log, "r");
    if (!f) return;
    char line[512];
    int shown = 0;
    while (fgets(line, sizeof line, f) && shown < 20) {
        fprintf(stderr, "  | %s", line);
        ++shown;
    }
    fclose(f);
}

static int RunStart(const Options* options, bool handoff) {
    Server server = {0};
    char serverLog[] = "/tmp/poremisu-bench-xvfb-XXXXXX";
    int logFd = mkstemp(serverLog);
    if (logFd >= 0) close(logFd);
    if (!StartServer(&server, serverLog)) {
        fprintf(stderr, "bench_x11: Xvfb did not start (log %s)\n", serverLog);
        StopServer(&server);
        return 1;
    }
    unlink(serverLog);
    XSetErrorHandler(IgnoreErrors);
    WatchTopLevels(&server);

    Run run = {0};
    PrepareRun(&run, options, &server);
    int result = 0;

    char** argv = options->program;
    char* first = argv[0];
    argv[0] = run.programPath;
    TitleWanted wanted = {options->marker, options->rejectPrefix, false};
    double start = NowMs();
    pid_t pid = Spawn(&run, argv);
    argv[0] = first;
    if (pid < 0) {
        result = 1;
    } else {
        Seen seen = WaitFor(&server, &wanted, 0, start + options->timeoutMs);
        if (!seen.titleAt) {
            fprintf(stderr, "bench_x11: %s: no window titled \"%s\" within %.0f s\n", options->subject,
                    options->marker, options->timeoutMs / 1000);
            ShowLogTail(&run);
            result = 1;
        } else {
            double cpuMs = TreeCpuMs(pid);
            Sample(options, options->caseName, handoff ? "cold start, ms" : "exec to page, ms",
                   seen.titleAt - start);
            if (!handoff) Sample(options, options->caseName, "CPU time of the tree to page, ms", cpuMs);
            if (!handoff && options->settleMs > 0) {
                SleepMs(seen.titleAt + options->settleMs - NowMs());
                TreeMemory memory = MeasureTree(pid);
                Sample(options, "memory", "PSS of the process tree, MB", memory.pssKb / 1024.0);
                Sample(options, "memory", "RSS of the process tree, MB", memory.rssKb / 1024.0);
                Sample(options, "memory", "processes", memory.processes);
            }
        }
        for (int i = 0; handoff && result == 0 && i < options->thenCount; ++i) {
            // Let the running window settle, as a user's next start would find it.
            SleepMs(options->pauseMs);
            char* later[] = {run.programPath, (char*)options->thenAddress[i], NULL};
            TitleWanted next = {options->thenMarker[i], options->rejectPrefix, options->exact};
            double cpuBefore = TreeCpuMs(pid);
            double begin = NowMs();
            pid_t laterPid = Spawn(&run, later);
            if (laterPid < 0) {
                result = 1;
                break;
            }
            Seen seen = WaitFor(&server, &next, laterPid, begin + options->timeoutMs);
            if (seen.titleAt) {
                Sample(options, options->caseName, "hand-off to page shown, ms", seen.titleAt - begin);
                // The window's processes only: the later start's own exec is
                // the same small cost in every case.
                Sample(options, options->caseName, "CPU time of the hand-off, ms", TreeCpuMs(pid) - cpuBefore);
                double peak = PageProcessPeakMb(pid);
                if (peak >= 0) Sample(options, options->caseName, "page process peak (VmHWM), MB", peak);
            }
            if (!seen.titleAt) {
                // The round counts, as one that gave no figure in time.
                printf("S\t%s\t%s\t%s\tnone\t%d\n", options->caseName, options->subject,
                       "hand-off to page shown, ms", options->round);
                fflush(stdout);
            }
            if (seen.exitAt)
                Sample(options, options->caseName, "later process exec to exit, ms", seen.exitAt - begin);
            if (!seen.titleAt || !seen.exitAt) {
                fprintf(stderr, "bench_x11: %s: hand-off %d: %s\n", options->subject, i + 1,
                        !seen.titleAt ? "the running window never showed the page"
                                      : "the later process did not end");
                ShowLogTail(&run);
                EndTree(laterPid, server.pid);
                result = 1;
            }
        }
        EndTree(pid, server.pid);
    }
    StopServer(&server);
    FinishRun(&run, options);
    return result;
}

static void Usage(void) {
    fputs(
        "usage: bench_x11 page FILE MARKER BYTES\n"
        "       bench_x11 start|handoff [--case C] [--subject S] --marker M [--reject-prefix P]\n"
        "                 [--settle-ms N] [--pause-ms N] [--link-program] [--timeout-s N] [--keep]\n"
        "                 [--round N] [--exact]\n"
        "                 [--then MARKER ADDRESS]... -- PROGRAM ARGS...\n",
        stderr);
    exit(2);
}

int main(int argc, char** argv) {
    if (argc < 2) Usage();
    if (strcmp(argv[1], "page") == 0) {
        if (argc != 5) Usage();
        if (WritePage(argv[2], argv[3], atol(argv[4])) != 0) Die("cannot write %s", argv[2]);
        return 0;
    }
    bool handoff = strcmp(argv[1], "handoff") == 0;
    if (!handoff && strcmp(argv[1], "start") != 0) Usage();

    Options options = {.caseName = "start-up", .subject = "program", .timeoutMs = 60000, .pauseMs = 500};
    int i = 2;
    for (; i < argc; ++i) {
        const char* a = argv[i];
        bool more = i + 1 < argc;
        if (strcmp(a, "--") == 0) {
            ++i;
            break;
        } else if (strcmp(a, "--case") == 0 && more) {
            options.caseName = argv[++i];
        } else if (strcmp(a, "--subject") == 0 && more) {
            options.subject = argv[++i];
        } else if (strcmp(a, "--marker") == 0 && more) {
            options.marker = argv[++i];
        } else if (strcmp(a, "--reject-prefix") == 0 && more) {
            options.rejectPrefix = argv[++i];
        } else if (strcmp(a, "--settle-ms") == 0 && more) {
            options.settleMs = atof(argv[++i]);
        } else if (strcmp(a, "--pause-ms") == 0 && more) {
            options.pauseMs = atof(argv[++i]);
        } else if (strcmp(a, "--timeout-s") == 0 && more) {
            options.timeoutMs = atof(argv[++i]) * 1000;
        } else if (strcmp(a, "--link-program") == 0) {
            options.linkProgram = true;
        } else if (strcmp(a, "--keep") == 0) {
            options.keep = true;
        } else if (strcmp(a, "--exact") == 0) {
            options.exact = true;
        } else if (strcmp(a, "--round") == 0 && more) {
            options.round = atoi(argv[++i]);
        } else if (strcmp(a, "--then") == 0 && i + 2 < argc && options.thenCount < 64) {
            options.thenMarker[options.thenCount] = argv[++i];
            options.thenAddress[options.thenCount++] = argv[++i];
        } else {
            Usage();
        }
    }
    if (i >= argc || !options.marker) Usage();
    options.program = argv + i;

    // The engine's processes outlive a killed parent for a moment; as their
    // reaper this process can end them by id and collect them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    signal(SIGPIPE, SIG_IGN);
    return RunStart(&options, handoff);
}
