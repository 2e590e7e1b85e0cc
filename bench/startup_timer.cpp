// Start-up time to a visible main window: starts a program, waits until a visible top-level window
// with the given caption exists, then ends the program. Alternates between the program and its
// yardstick and prints the median of each and their ratio.
#include <windows.h>

#include <algorithm>
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
    if (argc < 5) {
        std::fprintf(stderr, "usage: startup_timer program caption yardstick caption [starts]\n");
        return 2;
    }
    int starts = argc > 5 ? std::atoi(argv[5]) : 11;
    Target corvane = {argv[1], argv[2], {}};
    Target empty = {argv[3], argv[4], {}};
    // One start of each that is not counted, so that both find the same warm caches.
    TimeOneStart(corvane);
    TimeOneStart(empty);
    corvane.Seconds.clear();
    empty.Seconds.clear();
    for (int i = 0; i < starts; ++i) {
        if (!TimeOneStart(corvane) || !TimeOneStart(empty)) return 1;
    }
    std::printf("startup_program_ms %.1f ms\n", Median(corvane.Seconds) * 1e3);
    std::printf("startup_yardstick_ms %.1f ms\n", Median(empty.Seconds) * 1e3);
    std::printf("startup_ratio %.2f x\n", Median(corvane.Seconds) / Median(empty.Seconds));
    return 0;
}
