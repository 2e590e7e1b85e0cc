#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "output/config_writer.h"
#include "output/target_file.h"
#include "output/temp_names.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "output/file_replace.h"
#include "output/held_files.h"
#include "output/wide_names.h"
#include "output/windows_calls.h"
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

// The system's own file steps, in a namespace of their own: the writer reaches them through the
// steps below, any of which a test can make fail.
namespace system_steps {
#ifdef _WIN32
#include "output/target_file_win32.cpp"
#else
#include "output/target_file_posix.cpp"
#endif
}  // namespace system_steps

namespace {

namespace fs = std::filesystem;

enum StepFault : unsigned {
    RefuseTemp = 1,     // the folder takes no new file to replace the target
    FailTemp = 2,       // the folder is full
    FailTempClose = 4,  // closing the temp file fails
    FailClose = 8,      // closing the file first opened in place fails
    TakeName = 16,      // a file takes a name believed free just before the temp file would
    FailPlace = 32,
    NoRead = 64,             // the file cannot be read, only appended to
    RefuseBackupHere = 128,  // the target's folder takes no backup: the system's temp folder does
    FailBackup = 256,        // no room anywhere for the old bytes
    FailPutBack = 512,       // the file cannot be opened again to put its old bytes back
    HoldTarget = 1024,       // another program holds the target, letting it be written only
    LoseName = 2048,         // the replace leaves the target's old file under another temp name
};
unsigned Faults = 0;
// How often the writer opened the file in place this write, the first such stream while it is
// open, and its temp files that are open.
int InPlaceOpens = 0;
std::FILE* FirstInPlace = nullptr;
std::vector<std::FILE*> OpenTemps;

std::string SystemTemp() {
    char folder[PathBufferSize];
    return system_steps::SystemTempFolder(folder, sizeof folder) ? folder : "";
}

// A copy of a file's old bytes is for its owner: others may not read it.
void ExpectPrivate(const char* path) {
#ifdef _WIN32
    unsigned char descriptor[4096];
    DWORD needed = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    ASSERT_TRUE(
        GetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed));
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) && list);
    unsigned char everyone[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof everyone;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* entry = nullptr;
        ASSERT_TRUE(GetAce(list, i, reinterpret_cast<void**>(&entry)));
        EXPECT_FALSE(entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                     EqualSid(&entry->SidStart, everyone))
            << path << " lets everyone in";
    }
#else
    struct stat status;
    ASSERT_EQ(0, stat(path, &status));
    EXPECT_EQ(0u, status.st_mode & 0007u) << path;
#endif
}

}  // namespace

TargetKind InspectTarget(const char* path) { return system_steps::InspectTarget(path); }

TempAnswer CreateTempFile(const char* tempPath, const char* target, TempUse use, std::FILE** file,
                          WriteFailure* why) {
    // Beside the target, under a name of the writer's own; a backup may go to the temp folder.
    const fs::path temp(tempPath);
    if (use == TempToReplace || temp.parent_path() != fs::path(SystemTemp()).parent_path()) {
        EXPECT_EQ(fs::path(target).parent_path(), temp.parent_path()) << tempPath;
    }
    static const std::regex ownName(R"(\.corvane-\d+\.tmp)");
    EXPECT_TRUE(std::regex_match(temp.filename().string(), ownName)) << tempPath;
    if (use == TempToReplace && Faults & RefuseTemp) return TempRefused;
    if (use == TempToReplace && Faults & FailTemp) return TempFailed;
    if (use == TempForBackup && Faults & FailBackup) return TempFailed;
    if (use == TempForBackup && Faults & RefuseBackupHere &&
        temp.parent_path() == fs::path(target).parent_path()) {
        return TempRefused;
    }
    const TempAnswer answer = system_steps::CreateTempFile(tempPath, target, use, file, why);
    if (answer == TempMade) OpenTemps.push_back(*file);
    if (answer == TempMade && use == TempForBackup) ExpectPrivate(tempPath);
    return answer;
}

bool SystemTempFolder(char* folder, size_t size) {
    return system_steps::SystemTempFolder(folder, size);
}

std::FILE* OpenInPlace(const char* path, InPlaceMode mode, bool* created, WriteFailure* why) {
    if (Faults & FailPutBack && mode == InPlaceRewrite && InPlaceOpens > 0) return nullptr;
    *created = Faults & NoRead && !fs::exists(path);
    std::FILE* file = Faults & NoRead ? std::fopen(path, "ab")
                                      : system_steps::OpenInPlace(path, mode, created, why);
    if (file && InPlaceOpens++ == 0) FirstInPlace = file;
    return file;
}

bool WriteBytes(std::FILE* file, const void* bytes, size_t size, WriteFailure* why) {
    return system_steps::WriteBytes(file, bytes, size, why);
}

bool CommitFile(std::FILE* file, WriteFailure* why) { return system_steps::CommitFile(file, why); }

bool CloseFile(std::FILE* file, bool commit, WriteFailure* why) {
    // With its descriptor closed underneath, the stream's own close fails.
    const auto temp = std::find(OpenTemps.begin(), OpenTemps.end(), file);
    const bool failing = temp != OpenTemps.end() ? Faults & FailTempClose
                                                 : Faults & FailClose && file == FirstInPlace;
    if (temp != OpenTemps.end()) OpenTemps.erase(temp);
    if (file == FirstInPlace) {
        FirstInPlace = nullptr;
    }
#ifdef _WIN32
    if (failing) _close(_fileno(file));
#else
    if (failing) close(fileno(file));
#endif
    return system_steps::CloseFile(file, commit, why);
}

bool EndFileHere(std::FILE* file, WriteFailure* why) {
    return system_steps::EndFileHere(file, why);
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists,
                          char* asidePath, WriteFailure* why) {
    if (Faults & TakeName && !targetExists) std::ofstream(target) << "taken";
    if (Faults & FailPlace) return PlaceFailed;
    if (Faults & HoldTarget) return PlaceInPlace;
    if (Faults & LoseName) {
        const std::string aside = (fs::path(target).parent_path() / ".corvane-1.tmp").string();
        fs::rename(target, aside);
        std::strcpy(asidePath, aside.c_str());
        return PlaceLost;
    }
    return system_steps::ReplaceTarget(tempPath, target, targetExists, asidePath, why);
}

bool RemoveFile(const char* path) { return system_steps::RemoveFile(path); }

bool RemoveMadeFile(const char* path) { return system_steps::RemoveMadeFile(path); }

bool OpenFileSize(std::FILE* file, uint64_t* size) {
    return system_steps::OpenFileSize(file, size);
}

bool CutBack(const char* path, uint64_t length) { return system_steps::CutBack(path, length); }

namespace {

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

// Every name in the folder with its bytes.
std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        contents[entry.path().filename().string()] = ReadBytes(entry.path());
    }
    return contents;
}

// The writer's own temp names in the folder.
std::vector<std::string> OwnNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".corvane-", 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
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

TEST(ConfigTextTest, TempNamesCountInDecimal) {
    for (const auto& [n, name] : std::map<unsigned, std::string>{{0, ".corvane-0.tmp"},
                                                                 {9, ".corvane-9.tmp"},
                                                                 {10, ".corvane-10.tmp"},
                                                                 {99, ".corvane-99.tmp"},
                                                                 {100, ".corvane-100.tmp"},
                                                                 {65535, ".corvane-65535.tmp"}}) {
        char written[TempNameSize + 1] = {};
        PutTempName(written, n);
        EXPECT_EQ(name, written);
    }
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

TEST_F(ConfigWriterTest, LineFeedsAtEveryOffsetOfAFullListArePaired) {
    // Texts of every length with a line feed every k-th byte, k from 1 to 11, or none, so that
    // line feeds and text ends land on every offset of the writer's sixteen-byte blocks. Slot 0
    // fills its storage and has no terminating zero; the short text after it ends in the block
    // that a search past slot 0's end would read.
    static BindModel binds;
    std::memset(&binds, 0, sizeof binds);
    binds.BindCount = MaxBinds;
    std::string expected = kPreamble;
    int32_t characters = kPreambleLength;
    for (int i = 0; i < MaxBinds; ++i) {
        const int length = i == 0 ? BindSlotSize : i == 1 ? 5 : (i * 37) % BindSlotSize;
        const int every = 1 + i % 12;
        for (int k = 0; k < length; ++k) {
            const bool lineFeed = every < 12 && (k + 1) % every == 0;
            binds.Slots[i].Text[k] = lineFeed ? '\n' : 'x';
            expected += lineFeed ? "\r\n" : "x";
        }
        expected += "\r\n";
        characters += length;
    }
    const std::string path = PathOf("full.cfg");
    int32_t written = 0;
    ASSERT_EQ(WriteConfigFile(binds, path.c_str(), "w", &written), ConfigWritten);
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(written, characters);
}

TEST_F(ConfigWriterTest, WriteReplacesExistingFile) {
    std::string path = PathOf("old.cfg");
#ifndef _WIN32
    // As long as the longest path the save dialog gives, 511 characters, in folders of at most
    // 200 characters.
    path = dir_.string();
    while (path.size() + 8 < 511) {
        const size_t room = 511 - 8 - path.size() - 1;
        path += "/" + std::string(room <= 200 ? room : room == 201 ? 199 : 200, 'd');
        fs::create_directory(path);
    }
    path += "/old.cfg";
    ASSERT_EQ(511u, path.size());
#endif
    WriteBytes(path, std::string(5000, 'q') + "\r\n");
#ifndef _WIN32
    // The new file keeps the old one's permissions and, where it can be handed over, its owner.
    ASSERT_EQ(0, chmod(path.c_str(), 0751));
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(path.c_str(), 65534, 65534));
    }
    struct stat old;
    ASSERT_EQ(0, stat(path.c_str(), &old));
#endif
    auto binds = MakeBinds({"bind e \"+use\""});
    ASSERT_EQ(WriteConfigFile(*binds, path.c_str(), "w", nullptr), ConfigWritten);
    EXPECT_EQ(ReadBytes(path), kPreamble + "bind e \"+use\"\r\n");
#ifndef _WIN32
    struct stat now;
    ASSERT_EQ(0, stat(path.c_str(), &now));
    EXPECT_NE(old.st_ino, now.st_ino) << "written in place";
    EXPECT_EQ(old.st_mode, now.st_mode);
    EXPECT_EQ(old.st_uid, now.st_uid);
    EXPECT_EQ(old.st_gid, now.st_gid);
#endif
}

// A new config over a link or a file with two names goes into the file they share: replacing
// the name would cut the tie. A link into a missing folder cannot be written through, and stays;
// through a link to a missing file, a failed write leaves no file.
TEST_F(ConfigWriterTest, LinkedFilesAreWrittenWhereTheyAre) {
    auto binds = MakeBinds({"bind e \"+use\""});
    enum Tie { SecondName, Symbolic, Dangling, ToNewFile };
    for (Tie tie : {SecondName, Symbolic, Dangling, ToNewFile}) {
        const char* name[] = {"second name", "symbolic link", "dangling link",
                              "link to a new file"};
        SCOPED_TRACE(name[tie]);
        const fs::path shared = dir_ / (std::to_string(tie) + "_shared.cfg");
        const fs::path link = dir_ / (std::to_string(tie) + "_link.cfg");
        if (tie == SecondName || tie == Symbolic) WriteBytes(shared, "old");
        std::error_code failed;
        if (tie == SecondName) fs::create_hard_link(shared, link, failed);
        if (tie == Symbolic || tie == ToNewFile) {
            fs::create_symlink(shared.filename(), link, failed);
        }
        if (tie == Dangling) fs::create_symlink(fs::path("missing") / "x.cfg", link, failed);
        if (failed) {
            std::printf("[ INFO     ] no %s here: %s\n", name[tie], failed.message().c_str());
            continue;
        }
        const auto before = FolderContents(dir_);
        for (const char* mode : {"w", "a+"}) {
            Faults = tie == ToNewFile ? unsigned{FailClose} : 0u;
            InPlaceOpens = 0;
            const WriteOutcome outcome =
                WriteConfigFile(*binds, link.string().c_str(), mode, nullptr);
            Faults = 0;
            if (tie == Dangling || tie == ToNewFile) {
                EXPECT_EQ(tie == Dangling ? ConfigOpenFailed : ConfigWriteFailed, outcome) << mode;
                EXPECT_EQ(before, FolderContents(dir_)) << mode;
            } else {
                EXPECT_EQ(ConfigWritten, outcome) << mode;
            }
        }
        // Replacing the name would have left the shared file as it was.
        const std::string block = kPreamble + "bind e \"+use\"\r\n";
        if (tie == SecondName || tie == Symbolic) {
            EXPECT_EQ(ReadBytes(shared), block + block);
        }
        EXPECT_EQ(tie != SecondName, fs::is_symlink(link));
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
        // With the permissions any new file gets here.
        WriteBytes(PathOf("plain"), "");
        EXPECT_EQ(fs::status(PathOf("plain")).permissions(), fs::status(path).permissions());
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

// Each step of the writer failing, alone or after the fallback it leads to: the outcome tells
// what became of the file, and no other name in the folder, nor in the system's temp folder,
// changes; only a copy of old bytes that could not go back stays.
TEST_F(ConfigWriterTest, EachFailingStepLeavesWhatItsOutcomeSays) {
    const std::string old = "seta name \"player\"\r\nbind x \"kill\"";
    const std::string block = kPreamble + "bind e \"+use\"\r\n";
    enum After { Old, New, Absent, Taken, NewWithOldCopy, BothAside };
    const struct {
        const char* label;
        const char* mode;
        bool present;
        unsigned faults;
        WriteOutcome outcome;
        After after;
    } cases[] = {
        {"no temp file: in place", "w", true, RefuseTemp, ConfigWritten, New},
        {"in place, close fails: old bytes back", "w", true, RefuseTemp | FailClose,
         ConfigWriteFailed, Old},
        {"in place, old bytes kept in the temp folder", "w", true,
         RefuseTemp | RefuseBackupHere | FailClose, ConfigWriteFailed, Old},
        {"in place, no room for the old bytes: untouched", "w", true, RefuseTemp | FailBackup,
         ConfigWriteFailed, Old},
        {"in place, old bytes cannot go back", "w", true, RefuseTemp | FailClose | FailPutBack,
         ConfigPartlyWritten, NewWithOldCopy},
        {"no temp file, new name: made in place", "w", false, RefuseTemp, ConfigWritten, New},
        {"no temp file, new name, close fails", "w", false, RefuseTemp | FailClose,
         ConfigWriteFailed, Absent},
        {"folder full", "w", true, FailTemp, ConfigWriteFailed, Old},
        {"temp file not committed", "w", true, FailTempClose, ConfigWriteFailed, Old},
        {"temp file not committed, new name", "w", false, FailTempClose, ConfigWriteFailed, Absent},
        {"temp file cannot take the place", "w", true, FailPlace, ConfigWriteFailed, Old},
        {"new name taken meanwhile: written through", "w", false, TakeName, ConfigWritten, New},
        {"target held, open for writing: written in place", "w", true, HoldTarget, ConfigWritten,
         New},
        {"neither file back under the name: both kept", "w", true, LoseName, ConfigNameLost,
         BothAside},
        // Whatever took the name is not this write's to remove.
        {"new name taken, close fails", "w", false, TakeName | FailClose, ConfigWriteFailed, Taken},
        {"append, close fails", "a+", true, FailClose, ConfigWriteFailed, Old},
        {"append to a new name, close fails", "a+", false, FailClose, ConfigWriteFailed, Absent},
        {"append, last byte unreadable", "a+", true, NoRead, ConfigWriteFailed, Old},
    };
    auto binds = MakeBinds({"bind e \"+use\""});
    const std::string path = PathOf("binds.cfg");
    WriteBytes(PathOf("other.cfg"), "keep");
    const auto tempFolderBefore = OwnNames(SystemTemp());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(path);
        fs::remove(PathOf(".corvane-0.tmp"));
        fs::remove(PathOf(".corvane-1.tmp"));
        if (c.present) WriteBytes(path, old);
        auto expected = FolderContents(dir_);
        expected.erase("binds.cfg");
        const std::string after[] = {old, block, "", "taken", block};
        if (c.after != Absent && c.after != BothAside) expected["binds.cfg"] = after[c.after];
        if (c.after == NewWithOldCopy) expected[".corvane-0.tmp"] = old;
        if (c.after == BothAside) {
            expected[".corvane-0.tmp"] = block;
            expected[".corvane-1.tmp"] = old;
        }
        Faults = c.faults;
        InPlaceOpens = 0;
        int32_t written = -1;
        KeptNames kept = {"", ""};
        const WriteOutcome outcome = WriteConfigFile(*binds, path.c_str(), c.mode, &written, &kept);
        Faults = 0;
        EXPECT_EQ(c.outcome, outcome);
        EXPECT_EQ(c.after == BothAside ? ".corvane-1.tmp .corvane-0.tmp" : " ",
                  std::string(kept.Old) + " " + kept.New);
        EXPECT_EQ(c.outcome == ConfigWritten ? kPreambleLength + 13 : 0, written);
        EXPECT_EQ(expected, FolderContents(dir_));
        EXPECT_EQ(tempFolderBefore, OwnNames(SystemTemp()));
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

// Whether the system opens something other than a disk file at the name, or nothing at all
// where a new file could be made.
bool OpensNoFile(const std::string& path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
    CloseHandle(file);
    if (disk && made) DeleteFileA(path.c_str());
    return !disk;
#else
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
#endif
}

// A device takes bytes that cannot be taken back, and a name the system keeps for one
// (nul.cfg on Windows 10 and under Wine) makes no file: neither is written. Where such a name is
// an ordinary file, it is written as any other.
TEST_F(ConfigWriterTest, DevicesAreNeverWritten) {
#ifdef _WIN32
    const std::string full = "Z:\\dev\\full", null = "Z:\\dev\\null";  // as seen under Wine
#else
    const std::string full = "/dev/full", null = "/dev/null";
#endif
    auto binds = MakeBinds({"bind t \"messagemode\""});
    int devices = 0;
    for (const std::string& path : {full, null, PathOf("nul.cfg"), PathOf("aux.cfg"),
                                    PathOf("com1.cfg"), PathOf("con.cfg"), PathOf("prn.cfg")}) {
        const bool device = OpensNoFile(path);
        devices += device;
        for (const char* mode : {"w", "a+"}) {
            SCOPED_TRACE(path + " " + mode);
            EXPECT_EQ(device ? ConfigOpenFailed : ConfigWritten,
                      WriteConfigFile(*binds, path.c_str(), mode, nullptr));
        }
        if (!device) {
            EXPECT_EQ(ReadBytes(path), kPreamble + "bind t \"messagemode\"\r\n" + kPreamble +
                                           "bind t \"messagemode\"\r\n");
            fs::remove(path);
        }
    }
    EXPECT_TRUE(fs::is_empty(dir_)) << "no file for a device name";
    std::printf("[ INFO     ] %d of 7 names open no file here\n", devices);
}

#ifndef _WIN32
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
    // Leftovers of writes that never ended take the first temp names; they stay as they are.
    for (int n = 0; n < 12; ++n)
        WriteBytes(PathOf((".corvane-" + std::to_string(n) + ".tmp").c_str()), "left");
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);

    struct Case {
        const char* mode;
        bool present;
        std::string written;  // the whole file after a write that succeeds
        bool secondName;      // written where it is, its old bytes kept aside
    };
    const Case cases[] = {
        {"w", false, block, false},
        {"w", true, block, false},
        {"w", true, block, true},
        {"a+", false, block, false},
        {"a+", true, old + "\r\n" + block, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.present ? " over an existing file" : " new file") +
                     (c.secondName ? " with a second name" : ""));
        fs::remove(path);
        fs::remove(PathOf("second.cfg"));
        if (c.present) WriteBytes(path, old);
        if (c.secondName) fs::create_hard_link(path, PathOf("second.cfg"));
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
        if (c.secondName) after["second.cfg"] = c.written;
        EXPECT_EQ(after, FolderContents(dir_));
    }
    std::signal(SIGXFSZ, savedHandler);
}
#endif

}  // namespace
