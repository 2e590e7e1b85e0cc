// Start-up time to a visible main window: starts a program, waits until a visible top-level window
// with the given caption exists, then ends the program. Takes turns between the program and its
// yardsticks, so that all meet the same machine, and prints the median of each and the program's
// ratio to each yardstick.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Target {
    const char* Path;
    const char* Caption;
    std::vector<double> Seconds;
};

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool TimeOneStart(Target& target) {
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", target.Path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = Now();
    if (!CreateProcessA(target.Path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start %s\n", target.Path);
        return false;
    }
    HWND window = nullptr;
    while (Now() - start < 30) {
        window = FindWindowA(nullptr, target.Caption);
        if (window && IsWindowVisible(window)) break;
        Sleep(0);
    }
    double elapsed = Now() - start;
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!window) return false;
    target.Seconds.push_back(elapsed);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc % 2 != 0) {
        std::fprintf(stderr,
                     "usage: startup_timer starts program caption yardstick caption "
                     "[yardstick caption ...]\n");
        return 2;
    }
    const int starts = std::atoi(argv[1]);
    std::vector<Target> targets;
    for (int i = 2; i + 1 < argc; i += 2) targets.push_back({argv[i], argv[i + 1], {}});
    // One start of each that is not counted, so that all find the same warm caches.
    for (Target& target : targets) {
        TimeOneStart(target);
        target.Seconds.clear();
    }
    for (int i = 0; i < starts; ++i) {
        for (Target& target : targets) {
            if (!TimeOneStart(target)) return 1;
        }
    }
    const double program = Median(targets[0].Seconds);
    std::printf("startup_program_ms %.1f ms\n", program * 1e3);
    for (size_t i = 1; i < targets.size(); ++i) {
        const double yardstick = Median(targets[i].Seconds);
        std::printf("startup_yardstick_%zu_ms %.1f ms\n", i, yardstick * 1e3);
        std::printf("startup_ratio_%zu %.2f x\n", i, program / yardstick);
    }
    return 0;
}
