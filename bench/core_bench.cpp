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
// the target in one call, put on the disk and moved over the existing target in one step. With a
// smaller piece, the same in write calls of that size, as the writer's own buffer hands them over.
double WriteBareSafe(const std::string& bytes, const char* tempPath, const char* path,
                     size_t piece) {
    Clock::time_point start = Clock::now();
    bool ok = true;
#ifdef _WIN32
    HANDLE file = CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    for (size_t at = 0; file != INVALID_HANDLE_VALUE && ok && at < bytes.size(); at += piece) {
        DWORD size = static_cast<DWORD>(std::min(piece, bytes.size() - at)), written = 0;
        ok = WriteFile(file, bytes.data() + at, size, &written, nullptr) && written == size;
    }
    ok = file != INVALID_HANDLE_VALUE && ok && FlushFileBuffers(file);
    ok = file != INVALID_HANDLE_VALUE && CloseHandle(file) && ok;
    ok = ok && ReplaceFileA(path, tempPath, nullptr, 0, nullptr, nullptr);
#else
    int file = open(tempPath, O_WRONLY | O_CREAT | O_EXCL, 0644);
    for (size_t at = 0; file != -1 && ok && at < bytes.size(); at += piece) {
        size_t size = std::min(piece, bytes.size() - at);
        ok = write(file, bytes.data() + at, size) == static_cast<ssize_t>(size);
    }
    ok = file != -1 && ok && fsync(file) == 0;
    ok = file != -1 && close(file) == 0 && ok;
    ok = ok && rename(tempPath, path) == 0;
#endif
    if (!ok) std::perror("bare safe write");
    return Seconds(start);
}

// The same bytes through the writer's own file steps and a C stream, without the formatting.
double WriteThroughStream(const std::string& bytes, const char* tempPath, const char* path) {
    Clock::time_point start = Clock::now();
    std::FILE* file = nullptr;
    bool ok = CreateTempFile(tempPath, path, TempToReplace, &file) == TempMade;
    if (ok) {
        std::setvbuf(file, nullptr, _IONBF, 0);
        for (size_t at = 0; ok && at < bytes.size(); at += 8192) {
            size_t size = std::min<size_t>(8192, bytes.size() - at);
            ok = std::fwrite(bytes.data() + at, 1, size, file) == size;
        }
        ok = CloseFile(file, true) && ok;
        ok = ok && ReplaceTarget(tempPath, path, true) == Placed;
    }
    if (!ok) std::perror("write through a stream");
    return Seconds(start);
}

double InspectOnce(const char* path) {
    Clock::time_point start = Clock::now();
    if (InspectTarget(path) != TargetPlainFile) std::fprintf(stderr, "not a plain file\n");
    return Seconds(start);
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

    const int rounds = 101;
    std::vector<double> corvane, bare, pieces, stream, inspect, plain;
    for (int round = 0; round < rounds; ++round) {
        corvane.push_back(WriteWithCorvane(*binds, path.c_str()));
        bare.push_back(WriteBareSafe(bytes, tempPath.c_str(), path.c_str(), bytes.size()));
        // Where the difference goes: the writer's look at the target, and its 8 KiB pieces.
        pieces.push_back(WriteBareSafe(bytes, tempPath.c_str(), path.c_str(), 8192));
        stream.push_back(WriteThroughStream(bytes, tempPath.c_str(), path.c_str()));
        inspect.push_back(InspectOnce(path.c_str()));
        plain.push_back(WriteWithPlainLoop(*binds, path.c_str()));
    }
    std::remove(path.c_str());
    std::printf("write_1024_binds_ms %.3f ms\n", Median(corvane) * 1e3);
    std::printf("bare_safe_write_ms %.3f ms\n", Median(bare) * 1e3);
    std::printf("safe_write_ratio %.2f x\n", Median(corvane) / Median(bare));
    std::printf("bare_safe_write_8k_pieces_ms %.3f ms\n", Median(pieces) * 1e3);
    std::printf("stream_safe_write_ms %.3f ms\n", Median(stream) * 1e3);
    std::printf("inspect_target_ms %.3f ms\n", Median(inspect) * 1e3);
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
