// Helpers shared by every test program: temporary folders and files, registry
// areas that are restored after a test, message pumping, answering message
// boxes and dialogs without a person, and starting other programs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tpx::test {

inline constexpr char kAppKey[] = "Software\\Brindlecourt\\Tapestrix";
inline constexpr char kGeneralKey[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\General";
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";

// ---------------------------------------------------------------- messages

// Dispatches this thread's messages for at least `ms` milliseconds.
void PumpMessages(DWORD ms = 0);
// Pumps messages until `pred` holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

// ---------------------------------------------------------------- files

// A fresh folder under %TEMP%, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool WriteFileText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
bool MakeDirs(const std::string& path);  // creates every missing level
void RemoveTree(const std::string& path);
std::string ExeDir();                     // folder of the running test program

// Moves a file away for the guard's lifetime and puts it back after (a test
// that needs the help file beside the programs to be missing, for instance).
class FileSetAside {
public:
    explicit FileSetAside(std::string path);
    ~FileSetAside();
    FileSetAside(const FileSetAside&) = delete;
    FileSetAside& operator=(const FileSetAside&) = delete;

private:
    std::string m_path;
};

// Writes a 24-bit bottom-up Windows bitmap filled by `pixel(x, y)`.
bool WriteBmp(const std::string& path, int width, int height,
              const std::function<COLORREF(int x, int y)>& pixel);
bool WriteSolidBmp(const std::string& path, int width, int height, COLORREF colour);
// Reads a bitmap file the way the desktop would (LoadImageA) and samples it.
struct BitmapInfo {
    bool ok = false;
    int width = 0;
    int height = 0;
};
BitmapInfo ReadBmpInfo(const std::string& path);
COLORREF ReadBmpPixel(const std::string& path, int x, int y);  // CLR_INVALID on failure
// True when two colours differ by at most `tolerance` in every channel.
bool ColourNear(COLORREF a, COLORREF b, int tolerance);

// ---------------------------------------------------------------- damaged pictures

// A bitmap file's bytes, made here and never stored, and whether a careful
// reader may hand it to the system's loaders.
struct BitmapCase {
    std::string name;
    std::vector<uint8_t> bytes;
    bool sound = false;
};
// The bytes of a 24-bit bottom-up bitmap of one colour.
std::vector<uint8_t> SolidBmpBytes(int width, int height, COLORREF colour);
// The three damaged files users meet, each made from a 320 x 200 24-bit
// bitmap: bfOffBits 0x7FFFFFF0, cut right after its 54 bytes of headers, cut
// at half its size.
std::vector<BitmapCase> DamagedBitmaps();
// One bent header field per case (offsets, heights, palettes, RLE streams,
// sizes that overflow), with sound bitmaps of each kind beside them.
std::vector<BitmapCase> BitmapHeaderCases();

// The same kinds of damage in a JPEG and a GIF made from `jpeg` and `gif`
// (whole pictures): cut after the headers and at half, sizes bent to absurd
// or zero, a GIF image placed far outside its screen.  Names end in .jpg or
// .gif; the order is fixed, so callers may pair them with expectations.
std::vector<BitmapCase> DamagedJpegsAndGifs(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& gif);

// ---------------------------------------------------------------- registry

void DeleteKeyTree(HKEY root, const std::string& subKey);
bool CreateKey(HKEY root, const std::string& subKey);
bool KeyExists(HKEY root, const std::string& subKey);
bool SetRegString(HKEY root, const std::string& subKey, const std::string& name, const std::string& value);
bool SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value);
bool SetRegBinary(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                  const void* data, DWORD size);
std::optional<std::string> GetRegString(HKEY root, const std::string& subKey, const std::string& name);
std::optional<DWORD> GetRegDword(HKEY root, const std::string& subKey, const std::string& name);
std::optional<DWORD> GetRegType(HKEY root, const std::string& subKey, const std::string& name);
bool DeleteRegValue(HKEY root, const std::string& subKey, const std::string& name);

// Captures a key's whole subtree (or its absence) and puts it back exactly
// at destruction, so a test may change the shell's and the program's values.
// A key that existed is restored in place, never deleted and recreated.
class RegistrySnapshot {
public:
    RegistrySnapshot(HKEY root, std::string subKey);
    ~RegistrySnapshot();
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

    struct Value {
        std::string name;
        DWORD type = 0;
        std::vector<uint8_t> data;
    };
    struct Node {
        std::vector<Value> values;
        std::vector<std::pair<std::string, Node>> children;
    };

private:
    HKEY m_root;
    std::string m_subKey;
    bool m_existed = false;
    Node m_tree;
};

// The program's own key, emptied for one test and restored afterwards,
// together with the shell values the program reads and writes.
class AppRegistryScope {
public:
    explicit AppRegistryScope(bool createAppKey = true);
    void Set(const std::string& name, DWORD value) const;
    void Set(const std::string& name, const std::string& value) const;

private:
    RegistrySnapshot m_app{HKEY_CURRENT_USER, kAppKey};
    RegistrySnapshot m_general{HKEY_CURRENT_USER, kGeneralKey};
    RegistrySnapshot m_desktop{HKEY_CURRENT_USER, kDesktopKey};
};

// ---------------------------------------------------------------- dialogs

struct DialogSeen {
    std::string caption;
    std::string text;    // the message box's text (static control 0xFFFF)
    int answer = 0;      // the button pressed
};

// Answers every dialog (class "#32770": message boxes, common dialogs) that
// this thread creates, from a WH_CBT hook, and records what it saw.  Each
// dialog takes the next queued answer, or `fallback` when none is queued.
// A custom handler may act on the dialog instead (fill a file name, ...)
// and return the button to press.
class DialogAnswerer {
public:
    explicit DialogAnswerer(int fallback = IDOK);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    void Queue(int button) { m_queue.push_back(button); }
    void SetHandler(std::function<int(HWND, const DialogSeen&)> handler) { m_handler = std::move(handler); }
    const std::vector<DialogSeen>& Seen() const { return m_seen; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND hwnd);

    HHOOK m_hook = nullptr;
    int m_fallback;
    std::vector<int> m_queue;
    std::vector<DialogSeen> m_seen;
    std::vector<HWND> m_handled;
    std::function<int(HWND, const DialogSeen&)> m_handler;
};

// Reads a dialog's caption and message text (any process).
DialogSeen ReadDialog(HWND hwnd);
// Presses a button of a dialog (any process).
void PressButton(HWND dialog, int id);

// ---------------------------------------------------------------- system calls

// Points this program's import of `function` (by name) at `replacement` and
// stores the previous target in *original; TRUE when the slot was found.
// Product code linked into a test program calls the system through these
// slots, so a test can record calls or play a file system Wine cannot be.
bool PatchImport(const char* function, const void* replacement, void* original);

// ---------------------------------------------------------------- processes

// Top-level windows of a process, optionally filtered by class and title.
std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className = nullptr,
                                   const char* title = nullptr, bool visibleOnly = false);

// The program's hidden main dialog in process `pid` (its message boxes carry
// the same title but are shown); null while there is none.
HWND MainDialogOf(DWORD pid);
// The settings sheet process `pid` shows (the shown dialog with tabs); null
// while there is none.
HWND SettingsSheetOf(DWORD pid);
// Whether the shell holds the tray icon of `owner`, waiting up to timeoutMs:
// Wine's tray answers a NIM_MODIFY that changes nothing only for an icon it
// holds.  With 0 it asks once and pumps nothing.
bool TrayHasIcon(HWND owner, DWORD timeoutMs = 5000);
// The normal desktop's wallpaper as the shell recorded it.
std::string NormalWallpaper();
// Waits for a visible "#32770" window of the process (a message box, say).
HWND WaitForDialogOf(DWORD pid, DWORD timeoutMs = 10000);

// A child program; killed at destruction if it is still running.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& exePath, const std::string& args = {});
    DWORD Pid() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    bool IsRunning() const;
    // TRUE when the process ended within the time; its exit code in *code.
    bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
    void Kill();

private:
    PROCESS_INFORMATION m_pi{};
};

}  // namespace tpx::test
