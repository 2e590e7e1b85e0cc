// Writing when the file system says no: the player goes from "Write Config File" through the
// write options dialog and the system's own save dialog to a path that cannot be written, and
// must get one clear error box, no completion dialog, and no existing file spoiled.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../../output/windows_calls.h"
#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "../../ui/write_options.h"
#include "ui_harness.h"
#include "write_test_support.h"

namespace {

// Folders of at most 20 characters under base, then a file name, so that the whole path has
// exactly `length` characters; each of three bytes in UTF-8 where wide is set. Creates the
// folders.
std::string NestedPath(const std::string& base, size_t length, bool wide) {
    std::string path = base;
    const std::string file = "binds.cfg";
    int level = 0;
    while (Widened(path).size() + 1 + file.size() < length) {
        size_t room = length - (Widened(path).size() + 1 + file.size());
        // Keep at least two characters for a last folder, so no room is left that cannot be used.
        size_t name = std::min<size_t>(20, room - 1);
        if (room - 1 - name == 1) --name;
        if (name == 0) break;
        std::string folder(name, static_cast<char>('a' + level % 26));
        if (wide) {
            folder.clear();
            for (size_t i = 0; i < name; ++i) folder += "\u73a9";
        }
        ++level;
        path += "\\" + folder;
        CreateDirectoryW(WidePath(path).c_str(), nullptr);
    }
    return path + "\\" + file;
}

// --- the cases ----------------------------------------------------------------------------------

// What the one bind (Jump on the space bar) puts into a file.
const std::string WrittenBlock = std::string(WrittenHeader) + "bind space \"+moveup\"\r\n";

constexpr char Earlier[] = "seta name \"player\"\r\nbind x \"kill\"\r\n";

// Wine's save dialog (8.0) takes a typed name of up to about 261 characters; from about 270 on it
// overruns a MAX_PATH buffer of its own and the process dies with a page fault inside
// GetSaveFileNameA. Longer paths are therefore handed to the writer in the save dialog's place,
// the way a system dialog that handles them would return them.
enum class Choice {
    Typed,    // typed into the system's save dialog
    Handed,   // returned in the save dialog's place
    TooLong,  // the save dialog reports that the chosen path does not fit the 512-byte buffer
};

enum class Result {
    Written,
    CannotOpen,
    TooLong,
    // Whatever the platform decides for an existing file: written when the C runtime opens it for
    // update, else "could not be opened" with the file untouched. Windows (without long path
    // support) refuses paths past MAX_PATH; Wine has no such limit.
    AsPlatformAllows,
};

enum class Place {
    MissingFolder,  // a file in a folder that does not exist
    ReadOnlyFile,   // an existing file with the read-only attribute
    Device,         // the device that fails every write for lack of space: never written
    Nested,         // a file under nested folders, the whole path Length characters long
    NestedWide,     // the same, every folder's character three bytes in UTF-8
    DanglingLink,   // a symbolic link, alone in its folder, into a folder that does not exist
    CaseOnlyLink,   // keep.cfg, a symbolic link to KEEP.cfg beside it
    // Chinese characters and ".cfg", Length bytes of UTF-8: Windows takes the name, but a Linux
    // file name holds 255 bytes
    LongName,
    LongPathForm,  // an existing file, its path in the \\?\ form
};

struct FaultCase {
    const char* Name;
    int Button;
    Choice How;
    Place Where;
    size_t Length;  // for Nested and LongName
    bool Existing;  // the path holds Earlier before the press
    Result Expected;
    const char* Reason;  // why, after the path (write_test_support.h)
};

SavePathAnswer ReportTooLong(HWND, wchar_t*) { return SavePathTooLong; }

const FaultCase FaultCases[] = {
    {"new config in a missing folder", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::MissingFolder, 0,
     false, Result::CannotOpen, "#3"},
    {"add in a missing folder", IDC_ADD_TO_CONFIG, Choice::Typed, Place::MissingFolder, 0, false,
     Result::CannotOpen, "#3"},
    // Written through, as a link is; the folder it points into is missing.
    {"new config through a dangling link", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::DanglingLink,
     0, false, Result::CannotOpen, "#2"},
    {"add through a dangling link", IDC_ADD_TO_CONFIG, Choice::Typed, Place::DanglingLink, 0, false,
     Result::CannotOpen, "#2"},
    // Refused as Windows' C runtime refuses it, also under Wine run as root, which would open it.
    {"new config over a read-only file", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::ReadOnlyFile,
     0, true, Result::CannotOpen, ReadOnlyReason},
    {"add to a read-only file", IDC_ADD_TO_CONFIG, Choice::Typed, Place::ReadOnlyFile, 0, true,
     Result::CannotOpen, ReadOnlyReason},
    {"new config on a device", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::Device, 0, false,
     Result::CannotOpen, DeviceReason},
    {"add on a device", IDC_ADD_TO_CONFIG, Choice::Typed, Place::Device, 0, false,
     Result::CannotOpen, DeviceReason},
    // Written where the link points: a plain file in the link's place would cut it.
    {"new config through a link differing in case alone", IDC_WRITE_NEW_CONFIG, Choice::Typed,
     Place::CaseOnlyLink, 0, true, Result::Written, nullptr},
    {"add through a link differing in case alone", IDC_ADD_TO_CONFIG, Choice::Typed,
     Place::CaseOnlyLink, 0, true, Result::Written, nullptr},
    {"new config, a name of 255 bytes", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::LongName, 255,
     false, Result::Written, nullptr},
    {"new config, a name of 256 bytes", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::LongName, 256,
     false, Result::CannotOpen, LongNameReason},
    {"add, a name of 256 bytes", IDC_ADD_TO_CONFIG, Choice::Typed, Place::LongName, 256, false,
     Result::CannotOpen, LongNameReason},
    {"new config, a path in the \\\\?\\ form", IDC_WRITE_NEW_CONFIG, Choice::Handed,
     Place::LongPathForm, 0, true, Result::Written, nullptr},
    {"new config, 261 characters", IDC_WRITE_NEW_CONFIG, Choice::Typed, Place::Nested, 261, false,
     Result::Written, nullptr},
    {"add, 261 characters", IDC_ADD_TO_CONFIG, Choice::Typed, Place::Nested, 261, true,
     Result::Written, nullptr},
    // Windows without long paths refuses the name with its own code.
    {"new config, 511 characters", IDC_WRITE_NEW_CONFIG, Choice::Handed, Place::Nested, 511, true,
     Result::AsPlatformAllows, "#3"},
    {"add, 511 characters", IDC_ADD_TO_CONFIG, Choice::Handed, Place::Nested, 511, true,
     Result::AsPlatformAllows, "#3"},
    {"new config, 511 characters of three bytes", IDC_WRITE_NEW_CONFIG, Choice::Handed,
     Place::NestedWide, 511, true, Result::AsPlatformAllows, "#3"},
    {"new config, path past the buffer", IDC_WRITE_NEW_CONFIG, Choice::TooLong, Place::Nested, 600,
     true, Result::TooLong, nullptr},
    {"add, path past the buffer", IDC_ADD_TO_CONFIG, Choice::TooLong, Place::Nested, 600, true,
     Result::TooLong, nullptr},
};

// Under Wine a link that points nowhere is missing from its folder's listing and cannot be
// opened, but a new file cannot take its name.
bool NameIsTaken(const std::string& path) {
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(probe);
    return false;
}

TEST_F(WriteFaults, EachFaultShowsItsErrorAndSpoilsNoFile) {
    const char* unixFiles = std::getenv("CORVANE_UNIX_FILES");
    int index = 0;
    for (const FaultCase& test : FaultCases) {
        SCOPED_TRACE(test.Name);
        // Windows has no such links, and takes such names.
        if (TakesWindowsWay() &&
            (test.Where == Place::CaseOnlyLink || test.Where == Place::LongName)) {
            std::printf("[ INFO     ] %s: only under Wine\n", test.Name);
            continue;
        }
        const std::string base = Folder + "\\" + std::to_string(++index);
        CreateDirectoryW(WidePath(base).c_str(), nullptr);
        std::string path;
        switch (test.Where) {
            case Place::MissingFolder:
                // The error shows the name as it was chosen, in its own script.
                path = base + "\\\u03c0\u03b1\u03af\u03ba\u03c4\u03b7\u03c2\\binds.cfg";
                break;
            case Place::ReadOnlyFile:
                path = base + "\\readonly.cfg";
                break;
            case Place::Device:
                // Typed with a final dot: a name without extension gets ".cfg" from the save
                // dialog, which would create a plain file next to the device.
                path = "Z:\\dev\\full.";
                break;
            case Place::Nested:
            case Place::NestedWide:
                path = NestedPath(base, test.Length, test.Where == Place::NestedWide);
                ASSERT_EQ(test.Length, Widened(path).size());
                break;
            case Place::DanglingLink:
                if (!unixFiles) {
                    std::printf("[ INFO     ] %s: no link in CORVANE_UNIX_FILES\n", test.Name);
                    continue;
                }
                path = std::string(unixFiles) + "\\dangling\\dangling.cfg";
                ASSERT_TRUE(NameIsTaken(path));
                break;
            case Place::CaseOnlyLink:
                if (!unixFiles) {
                    std::printf("[ INFO     ] %s: no link in CORVANE_UNIX_FILES\n", test.Name);
                    continue;
                }
                path = std::string(unixFiles) + "\\case\\keep.cfg";
                break;
            case Place::LongPathForm:
                path = "\\\\?\\" + base + "\\binds.cfg";
                break;
            case Place::LongName:
                path = base + "\\";
                for (size_t i = 0; i < (test.Length - 4) / 3; ++i) path += "\u73a9";
                path += std::string((test.Length - 4) % 3, 'a') + ".cfg";
                break;
        }
        if (test.Existing) {
            ASSERT_TRUE(PutFileBytes(path, Earlier)) << path;
            if (test.Where == Place::ReadOnlyFile) {
                ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
                ASSERT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
            }
        }

        Result expected = test.Expected;
        if (expected == Result::AsPlatformAllows) {
            std::FILE* probe = _wfopen(Widened(path).c_str(), L"r+b");
            expected = probe ? Result::Written : Result::CannotOpen;
            if (probe) std::fclose(probe);
            std::printf("[ INFO     ] %s: the C runtime %s the file for writing\n", test.Name,
                        expected == Result::Written ? "opens" : "does not open");
        }

        SavePathPrompt saved = AskSavePath;
        HandedPath = path;
        if (test.How == Choice::Handed) AskSavePath = HandOver;
        if (test.How == Choice::TooLong) AskSavePath = ReportTooLong;
        Outcome outcome = Write(test.Button, path);
        AskSavePath = saved;

        if (test.How == Choice::Typed) {
            EXPECT_TRUE(outcome.Driver.Seen) << "the save dialog never appeared";
            EXPECT_EQ(path, outcome.Driver.NameBoxText);
            EXPECT_FALSE(outcome.Driver.GaveUp) << "the save dialog did not take the path";
        }
        EXPECT_TRUE(outcome.OptionsClosed);

        // One error box with its text, or nothing but the completion dialog.
        std::string seen;
        for (const SeenMessageBox& box : outcome.Boxes) {
            seen += "[" + box.Caption + ": " + box.Text + "] ";
        }
        if (expected == Result::Written) {
            EXPECT_TRUE(outcome.Boxes.empty()) << seen;
            EXPECT_EQ(1u, outcome.Completions.size());
        } else {
            std::string text = expected == Result::CannotOpen ? CannotOpenText : PathTooLongText;
            if (expected != Result::TooLong) text += "\n\n" + path + ReasonText(test.Reason);
            EXPECT_EQ(1u, outcome.Boxes.size()) << seen;
            for (const SeenMessageBox& box : outcome.Boxes) {
                EXPECT_EQ("Error", box.Caption);
                EXPECT_EQ(text, box.Text);
                EXPECT_TRUE(box.HasOk && box.HasIcon);
            }
            EXPECT_EQ(0u, outcome.Completions.size()) << "a failed write reported as done";
        }

        // The file: replaced or extended only by a write that succeeded, else as it was.
        if (test.Where != Place::Device) {
            std::string content = test.Existing ? Earlier : "";
            if (expected == Result::Written) {
                content = (test.Button == IDC_ADD_TO_CONFIG ? content : "") + WrittenBlock;
            }
            std::string bytes;
            const bool exists = ReadFileBytes(path, &bytes);
            if (test.Existing || expected == Result::Written) {
                EXPECT_TRUE(exists);
                EXPECT_EQ(content, bytes);
            } else {
                EXPECT_FALSE(exists) << "nothing may be created";
                EXPECT_EQ(std::vector<std::string>{}, FolderEntries(base)) << "nor anything else";
            }
        }
        if (test.Where == Place::CaseOnlyLink) {
            const std::string folder = path.substr(0, path.rfind('\\'));
            EXPECT_EQ(FileBytes(path), FileBytes(folder + "\\KEEP.cfg")) << "the link was cut";
            EXPECT_EQ(2u, FolderEntries(folder).size());
        }
        if (test.Where == Place::DanglingLink) {
            const std::string folder = path.substr(0, path.rfind('\\'));
            EXPECT_TRUE(NameIsTaken(path)) << "the link is gone";
            EXPECT_EQ(std::vector<std::string>{}, FolderEntries(folder));
        }
        EXPECT_FALSE(PathExists("Z:\\dev\\full.cfg"));
        EXPECT_EQ(1, App.Binds.BindCount);
    }
}

// --- a full disk -------------------------------------------------------------------------------

uint64_t FreeBytes(const std::string& folder) {
    ULARGE_INTEGER available = {}, total = {}, free = {};
    GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free);
    return available.QuadPart;
}

// On a small file system that is nearly full, with more binds than fit: the player's file keeps
// every byte, also where it is written in place (a second name, or a link from another disk),
// and a new name leaves no file behind, also beside the leftovers of writes that never ended and
// through a link from another disk.
TEST_F(WriteFaults, FullDiskLeavesEveryFileAsItWas) {
    const char* disk = std::getenv("CORVANE_SMALL_DISK");
    ULARGE_INTEGER available = {}, total = {}, free = {};
    if (!disk || !GetDiskFreeSpaceExA(disk, &available, &total, &free) ||
        total.QuadPart > 1024 * 1024) {
        GTEST_SKIP() << "no small file system at " << (disk ? disk : "CORVANE_SMALL_DISK")
                     << " (mounting one needs root)";
    }
    const std::string folder = disk;
    for (const std::string& name : FolderEntries(folder))
        DeleteFileA((folder + "\\" + name).c_str());
    const std::string keep = folder + "\\keep.cfg";
    const std::string earlier =
        "seta name \"player\"\r\nbind x \"kill\"\r\nbind c \"+button5\"\r\n";
    ASSERT_TRUE(PutFileBytes(keep, earlier));
    ASSERT_TRUE(PutFileBytes(folder + "\\shared.cfg", earlier));
    ASSERT_TRUE(CreateHardLinkW(WidePath(folder + "\\second.cfg").c_str(),
                                WidePath(folder + "\\shared.cfg").c_str(), nullptr));
    // A link from another disk to keep.cfg, made by the test run.
    const char* unixFiles = std::getenv("CORVANE_UNIX_FILES");
    const std::string links = unixFiles ? std::string(unixFiles) + "\\links" : "";
    for (int n = 0; n < 12; ++n) {
        ASSERT_TRUE(PutFileBytes(folder + "\\.corvane-" + std::to_string(n) + ".tmp", ""));
    }
    // tmpfs counts whole pages: one is left.
    ASSERT_TRUE(PutFileBytes(folder + "\\filler", std::string(FreeBytes(folder) - 4096, '\0')));
    ASSERT_EQ(4096u, FreeBytes(folder));
    for (int32_t i = App.Binds.BindCount; i < 1000; ++i) {
        std::snprintf(App.Binds.Slots[i].Text, BindSlotSize, "bind k%d \"+forward\"", i);
    }
    App.Binds.BindCount = 1000;
    const auto before = FolderContents(folder);

    const struct {
        const char* Name;
        int Button;
        const char* File;  // on the disk; null: the link of that name in links
        const char* Link;
    } cases[] = {
        {"new config over the player's file", IDC_WRITE_NEW_CONFIG, "keep.cfg", nullptr},
        {"new config over a file with a second name", IDC_WRITE_NEW_CONFIG, "second.cfg", nullptr},
        {"new config through a link to the player's file", IDC_WRITE_NEW_CONFIG, nullptr,
         "keep.cfg"},
        {"add to the player's file", IDC_ADD_TO_CONFIG, "keep.cfg", nullptr},
        {"new config on a new name", IDC_WRITE_NEW_CONFIG, "other.cfg", nullptr},
        {"add on a new name", IDC_ADD_TO_CONFIG, "other.cfg", nullptr},
        {"new config through a link to a new name", IDC_WRITE_NEW_CONFIG, nullptr, "new.cfg"},
        {"add through a link to a new name", IDC_ADD_TO_CONFIG, nullptr, "new.cfg"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        if (!test.File && links.empty()) {
            std::printf("[ INFO     ] %s: no link in CORVANE_UNIX_FILES\n", test.Name);
            continue;
        }
        const std::string path = test.File ? folder + "\\" + test.File : links + "\\" + test.Link;
        Outcome outcome = Write(test.Button, path);
        EXPECT_TRUE(outcome.Driver.Seen && !outcome.Driver.GaveUp)
            << "the save dialog took no path";
        ASSERT_EQ(1u, outcome.Boxes.size());
        EXPECT_EQ(std::string(CannotWriteText) + "\n\n" + path + "\n\n" + LeftAsItWasText +
                      ReasonText(DiskFullReason),
                  outcome.Boxes[0].Text);
        EXPECT_TRUE(outcome.Completions.empty()) << "a failed write reported as done";
        EXPECT_EQ(before, FolderContents(folder));
        if (!test.File) {
            // Wine lists no link that points nowhere.
            EXPECT_EQ(std::vector<std::string>{"keep.cfg"}, FolderEntries(links));
            EXPECT_TRUE(NameIsTaken(links + "\\new.cfg")) << "the link is gone";
        }
    }
    for (const std::string& name : FolderEntries(folder))
        DeleteFileA((folder + "\\" + name).c_str());
}

// --- what a file keeps ----------------------------------------------------------------------

// Owner, group and access list, as the system reports them; under Wine they are made from the
// file's Unix permissions.
std::string SecurityOf(const std::string& path) {
    std::string bytes(4096, '\0');
    DWORD needed = 0;
    if (!GetFileSecurityW(
            WidePath(path).c_str(),
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &bytes[0], static_cast<DWORD>(bytes.size()), &needed)) {
        return "";
    }
    bytes.resize(GetSecurityDescriptorLength(&bytes[0]));
    return bytes;
}

// The security of each file of the writer's as it is removed.
std::vector<std::string> BackupSecurities;
decltype(&::DeleteFileW) RealDelete;

BOOL WINAPI DeleteSeeingBackup(LPCWSTR file) {
    const std::string path = Utf8(file);
    if (path.find("\\.corvane-") != std::string::npos) {
        BackupSecurities.push_back(SecurityOf(path));
    }
    return RealDelete(file);
}

// Configs that others may not read, made by the test run: a new file in their folder would get
// other permissions, so a new config is written into each itself and its permissions stay. The
// copy of its old bytes is no more readable than the stricter of the two allows.
TEST_F(WriteFaults, NewConfigKeepsAPrivateFilesPermissions) {
    const char* unixFiles = std::getenv("CORVANE_UNIX_FILES");
    if (!unixFiles) GTEST_SKIP() << "no private files in CORVANE_UNIX_FILES";
    // Windows' replace keeps a file's security itself.
    if (TakesWindowsWay()) GTEST_SKIP() << "only under Wine";
    const std::string folder = std::string(unixFiles) + "\\private";
    ASSERT_TRUE(PutFileBytes(folder + "\\new", ""));
    const std::string anyNewFile = SecurityOf(folder + "\\new");
    ASSERT_TRUE(DeleteFileW(WidePath(folder + "\\new").c_str()));
    const std::string ownerAndGroupRead = SecurityOf(folder + "\\640.cfg");
    for (const char* name : {"600.cfg", "640.cfg"}) {
        SCOPED_TRACE(name);
        const std::string path = folder + "\\" + name;
        const std::string security = SecurityOf(path);
        ASSERT_NE("", security);
        ASSERT_NE(anyNewFile, security) << "the file's permissions are those of any new file";
        BackupSecurities.clear();
        RealDelete = SystemCalls.DeleteFileW;
        SystemCalls.DeleteFileW = DeleteSeeingBackup;
        Outcome outcome = Write(IDC_WRITE_NEW_CONFIG, path);
        SystemCalls.DeleteFileW = RealDelete;
        // The new file its folder would give it, refused, then the copy of the old bytes.
        EXPECT_EQ((std::vector<std::string>{anyNewFile, ownerAndGroupRead}), BackupSecurities);
        EXPECT_TRUE(outcome.Boxes.empty()) << outcome.Boxes[0].Text;
        EXPECT_EQ(1u, outcome.Completions.size());
        EXPECT_EQ(WrittenBlock, FileBytes(path));
        EXPECT_EQ(security, SecurityOf(path));
    }
    std::vector<std::string> left = FolderEntries(folder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"600.cfg", "640.cfg"}), left) << "nothing left behind";
}

// --- names in every script --------------------------------------------------------------------

// Typed into the save dialog as the player types them. The look-alike, the name the ANSI code
// page would make of the chosen one, belongs to somebody else and keeps its bytes.
TEST_F(WriteFaults, NamesInEveryScriptReachTheirOwnFile) {
    const struct {
        const char* Name;
        int Button;
        const char* Chosen;  // its folder is made first
        const char* LookAlike;
        bool Existing;  // the chosen file holds Earlier
    } cases[] = {
        {"add in a Polish folder", IDC_ADD_TO_CONFIG, "\u0141ukasz\\keep.cfg", "Lukasz\\keep.cfg",
         true},
        {"new config, Polish name", IDC_WRITE_NEW_CONFIG, "\u0142.cfg", "l.cfg", false},
        {"new config over a Turkish name", IDC_WRITE_NEW_CONFIG, "\u011f\u0131\u015f.cfg",
         "gis.cfg", true},
        {"new config in a Cyrillic folder", IDC_WRITE_NEW_CONFIG,
         "\u0414\u043c\u0438\u0442\u0440\u0438\u0439\\x.cfg", nullptr, false},
        {"add in a Chinese folder", IDC_ADD_TO_CONFIG, "\u73a9\u5bb6\\x.cfg", nullptr, true},
        {"new config beyond the basic plane", IDC_WRITE_NEW_CONFIG, "\U0001F3AE.cfg", nullptr,
         false},
    };
    int index = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        const std::string base = Folder + "\\" + std::to_string(++index);
        const std::string path = base + "\\" + test.Chosen;
        const std::string lookAlike = test.LookAlike ? base + "\\" + test.LookAlike : "";
        const auto makeFolderOf = [](const std::string& file) {
            CreateDirectoryW(WidePath(file.substr(0, file.rfind('\\'))).c_str(), nullptr);
        };
        CreateDirectoryW(WidePath(base).c_str(), nullptr);
        makeFolderOf(path);
        if (test.LookAlike) makeFolderOf(lookAlike);
        ASSERT_TRUE(!test.Existing || PutFileBytes(path, Earlier));
        ASSERT_TRUE(!test.LookAlike || PutFileBytes(lookAlike, Earlier));

        Outcome outcome = Write(test.Button, path);
        EXPECT_EQ(path, outcome.Driver.NameBoxText);
        EXPECT_FALSE(outcome.Driver.GaveUp) << "the save dialog did not take the name";
        EXPECT_TRUE(outcome.Boxes.empty()) << outcome.Boxes[0].Text;
        EXPECT_EQ(1u, outcome.Completions.size());
        const bool kept = test.Existing && test.Button == IDC_ADD_TO_CONFIG;
        EXPECT_EQ((kept ? Earlier : "") + WrittenBlock, FileBytes(path));
        if (test.LookAlike) {
            EXPECT_EQ(Earlier, FileBytes(lookAlike)) << "the look-alike was written";
        }
    }
}

}  // namespace
