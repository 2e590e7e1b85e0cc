#include "write_options.h"

#include <commdlg.h>

#include "../output/config_writer.h"
#include "../resources/resource.h"
#include "app.h"

SavePathPrompt AskSavePath = AskWithSaveDialog;

static char FileNameBuffer[FileNameBufferSize];

// The common dialogs library is loaded when the save dialog is first needed: linked in, it would
// bring its own dependencies into every start of the program.
static HMODULE CommonDialogs;

template <typename Function>
static Function CommonDialogFunction(const char* name) {
    if (!CommonDialogs) CommonDialogs = LoadLibraryA("comdlg32.dll");
    if (!CommonDialogs) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(CommonDialogs, name)));
}

SavePathAnswer AskWithSaveDialog(HWND owner, char* path) {
    using GetSaveFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEA*);
    using ExtendedErrorFunction = DWORD(WINAPI*)();
    auto getSaveFileName = CommonDialogFunction<GetSaveFileNameFunction>("GetSaveFileNameA");
    auto extendedError = CommonDialogFunction<ExtendedErrorFunction>("CommDlgExtendedError");
    if (!getSaveFileName || !extendedError) return SaveDialogFailed;

    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = "Config File\0*.cfg\0All Files\0*.*\0";
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = FileNameBufferSize;
    request.Flags = OFN_EXPLORER;
    request.lpstrDefExt = "cfg";
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

// fate, when given, says what became of the file.
static void ReportWriteError(HWND owner, const char* what, const char* path,
                             const char* fate = nullptr) {
    char message[FileNameBufferSize + 192];
    wsprintfA(message, fate ? "%s\n\n%s\n\n%s" : "%s\n\n%s", what, path, fate);
    MessageBoxA(owner, message, "Error", MB_OK | MB_ICONERROR);
}

int AppState::ConfigWriter(const char* writeMode) {
    FileNameBuffer[0] = '\0';
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
    int32_t writtenLength = 0;
    switch (WriteConfigFile(Binds, FileNameBuffer, writeMode, &writtenLength)) {
        case ConfigWritten:
            SizeGauge(writtenLength);
            break;
        case ConfigOpenFailed:
            ReportWriteError(MainDialog,
                             "The config file could not be opened for writing:", FileNameBuffer);
            break;
        case ConfigWriteFailed:
            ReportWriteError(MainDialog,
                             "The config file could not be written completely:", FileNameBuffer,
                             "The file has been left as it was.");
            break;
        case ConfigPartlyWritten:
            ReportWriteError(MainDialog,
                             "The config file could not be written completely:", FileNameBuffer,
                             "The file may now hold part of the new text.");
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
