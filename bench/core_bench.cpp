// Figures for the core: writing a full list against the bare cost of putting the same bytes safely
// on the disk, and against a plain loop of formatted prints of the same lines; the bind list's
// operations per second. Prints "name value unit" lines.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../model/bind_list.h"
#include "../output/config_writer.h"
#include "../output/target_file.h"
#include "../output/temp_names.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void FillList(BindModel& binds) {
    binds.ClearSlots();
    char caption[BindCaptionSize];
    int32_t slot;
    for (int i = 0; i < MaxBinds; ++i) {
        binds.RecordKey(0x41 + i % 26);
        // Every other bind is a multi-line script, the rest single lines.
        binds.AddBind(4, i % 2, "", caption, &slot);
    }
}

double WriteWithCorvane(const BindModel& binds, const char* path) {
    Clock::time_point start = Clock::now();
    int32_t length;
    if (WriteConfigFile(binds, path, "w", &length) != ConfigWritten) std::perror("write");
    return Seconds(start);
}

double WriteWithPlainLoop(const BindModel& binds, const char* path) {
    Clock::time_point start = Clock::now();
    FILE* file = std::fopen(path, "w");
    std::fprintf(file, "%s\n\n\n", ConfigHeader);
    std::fprintf(file, "%s\n", GeneralSection);
    for (int i = 0; i < binds.BindCount; ++i) std::fprintf(file, "%s\n", binds.Slots[i].Text);
    std::fclose(file);
    return Seconds(start);
}

// The floor of a safe write: the finished bytes, already in memory, handed to a new file beside
// the target in one call, put on the disk and moved over the existing target in one step: with
// ReplaceFileA on Windows, and under Wine, whose ReplaceFileA takes three, with a rename.
double WriteBareSafe(const std::string& bytes, const char* tempPath, const char* path) {
    Clock::time_point start = Clock::now();
    bool ok = true;
#ifdef _WIN32
    HANDLE file = CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD size = static_cast<DWORD>(bytes.size()), written = 0;
    ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), size, &written, nullptr) &&
         written == size;
    ok = ok && FlushFileBuffers(file);
    ok = file != INVALID_HANDLE_VALUE && CloseHandle(file) && ok;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
        ok = ok && MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else {
        ok = ok && ReplaceFileA(path, tempPath, nullptr, 0, nullptr, nullptr);
    }
#else
    int file = open(tempPath, O_WRONLY | O_CREAT | O_EXCL, 0644);
    ok =
        file != -1 && write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ok = ok && fsync(file) == 0;
    ok = file != -1 && close(file) == 0 && ok;
    ok = ok && rename(tempPath, path) == 0;
#endif
    if (!ok) std::perror("bare safe write");
    return Seconds(start);
}

// A real write of the list, step by step, through the writer's own steps in the order it takes
// them for a plain file that exists: the bytes made in memory, the look at the target, the temp
// file beside it (under Wine with the comparison of its security with the target's), the bytes
// handed to it, the commit, and the replace.
enum Step { Format, Inspect, Temp, Hand, Commit, Replace, StepCount };
const char* const StepNames[StepCount] = {
    "format_in_memory", "inspect_target", "temp_file", "hand_over", "commit", "replace",
};

char StepBytes[MaxConfigBytes];

void WriteInSteps(const BindModel& binds, const char* tempPath, const char* path,
                  std::vector<double> (&times)[StepCount]) {
    Clock::time_point start = Clock::now();
    const auto step = [&](Step done) {
        times[done].push_back(Seconds(start));
        start = Clock::now();
    };
    const size_t size = FormatConfig(binds, false, StepBytes);
    step(Format);
    bool ok = InspectTarget(path) == TargetPlainFile;
    step(Inspect);
    std::FILE* file = nullptr;
    ok = ok && CreateTempFile(tempPath, path, TempToReplace, &file, nullptr) == TempMade;
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    step(Temp);
    ok = ok && WriteBytes(file, StepBytes, size, nullptr);
    step(Hand);
    ok = file && CloseFile(file, true, nullptr) && ok;
    step(Commit);
    char asidePath[TempPathSize];
    ok = ok && ReplaceTarget(tempPath, path, true, asidePath, nullptr) == Placed;
    step(Replace);
    if (!ok) std::perror("write in steps");
}

template <typename Operation>
double PerSecond(int count, Operation operation) {
    Clock::time_point start = Clock::now();
    operation();
    return count / Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    std::string path = folder + "/corvane_bench.cfg";
    auto binds = std::make_unique<BindModel>();
    std::memset(static_cast<void*>(binds.get()), 0, sizeof(BindModel));
    binds->FillKeyNames();
    FillList(*binds);

    // The exact bytes Corvane writes, formatted before any clock runs.
    WriteWithCorvane(*binds, path.c_str());
    std::ifstream written(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(written), {}};
    written.close();
    const std::string tempPath = folder + "/corvane_bench.tmp";
    const std::string ownTempPath = folder + "/.corvane-0.tmp";
    const std::string plainPath = folder + "/corvane_plain.cfg";

    const int rounds = 101;
    std::vector<double> corvane, bare, plain, steps[StepCount];
    // The three take turns in an order that moves on every round, so that none always comes after
    // the same one.
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            switch ((round + turn) % 3) {
                case 0:
                    corvane.push_back(WriteWithCorvane(*binds, path.c_str()));
                    break;
                case 1:
                    bare.push_back(WriteBareSafe(bytes, tempPath.c_str(), path.c_str()));
                    break;
                default:
                    WriteInSteps(*binds, ownTempPath.c_str(), path.c_str(), steps);
            }
        }
    }
    // Apart, to a file of its own: the loop leaves its bytes uncommitted, and the next commit
    // would pay for putting them on the disk.
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(WriteWithPlainLoop(*binds, plainPath.c_str()));
    }
    std::remove(path.c_str());
    std::remove(plainPath.c_str());
    std::printf("write_1024_binds_ms %.3f ms\n", Median(corvane) * 1e3);
    std::printf("bare_safe_write_ms %.3f ms\n", Median(bare) * 1e3);
    std::printf("safe_write_ratio %.2f x\n", Median(corvane) / Median(bare));
    for (int step = 0; step < StepCount; ++step) {
        std::printf("step_%s_ms %.3f ms\n", StepNames[step], Median(steps[step]) * 1e3);
    }
    std::printf("written_bytes %zu B\n", bytes.size());
    std::printf("plain_print_loop_ms %.3f ms\n", Median(plain) * 1e3);
    std::printf("write_ratio %.2f x\n", Median(corvane) / Median(plain));

    const int repeats = 200;
    char caption[BindCaptionSize];
    int32_t slot;
    double adds = PerSecond(repeats * MaxBinds, [&] {
        for (int r = 0; r < repeats; ++r) {
            binds->BindCount = 0;
            for (int i = 0; i < MaxBinds; ++i) binds->AddBind(0, i % 10, "", caption, &slot);
        }
    });
    double deletes = PerSecond(repeats * MaxBinds, [&] {
        for (int r = 0; r < repeats; ++r) {
            for (int i = 0; i < MaxBinds; ++i) binds->DeleteSlot(i);
        }
    });
    int32_t newSlotOf[MaxBinds];
    double compactions = PerSecond(repeats, [&] {
        for (int r = 0; r < repeats; ++r) {
            FillList(*binds);
            for (int i = 0; i < MaxBinds; i += 2) binds->DeleteSlot(i);
            binds->MakeRoom(newSlotOf);
        }
    });
    std::printf("add_per_second %.0f ops/s\n", adds);
    std::printf("delete_per_second %.0f ops/s\n", deletes);
    std::printf("fill_delete_half_compact_per_second %.0f ops/s\n", compactions);
    return 0;
}
