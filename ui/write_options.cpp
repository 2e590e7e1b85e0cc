#include "write_options.h"

#include <commdlg.h>

#include "../output/config_writer.h"
#include "../resources/resource.h"
#include "app.h"

SavePathPrompt AskSavePath = AskWithSaveDialog;

static wchar_t FileNameBuffer[FileNameBufferSize];
// The same name in UTF-8, as the config file writer takes it.
static char FileNamePath[PathBufferSize];

// The common dialogs library is loaded when the save dialog is first needed: linked in, it would
// bring its own dependencies into every start of the program.
static HMODULE CommonDialogs;

template <typename Function>
static Function CommonDialogFunction(const char* name) {
    if (!CommonDialogs) CommonDialogs = LoadLibraryA("comdlg32.dll");
    if (!CommonDialogs) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(CommonDialogs, name)));
}

SavePathAnswer AskWithSaveDialog(HWND owner, wchar_t* path) {
    using GetSaveFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
    using ExtendedErrorFunction = DWORD(WINAPI*)();
    auto getSaveFileName = CommonDialogFunction<GetSaveFileNameFunction>("GetSaveFileNameW");
    auto extendedError = CommonDialogFunction<ExtendedErrorFunction>("CommDlgExtendedError");
    if (!getSaveFileName || !extendedError) return SaveDialogFailed;

    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    request.hwndOwner = owner;
    request.lpstrFilter = L"Config File\0*.cfg\0All Files\0*.*\0";
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = FileNameBufferSize;
    request.Flags = OFN_EXPLORER;
    request.lpstrDefExt = L"cfg";
    if (getSaveFileName(&request)) return SavePathChosen;
    switch (extendedError()) {
        case 0:
            return SaveCancelled;
        case FNERR_BUFFERTOOSMALL:
            return SavePathTooLong;
        default:
            return SaveDialogFailed;
    }
}

// Appends the ASCII text to the wide one.
static void AppendText(wchar_t* to, const char* text) {
    to += lstrlenW(to);
    while ((*to++ = static_cast<unsigned char>(*text++)) != 0) {
    }
}

// Room for the system's text of an error code, in the player's language.
constexpr int ReasonSize = 512;

// Why the write failed, in one sentence that says what the player can do, or in the system's own
// words with the code after them, to search for.
static void AppendReason(wchar_t* message, const WriteFailure& why) {
    const char* own[] = {
        nullptr,
        nullptr,
        "This name belongs to a device, not to a file. Choose another name.",
        "This name is too long for the disk. Choose a shorter name.",
        "The file is read-only. Untick Read-only in its Properties, or choose another name.",
        "Another program has the file open. Close that program, then write again.",
        "The disk is full. Free some space, then write again.",
    };
    static_assert(sizeof own / sizeof *own == FailureDiskFull + 1, "a sentence for every kind");
    if (why.Kind != FailureSystem) {
        if (!own[why.Kind]) return;
        AppendText(message, "\n\n");
        AppendText(message, own[why.Kind]);
        return;
    }
    wchar_t text[ReasonSize] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, why.Code, 0, text, ReasonSize - 16, nullptr);
    // The system's texts end in a line break.
    while (length > 0 &&
           (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        text[--length] = L'\0';
    }
    AppendText(message, "\n\n");
    if (length == 0) AppendText(message, "Windows refused it.");
    lstrcatW(message, text);
    char code[16];
    wsprintfA(code, " (%lu)", static_cast<unsigned long>(why.Code));
    AppendText(message, code);
}

// The name is shown as the player chose it, in whatever script. fate, when given, says what
// became of the file; the reason comes last.
static void ReportWriteError(HWND owner, const char* what, const wchar_t* path,
                             const WriteFailure& why, const char* fate = nullptr) {
    wchar_t message[FileNameBufferSize + 192 + ReasonSize] = {};
    AppendText(message, what);
    AppendText(message, "\n\n");
    lstrcatW(message, path);
    if (fate) {
        AppendText(message, "\n\n");
        AppendText(message, fate);
    }
    AppendReason(message, why);
    MessageBoxW(owner, message, L"Error", MB_OK | MB_ICONERROR);
}

// Neither the old text nor the new one is under the chosen name: the player is told where each
// is, so that either can be given the name by hand.
static void ReportNameLost(HWND owner, const wchar_t* path, const KeptNames& kept,
                           const WriteFailure& why) {
    char fate[128] = "Its old text is now in ";
    lstrcatA(fate, kept.Old);
    lstrcatA(fate, " and the new text in ");
    lstrcatA(fate, kept.New);
    lstrcatA(fate, ", in the same folder.");
    ReportWriteError(owner, "The config file could not be written completely:", path, why, fate);
}

int AppState::ConfigWriter(const char* writeMode) {
    FileNameBuffer[0] = L'\0';
    switch (AskSavePath(MainDialog, FileNameBuffer)) {
        case SavePathChosen:
            break;
        case SaveCancelled:
            return 1;
        case SavePathTooLong:
            MessageBoxA(MainDialog,
                        "The chosen file name is too long. Please choose a shorter path for the "
                        "config file.",
                        "Error", MB_OK | MB_ICONERROR);
            return 1;
        case SaveDialogFailed:
            MessageBoxA(MainDialog, "The save dialog could not be shown.", "Error",
                        MB_OK | MB_ICONERROR);
            return 1;
    }
    // A name that is not whole UTF-16 (a lone surrogate) has no UTF-8 form, and is not opened.
    const bool named = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, FileNameBuffer, -1,
                                           FileNamePath, sizeof FileNamePath, nullptr, nullptr) > 0;
    int32_t writtenLength = 0;
    KeptNames kept;
    WriteFailure why = {};
    // Other programs' holds on the files may keep the write waiting for a few seconds.
    const HCURSOR cursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const WriteOutcome outcome =
        named ? WriteConfigFile(Binds, FileNamePath, writeMode, &writtenLength, &kept, &why)
              : ConfigOpenFailed;
    SetCursor(cursor);
    switch (outcome) {
        case ConfigWritten:
            SizeGauge(writtenLength);
            break;
        case ConfigOpenFailed:
            ReportWriteError(MainDialog,
                             "The config file could not be opened for writing:", FileNameBuffer,
                             why);
            break;
        case ConfigWriteFailed:
            ReportWriteError(MainDialog,
                             "The config file could not be written completely:", FileNameBuffer,
                             why, "The file has been left as it was.");
            break;
        case ConfigPartlyWritten:
            ReportWriteError(MainDialog,
                             "The config file could not be written completely:", FileNameBuffer,
                             why, "The file may now hold part of the new text.");
            break;
        case ConfigNameLost:
            ReportNameLost(MainDialog, FileNameBuffer, kept, why);
            break;
    }
    return 1;
}

// The dialog goes once the writer has returned, so it stays on screen during the save dialog.
// It is destroyed, as EndDialog would only hide a modeless dialog.
INT_PTR CALLBACK WriteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return 0;
    switch (wParam) {
        case IDC_ADD_TO_CONFIG:
            App.ConfigWriter("a+");
            DestroyWindow(dialog);
            break;
        case IDC_WRITE_NEW_CONFIG:
            App.ConfigWriter("w");
            DestroyWindow(dialog);
            break;
        case IDC_WRITE_CANCEL:
            DestroyWindow(dialog);
            break;
    }
    return 0;
}
