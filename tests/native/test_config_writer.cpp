#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "output/config_writer.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>
#endif

namespace {

namespace fs = std::filesystem;

// Lines 1 to 9 of every write, as stored in the file.
const std::string kPreamble =
    "//This Config has been created by Corvane\r\n"
    "//Mail: corvane@example.org \r\n"
    "\r\n"
    "\r\n"
    "//General Implementations\r\n"
    "setA weapmodes \"01000110220000\"\r\n"
    "\r\n"
    "//Config Binds\r\n"
    "\r\n";
constexpr int32_t kPreambleLength = 70 + 74;

const char kAutoDemo[] =
    "set demo1 \"record; set nextdemo vstr demo2\"\n"
    "set demo2 \"stoprecord; set nextdemo vstr demo1\"\n"
    "set nextdemo \"vstr demo1\"\n"
    "bind F8 \"vstr nextdemo\"";
const char kAutoDemoInFile[] =
    "set demo1 \"record; set nextdemo vstr demo2\"\r\n"
    "set demo2 \"stoprecord; set nextdemo vstr demo1\"\r\n"
    "set nextdemo \"vstr demo1\"\r\n"
    "bind F8 \"vstr nextdemo\"\r\n";

std::unique_ptr<BindModel> MakeBinds(const std::vector<const char*>& texts) {
    std::unique_ptr<BindModel> binds(new BindModel());  // value-initialised: all zeros
    for (const char* text : texts) {
        std::strncpy(binds->Slots[binds->BindCount].Text, text, BindSlotSize - 1);
        ++binds->BindCount;
    }
    return binds;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class ConfigWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("corvane_") + info->name() + "_" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(dir_));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string PathOf(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST(ConfigTextTest, FixedTextsHaveTheirLengths) {
    EXPECT_EQ(std::strlen(GeneralSection), 74u);
    EXPECT_EQ(std::strlen(ConfigHeader), 70u);
    EXPECT_EQ(ConfigHeader[std::strlen(ConfigHeader) - 1], ' ');
}

struct LayoutCase {
    const char* label;
    std::vector<const char*> slots;
    std::string binds;  // the file's bytes after line 9
    int32_t length;
};

TEST_F(ConfigWriterTest, NewFileHoldsExactlyTheLayout) {
    const LayoutCase cases[] = {
        {"empty list", {}, "", kPreambleLength},
        {"all slots emptied", {"", "", ""}, "\r\n\r\n\r\n", kPreambleLength},
        {"emptied slots keep their place",
         {"bind w \"+forward\"", "", "bind space \"+moveup\"", ""},
         "bind w \"+forward\"\r\n\r\nbind space \"+moveup\"\r\n\r\n",
         kPreambleLength + 17 + 20},
        {"four-line script counts its three inner line feeds",
         {kAutoDemo},
         kAutoDemoInFile,
         kPreambleLength + static_cast<int32_t>(std::strlen(kAutoDemo))},
        {"script among single lines",
         {"bind r \"+reload\"", kAutoDemo, "", "bind MOUSE1 \"+attack\""},
         std::string("bind r \"+reload\"\r\n") + kAutoDemoInFile +
             "\r\nbind MOUSE1 \"+attack\"\r\n",
         kPreambleLength + 16 + static_cast<int32_t>(std::strlen(kAutoDemo)) + 21},
    };
    int n = 0;
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.label);
        auto binds = MakeBinds(c.slots);
        const std::string path = PathOf(("case" + std::to_string(n++) + ".cfg").c_str());
        int32_t written = -1;
        ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "w", &written), ConfigWritten);
        EXPECT_EQ(ReadBytes(path), kPreamble + c.binds);
        EXPECT_EQ(written, c.length);
        EXPECT_EQ(ConfigWrittenLength(*binds), c.length);
    }
}

TEST_F(ConfigWriterTest, OnlySlotsBelowCountAreWritten) {
    auto binds = MakeBinds({"bind a \"+left\"", "bind d \"+right\""});
    binds->BindCount = 1;
    const std::string path = PathOf("count.cfg");
    int32_t written = 0;
    ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "w", &written), ConfigWritten);
    EXPECT_EQ(ReadBytes(path), kPreamble + "bind a \"+left\"\r\n");
    EXPECT_EQ(written, kPreambleLength + 14);
}

TEST_F(ConfigWriterTest, FullListOfLineFeedsCrossesEveryChunkBoundary) {
    // Every byte a line feed: each one doubles in the file, so pairs land on any buffer edge.
    static BindModel binds;
    std::memset(&binds, 0, sizeof binds);
    binds.BindCount = MaxBinds;
    std::string expected = kPreamble;
    for (int i = 0; i < MaxBinds; ++i) {
        const int length = (i * 37) % BindSlotSize;
        std::memset(binds.Slots[i].Text, i % 2 ? '\n' : 'x', length);
        expected += std::string(static_cast<size_t>(length), 'x');
        if (i % 2) {
            expected.resize(expected.size() - length);
            for (int k = 0; k < length; ++k) expected += "\r\n";
        }
        expected += "\r\n";
    }
    const std::string path = PathOf("full.cfg");
    int32_t written = 0;
    ASSERT_EQ(WriteConfigFile(binds, path.c_str(), "w", &written), ConfigWritten);
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(written, ConfigWrittenLength(binds));
}

TEST_F(ConfigWriterTest, WriteReplacesExistingFile) {
    const std::string path = PathOf("old.cfg");
    WriteBytes(path, std::string(5000, 'q') + "\r\n");
    auto binds = MakeBinds({"bind e \"+use\""});
    ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "w", nullptr), ConfigWritten);
    EXPECT_EQ(ReadBytes(path), kPreamble + "bind e \"+use\"\r\n");
}

// A new config over a link or a file with two names goes into the file they share: replacing
// the name would cut the tie.
TEST_F(ConfigWriterTest, LinkedFilesAreWrittenWhereTheyAre) {
    auto binds = MakeBinds({"bind e \"+use\""});
    for (bool symbolic : {false, true}) {
        SCOPED_TRACE(symbolic ? "symbolic link" : "second name");
        const fs::path shared = dir_ / (symbolic ? "shared_s.cfg" : "shared_h.cfg");
        const fs::path link = dir_ / (symbolic ? "link_s.cfg" : "link_h.cfg");
        WriteBytes(shared, "old");
        std::error_code failed;
        symbolic ? fs::create_symlink(shared.filename(), link, failed)
                 : fs::create_hard_link(shared, link, failed);
        if (failed) {
            std::printf("[ INFO     ] no %s here: %s\n", symbolic ? "symbolic link" : "hard link",
                        failed.message().c_str());
            continue;
        }
        ASSERT_EQ(WriteConfigFile(*binds, link.string().c_str(), "w", nullptr), ConfigWritten);
        // Replacing the name would have left the shared file as it was.
        EXPECT_EQ(ReadBytes(shared), kPreamble + "bind e \"+use\"\r\n");
        EXPECT_EQ(symbolic, fs::is_symlink(link));
    }
}

TEST_F(ConfigWriterTest, AppendRepeatsHeaderAndKeepsOldContent) {
    const std::string path = PathOf("twice.cfg");
    auto binds = MakeBinds({"bind w \"+forward\""});
    ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "w", nullptr), ConfigWritten);
    int32_t written = 0;
    ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "a+", &written), ConfigWritten);
    const std::string once = kPreamble + "bind w \"+forward\"\r\n";
    EXPECT_EQ(ReadBytes(path), once + once);
    EXPECT_EQ(written, kPreambleLength + 17);  // the earlier content does not count
}

TEST_F(ConfigWriterTest, AppendStartsOnNewLineWithoutCountingIt) {
    struct {
        const char* label;
        std::string old;
        std::string separator;
    } const cases[] = {
        {"no final break", "seta name \"player\"", "\r\n"},
        {"bare line feed at end", "seta name \"player\"\n", ""},
        {"carriage return line feed at end", "seta name \"player\"\r\n", ""},
        {"lone carriage return at end", "seta name \"player\"\r", "\r\n"},
        {"single byte", "x", "\r\n"},
        {"empty file", "", ""},
    };
    auto binds = MakeBinds({"bind q \"weapprev\""});
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = PathOf(("append" + std::to_string(n++) + ".cfg").c_str());
        WriteBytes(path, c.old);
        int32_t written = 0;
        ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "a+", &written), ConfigWritten);
        EXPECT_EQ(ReadBytes(path), c.old + c.separator + kPreamble + "bind q \"weapprev\"\r\n");
        EXPECT_EQ(written, kPreambleLength + 17);
    }
}

TEST_F(ConfigWriterTest, BothModesCreateANewFile) {
    auto binds = MakeBinds({});
    for (const char* mode : {"w", "a+"}) {
        SCOPED_TRACE(mode);
        const std::string path =
            PathOf((std::string("new_") + (mode[0] == 'w' ? "w" : "a")).c_str());
        ASSERT_FALSE(fs::exists(path));
        int32_t written = 0;
        ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), mode, &written), ConfigWritten);
        EXPECT_EQ(ReadBytes(path), kPreamble);
        EXPECT_EQ(written, kPreambleLength);
    }
}

TEST_F(ConfigWriterTest, UnopenablePathsWriteNothing) {
    auto binds = MakeBinds({"bind f \"+button3\""});
    const std::string missing = (dir_ / "no_such_folder" / "x.cfg").string();
    const std::string folder = PathOf("a_folder");
    ASSERT_TRUE(fs::create_directory(folder));
    for (const char* mode : {"w", "a+"}) {
        SCOPED_TRACE(mode);
        int32_t written = 7;
        EXPECT_EQ(WriteConfigFile(*binds, missing.c_str(), mode, &written), ConfigOpenFailed);
        EXPECT_FALSE(fs::exists(dir_ / "no_such_folder"));
        EXPECT_EQ(WriteConfigFile(*binds, folder.c_str(), mode, &written), ConfigOpenFailed);
        EXPECT_TRUE(fs::is_directory(folder));
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

// Both modes must refuse the file without changing a byte of it.
bool RefusesReadOnlyFile(const std::string& path) {
    auto binds = MakeBinds({"bind g \"+button5\""});
    return WriteConfigFile(*binds, path.c_str(), "w", nullptr) == ConfigOpenFailed &&
           WriteConfigFile(*binds, path.c_str(), "a+", nullptr) == ConfigOpenFailed &&
           ReadBytes(path) == "keep me";
}

TEST_F(ConfigWriterTest, ReadOnlyFileIsLeftAlone) {
    const std::string path = PathOf("locked.cfg");
    WriteBytes(path, "keep me");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifdef _WIN32
    // The writer refuses the read-only attribute itself, also where the C runtime would open the
    // file (Wine run as root).
    EXPECT_TRUE(RefusesReadOnlyFile(path));
#else
    std::FILE* probe = std::fopen(path.c_str(), "r+b");
    if (!probe) {
        EXPECT_TRUE(RefusesReadOnlyFile(path));
    } else {
        std::fclose(probe);
        // Root ignores permissions, as CI runs: the check runs as an unprivileged user instead.
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
            _exit(dropped && RefusesReadOnlyFile(path) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
#endif
    fs::permissions(path, fs::perms::owner_all);
}

TEST_F(ConfigWriterTest, UnknownModesAreRefusedWithoutTouchingTheFile) {
    auto binds = MakeBinds({"bind h \"+scores\""});
    const std::string existing = PathOf("existing.cfg");
    WriteBytes(existing, "old");
    const std::string fresh = PathOf("fresh.cfg");
    for (const char* mode : {"r", "r+", "a", "wb", "w+", "", "a+b"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(WriteConfigFile(*binds, existing.c_str(), mode, nullptr), ConfigOpenFailed);
        EXPECT_EQ(WriteConfigFile(*binds, fresh.c_str(), mode, nullptr), ConfigOpenFailed);
    }
    EXPECT_EQ(WriteConfigFile(*binds, existing.c_str(), nullptr, nullptr), ConfigOpenFailed);
    EXPECT_EQ(WriteConfigFile(*binds, nullptr, "w", nullptr), ConfigOpenFailed);
    EXPECT_EQ(ReadBytes(existing), "old");
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(ConfigWriterFullDiskTest, FullDeviceReportsWriteFailure) {
#ifdef _WIN32
    const char* full = "Z:\\dev\\full";  // the Linux device as seen under Wine
#else
    const char* full = "/dev/full";
#endif
    std::FILE* probe = std::fopen(full, "wb");
    if (probe == nullptr) GTEST_SKIP() << "no full device on this system";
    std::fclose(probe);
    auto small = MakeBinds({"bind t \"messagemode\""});
    static BindModel large;
    std::memset(&large, 0, sizeof large);
    large.BindCount = MaxBinds;
    for (BindSlot& slot : large.Slots) std::memset(slot.Text, 'z', BindSlotSize - 1);
    for (const char* mode : {"w", "a+"}) {
        SCOPED_TRACE(mode);
        // A device is written in place and cannot be cut back.
        EXPECT_EQ(WriteConfigFile(*small, full, mode, nullptr), ConfigPartlyWritten);
        EXPECT_EQ(WriteConfigFile(large, full, mode, nullptr), ConfigPartlyWritten);
    }
}

#ifndef _WIN32
// Every name in the folder with its bytes.
std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        contents[entry.path().filename().string()] = ReadBytes(entry.path());
    }
    return contents;
}

// The file size limit stops the write once the file would grow past `limit` bytes, the way a
// full disk stops it.
WriteOutcome WriteWithSizeLimit(const BindModel& binds, const std::string& path, const char* mode,
                                rlim_t limit) {
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit capped = old;
    capped.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &capped);
    WriteOutcome outcome = WriteConfigFile(binds, path.c_str(), mode, nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    return outcome;
}

TEST_F(ConfigWriterTest, FailureAfterAnyByteLeavesTheFolderAsItWas) {
    auto binds = MakeBinds({"bind r \"+reload\"", kAutoDemo, "", "bind MOUSE1 \"+attack\""});
    const std::string block =
        kPreamble + "bind r \"+reload\"\r\n" + kAutoDemoInFile + "\r\nbind MOUSE1 \"+attack\"\r\n";
    const std::string old = "seta name \"player\"\r\nbind x \"kill\"";  // no break at its end
    const std::string path = PathOf("binds.cfg");
    WriteBytes(PathOf("other.cfg"), "keep");
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);

    struct Case {
        const char* mode;
        bool present;
        std::string written;  // the whole file after a write that succeeds
    };
    const Case cases[] = {
        {"w", false, block},
        {"w", true, block},
        {"a+", false, block},
        {"a+", true, old + "\r\n" + block},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.present ? " over an existing file" : " new file"));
        fs::remove(path);
        if (c.present) WriteBytes(path, old);
        const auto before = FolderContents(dir_);
        // An append grows the old file; a new config is written to a file of its own first.
        const size_t start = std::strcmp(c.mode, "a+") == 0 && c.present ? old.size() : 0;
        for (size_t limit = start; limit < c.written.size(); ++limit) {
            WriteOutcome outcome = WriteWithSizeLimit(*binds, path, c.mode, limit);
            ASSERT_EQ(ConfigWriteFailed, outcome) << "stopped after " << limit - start;
            ASSERT_EQ(before, FolderContents(dir_)) << "stopped after " << limit - start;
        }
        ASSERT_EQ(ConfigWritten, WriteWithSizeLimit(*binds, path, c.mode, c.written.size()));
        auto after = before;
        after["binds.cfg"] = c.written;
        EXPECT_EQ(after, FolderContents(dir_));
    }
    std::signal(SIGXFSZ, savedHandler);
}
#endif

}  // namespace
