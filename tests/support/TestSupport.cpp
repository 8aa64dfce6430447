#include "TestSupport.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tpx::test {

// ---------------------------------------------------------------- messages

void PumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        PumpMessages(10);
    }
    return true;
}

// ---------------------------------------------------------------- files

TempDir::TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter;
    for (;;) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%stpxtest-%lu-%u", base,
                      static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            m_path = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(h);
    return ok && written == size;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = GetFileSize(h, nullptr);
    if (size != INVALID_FILE_SIZE) {
        bytes.resize(size);
        DWORD read = 0;
        if (!ReadFile(h, bytes.data(), size, &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    CloseHandle(h);
    return bytes;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirs(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            const std::string part = path.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

// In UTF-16: a name of many non-Latin characters overflows the A find data.
static void RemoveTreeW(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A link to a folder is removed as a link, never followed.
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTreeW(full);
            else if (!DeleteFileW(full.c_str()))
                RemoveDirectoryW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path)
{
    std::wstring wide(path.size() + 1, L'\0');
    const int count = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (count <= 1)
        return;
    wide.resize(static_cast<size_t>(count - 1));
    RemoveTreeW(wide);
}

FileSetAside::FileSetAside(std::string path) : m_path(std::move(path))
{
    MoveFileExA(m_path.c_str(), (m_path + ".away").c_str(), MOVEFILE_REPLACE_EXISTING);
}

FileSetAside::~FileSetAside()
{
    MoveFileExA((m_path + ".away").c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ExeDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    const size_t slash = s.find_last_of('\\');
    return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

bool WriteBmp(const std::string& path, int width, int height,
              const std::function<COLORREF(int, int)>& pixel)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(stride * height);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::vector<uint8_t> bytes(fh.bfSize);
    std::memcpy(bytes.data(), &fh, sizeof fh);
    std::memcpy(bytes.data() + sizeof fh, &ih, sizeof ih);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + fh.bfOffBits + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            row[x * 3 + 0] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

bool WriteSolidBmp(const std::string& path, int width, int height, COLORREF colour)
{
    return WriteBmp(path, width, height, [colour](int, int) { return colour; });
}

BitmapInfo ReadBmpInfo(const std::string& path)
{
    BitmapInfo info;
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bmp)
        return info;
    BITMAP bm{};
    if (GetObjectA(bmp, sizeof bm, &bm)) {
        info.ok = true;
        info.width = bm.bmWidth;
        info.height = bm.bmHeight;
    }
    DeleteObject(bmp);
    return info;
}

COLORREF ReadBmpPixel(const std::string& path, int x, int y)
{
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bmp)
        return CLR_INVALID;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    return c;
}

bool ColourNear(COLORREF a, COLORREF b, int tolerance)
{
    auto within = [tolerance](int p, int q) { return p - q <= tolerance && q - p <= tolerance; };
    return within(GetRValue(a), GetRValue(b)) && within(GetGValue(a), GetGValue(b)) &&
           within(GetBValue(a), GetBValue(b));
}

// ---------------------------------------------------------------- registry

void DeleteKeyTree(HKEY root, const std::string& subKey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    for (;;) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteKeyTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, subKey.c_str());
}

bool CreateKey(HKEY root, const std::string& subKey)
{
    HKEY key;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyExists(HKEY root, const std::string& subKey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetRegBinary(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                  const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::string& subKey, const std::string& name, const std::string& value)
{
    return SetRegBinary(root, subKey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value)
{
    return SetRegBinary(root, subKey, name, REG_DWORD, &value, sizeof value);
}

static bool QueryValue(HKEY root, const std::string& subKey, const std::string& name, DWORD* type,
                       std::vector<uint8_t>* data)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS && data) {
        data->resize(size);
        rc = RegQueryValueExA(key, name.c_str(), nullptr, type, data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::optional<std::string> GetRegString(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (!QueryValue(root, subKey, name, &type, &data))
        return std::nullopt;
    std::string s(data.begin(), data.end());
    const size_t nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    return s;
}

std::optional<DWORD> GetRegDword(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (!QueryValue(root, subKey, name, &type, &data) || data.size() < sizeof(DWORD))
        return std::nullopt;
    DWORD v;
    std::memcpy(&v, data.data(), sizeof v);
    return v;
}

std::optional<DWORD> GetRegType(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    if (!QueryValue(root, subKey, name, &type, nullptr))
        return std::nullopt;
    return type;
}

bool DeleteRegValue(HKEY root, const std::string& subKey, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

static void CaptureTree(HKEY key, RegistrySnapshot::Node* node)
{
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        RegistrySnapshot::Value v;
        v.name.assign(name, nameLen);
        v.type = type;
        v.data.resize(size);
        nameLen = sizeof name;
        RegEnumValueA(key, i, name, &nameLen, nullptr, &type, v.data.data(), &size);
        v.data.resize(size);
        node->values.push_back(std::move(v));
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            node->children.emplace_back(name, RegistrySnapshot::Node{});
            CaptureTree(child, &node->children.back().second);
            RegCloseKey(child);
        }
    }
}

// Puts a key back the way it was without deleting it first: the system
// keeps some keys open in every process (Wine's "Control Panel\Desktop" is
// its win.ini section), and a deleted and recreated key is a different key.
static void RestoreTree(HKEY root, const std::string& path, const RegistrySnapshot::Node& node)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegistrySnapshot::Node now;
    CaptureTree(key, &now);
    for (const auto& v : now.values) {
        bool keep = false;
        for (const auto& old : node.values)
            keep = keep || _stricmp(old.name.c_str(), v.name.c_str()) == 0;
        if (!keep)
            RegDeleteValueA(key, v.name.c_str());
    }
    for (const auto& v : node.values)
        RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    for (const auto& [name, child] : now.children) {
        bool keep = false;
        for (const auto& old : node.children)
            keep = keep || _stricmp(old.first.c_str(), name.c_str()) == 0;
        if (!keep)
            DeleteKeyTree(key, name);
    }
    RegCloseKey(key);
    for (const auto& [name, child] : node.children)
        RestoreTree(root, path + "\\" + name, child);
}

RegistrySnapshot::RegistrySnapshot(HKEY root, std::string subKey) : m_root(root), m_subKey(std::move(subKey))
{
    HKEY key;
    if (RegOpenKeyExA(m_root, m_subKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        m_existed = true;
        CaptureTree(key, &m_tree);
        RegCloseKey(key);
    }
}

RegistrySnapshot::~RegistrySnapshot()
{
    if (m_existed)
        RestoreTree(m_root, m_subKey, m_tree);
    else
        DeleteKeyTree(m_root, m_subKey);
}

AppRegistryScope::AppRegistryScope(bool createAppKey)
{
    DeleteKeyTree(HKEY_CURRENT_USER, kAppKey);
    if (createAppKey)
        CreateKey(HKEY_CURRENT_USER, kAppKey);
}

void AppRegistryScope::Set(const std::string& name, DWORD value) const
{
    SetRegDword(HKEY_CURRENT_USER, kAppKey, name, value);
}

void AppRegistryScope::Set(const std::string& name, const std::string& value) const
{
    SetRegString(HKEY_CURRENT_USER, kAppKey, name, value);
}

// ---------------------------------------------------------------- dialogs

static DialogAnswerer* g_answerer;  // the hook has no user data

DialogAnswerer::DialogAnswerer(int fallback) : m_fallback(fallback)
{
    g_answerer = this;
    m_hook = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    g_answerer = nullptr;
}

LRESULT CALLBACK DialogAnswerer::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_answerer)
        g_answerer->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogAnswerer::OnActivate(HWND hwnd)
{
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0)
        return;
    for (HWND seen : m_handled)
        if (seen == hwnd)
            return;  // activated again: answered already
    m_handled.push_back(hwnd);
    DialogSeen d = ReadDialog(hwnd);
    int answer = m_fallback;
    if (!m_queue.empty()) {
        answer = m_queue.front();
        m_queue.erase(m_queue.begin());
    }
    if (m_handler)
        answer = m_handler(hwnd, d);
    d.answer = answer;
    m_seen.push_back(d);
    if (answer)
        PressButton(hwnd, answer);
}

DialogSeen ReadDialog(HWND hwnd)
{
    DialogSeen d;
    char buf[4096] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    d.caption = buf;
    buf[0] = 0;
    if (HWND text = GetDlgItem(hwnd, 0xFFFF)) {
        GetWindowTextA(text, buf, sizeof buf);
        d.text = buf;
    }
    return d;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// ---------------------------------------------------------------- system calls

bool PatchImport(const char* function, const void* replacement, void* original)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && dll->Name; ++dll)
        for (auto *name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk),
                  *slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
             name->u1.AddressOfData; ++name, ++slot)
            if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                !std::strcmp(reinterpret_cast<PIMAGE_IMPORT_BY_NAME>(base + name->u1.AddressOfData)->Name, function)) {
                DWORD protect = 0;
                VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protect);
                std::memcpy(original, &slot->u1.Function, sizeof(void*));
                std::memcpy(&slot->u1.Function, &replacement, sizeof(void*));
                VirtualProtect(&slot->u1.Function, sizeof(void*), protect, &protect);
                return true;
            }
    return false;
}

// ---------------------------------------------------------------- processes

namespace {
struct EnumState {
    DWORD pid;
    const char* cls;
    const char* title;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK EnumProc(HWND hwnd, LPARAM lParam)
{
    auto* st = reinterpret_cast<EnumState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != st->pid)
        return TRUE;
    if (st->visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    char buf[512] = {};
    if (st->cls) {
        GetClassNameA(hwnd, buf, sizeof buf);
        if (std::strcmp(buf, st->cls) != 0)
            return TRUE;
    }
    if (st->title) {
        GetWindowTextA(hwnd, buf, sizeof buf);
        if (std::strcmp(buf, st->title) != 0)
            return TRUE;
    }
    st->found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className, const char* title, bool visibleOnly)
{
    EnumState st{pid, className, title, visibleOnly, {}};
    EnumWindows(EnumProc, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

HWND MainDialogOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", "Tapestrix"))
        if (!IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

HWND SettingsSheetOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", nullptr, true))
        if (FindWindowExA(hwnd, nullptr, "SysTabControl32", nullptr))
            return hwnd;
    return nullptr;
}

bool TrayHasIcon(HWND owner, DWORD timeoutMs)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = 128;
    return WaitFor([&] { return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE; }, timeoutMs);
}

std::string NormalWallpaper()
{
    return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper").value_or("(none)");
}

HWND WaitForDialogOf(DWORD pid, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            auto v = WindowsOfProcess(pid, "#32770", nullptr, true);
            found = v.empty() ? nullptr : v.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const std::string& exePath, const std::string& args)
{
    Kill();
    std::string cmd = "\"" + exePath + "\"";
    if (!args.empty())
        cmd += " " + args;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    const std::string dir = exePath.substr(0, exePath.find_last_of('\\'));
    return CreateProcessA(exePath.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.c_str(), &si, &m_pi) != FALSE;
}

bool ChildProcess::IsRunning() const
{
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* code)
{
    if (!m_pi.hProcess)
        return false;
    const bool ended = WaitFor([this] { return !IsRunning(); }, timeoutMs);
    if (ended && code)
        GetExitCodeProcess(m_pi.hProcess, code);
    return ended;
}

void ChildProcess::Kill()
{
    if (!m_pi.hProcess)
        return;
    if (IsRunning()) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
    m_pi = PROCESS_INFORMATION{};
}

}  // namespace tpx::test

// ---------------------------------------------------------------- damaged pictures

namespace tpx::test {

namespace {

// A bitmap file built field by field: the file header, an info header,
// `palette` entries and `pixels`, with bfOffBits right after the palette.
struct BmpBuilder {
    BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), 8, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> palette;
    std::vector<uint8_t> pixels;

    std::vector<uint8_t> Bytes() const
    {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof info + palette.size());
        file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
        std::vector<uint8_t> bytes(file.bfSize);
        std::memcpy(bytes.data(), &file, sizeof file);
        std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
        std::copy(palette.begin(), palette.end(), bytes.begin() + sizeof file + sizeof info);
        std::copy(pixels.begin(), pixels.end(), bytes.begin() + file.bfOffBits);
        return bytes;
    }
};

template <class T>
void Poke(std::vector<uint8_t>& bytes, size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// An 8 x 4 RLE bitmap (8 or 4 bits) of the stream `rle`.
BmpBuilder Rle(int bits, std::vector<uint8_t> rle)
{
    BmpBuilder b;
    b.info.biBitCount = static_cast<WORD>(bits);
    b.info.biCompression = bits == 8 ? BI_RLE8 : BI_RLE4;
    b.info.biSizeImage = static_cast<DWORD>(rle.size());
    b.palette.assign((1u << bits) * 4, 0x80);
    b.pixels = std::move(rle);
    return b;
}

}  // namespace

std::vector<uint8_t> SolidBmpBytes(int width, int height, COLORREF colour)
{
    BmpBuilder b;
    b.info.biWidth = width;
    b.info.biHeight = height;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    b.info.biSizeImage = static_cast<DWORD>(stride * height);
    b.pixels.assign(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b.pixels[y * stride + x * 3];
            p[0] = GetBValue(colour), p[1] = GetGValue(colour), p[2] = GetRValue(colour);
        }
    return b.Bytes();
}

std::vector<BitmapCase> DamagedBitmaps()
{
    const std::vector<uint8_t> good = SolidBmpBytes(320, 200, RGB(200, 40, 160));
    std::vector<uint8_t> offset = good;
    Poke<DWORD>(offset, 10, 0x7FFFFFF0);
    return {{"offset 0x7FFFFFF0", offset},
            {"cut after the headers", {good.begin(), good.begin() + 54}},
            {"cut at half", {good.begin(), good.begin() + good.size() / 2}}};
}

std::vector<BitmapCase> BitmapHeaderCases()
{
    std::vector<BitmapCase> cases;
    auto add = [&](const char* name, const std::vector<uint8_t>& bytes, bool sound) {
        cases.push_back({name, bytes, sound});
    };
    auto bent = [&](const char* name, size_t at, auto value, const std::vector<uint8_t>& from) {
        std::vector<uint8_t> bytes = from;
        Poke(bytes, at, value);
        add(name, bytes, false);
    };
    const std::vector<uint8_t> plain = SolidBmpBytes(8, 4, RGB(10, 200, 10));
    const uint8_t rows8[] = {8, 1, 0, 0, 4, 2, 4, 3, 0, 0, 0, 3, 1, 2, 3, 0, 5, 1, 0, 0, 8, 4, 0, 1};
    const std::vector<uint8_t> rle8(rows8, rows8 + sizeof rows8);
    const uint8_t rows4[] = {8, 0x12, 0, 0, 0, 4, 0x12, 0x34, 0, 4, 0x56, 0x70, 0, 0, 0, 2, 1, 1, 6, 0x11, 0, 1};

    add("sound 24-bit", plain, true);
    bent("sound top-down", 22, LONG(-4), plain);
    cases.back().sound = true;
    add("sound RLE8", Rle(8, rle8).Bytes(), true);
    add("sound RLE4", Rle(4, {rows4, rows4 + sizeof rows4}).Bytes(), true);

    bent("offset one past the end", 10, DWORD(plain.size() + 1), plain);
    bent("offset 0x7FFFFFF0", 10, DWORD(0x7FFFFFF0), plain);
    bent("offset inside the headers", 10, DWORD(20), plain);
    bent("height 0", 22, LONG(0), plain);
    bent("height most negative", 22, LONG(0x80000000), plain);
    bent("height absurd", 22, LONG(0x7FFFFFF0), plain);
    bent("height 5 of 4 rows", 22, LONG(5), plain);
    {
        std::vector<uint8_t> b = plain;
        Poke(b, 18, LONG(0x10000));
        Poke(b, 22, LONG(0x10000));
        add("width x height overflows 32 bits", b, false);
        Poke(b, 18, LONG(0x15555556));  // x 24 bits wraps to 16
        Poke(b, 22, LONG(1));
        add("width x bits overflows 32 bits", b, false);
    }
    bent("header size 64", 14, DWORD(64), plain);
    bent("header size past the end", 14, DWORD(0x7FFFFFFF), plain);
    bent("7 bits per pixel", 28, WORD(7), plain);
    bent("JPEG inside", 30, DWORD(BI_JPEG), plain);
    {
        BmpBuilder b = Rle(8, rle8);
        b.info.biClrUsed = 256;  // the file holds 256, the stream needs them
        std::vector<uint8_t> bytes = b.Bytes();
        bytes.resize(14 + 40 + 100);
        add("palette past the end", bytes, false);
        b.info.biClrUsed = 0x40000001;
        add("palette count absurd", b.Bytes(), false);
    }
    auto rle = [&](const char* name, int bits, std::vector<uint8_t> stream, LONG height = 4) {
        BmpBuilder b = Rle(bits, std::move(stream));
        b.info.biHeight = height;
        add(name, b.Bytes(), false);
    };
    rle("RLE8 run past the row", 8, {9, 1, 0, 1});
    rle("RLE8 rows past the image", 8, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 1, 0, 1});
    rle("RLE8 delta past the image", 8, {0, 2, 0, 9, 1, 1, 0, 1});
    rle("RLE8 literal past the row", 8, {0, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1});
    rle("RLE8 literal past the data", 8, {0, 6, 1, 2});
    rle("RLE4 run past the row", 4, {9, 0x11, 0, 1});
    rle("RLE top-down", 8, rle8, -4);
    {
        BmpBuilder b = Rle(8, rle8);
        b.info.biSizeImage = 0x10000;
        add("RLE size past the end", b.Bytes(), false);
    }
    {
        BmpBuilder b = Rle(8, {0, 1});  // ends at once: only the pixel limit stands between it and 4 GB
        b.info.biWidth = b.info.biHeight = 0x10000;
        add("RLE 65536 x 65536 in two bytes", b.Bytes(), false);
    }
    return cases;
}

std::vector<BitmapCase> DamagedJpegsAndGifs(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& gif)
{
    auto find = [](const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> marker) {
        return size_t(std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end()) - bytes.begin());
    };
    auto bent = [](std::vector<uint8_t> bytes, size_t at, std::initializer_list<uint8_t> with) {
        if (at + with.size() <= bytes.size())
            std::copy(with.begin(), with.end(), bytes.begin() + at);
        return bytes;
    };
    auto cut = [](const std::vector<uint8_t>& bytes, size_t size) {
        return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
    };
    const size_t sof = find(jpeg, {0xFF, 0xC0}), sos = find(jpeg, {0xFF, 0xDA}), image = find(gif, {0x2C, 0, 0, 0, 0});
    return {
        {"cut.jpg", cut(jpeg, sos + 12)},
        {"half.jpg", cut(jpeg, jpeg.size() / 2)},
        {"huge.jpg", bent(jpeg, sof + 5, {0xFF, 0xF0, 0xFF, 0xF0})},
        {"zero.jpg", bent(jpeg, sof + 5, {0, 0})},
        {"cut.gif", cut(gif, image + 10)},
        {"half.gif", cut(gif, gif.size() / 2)},
        {"screen.gif", bent(gif, 6, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"huge.gif", bent(gif, image + 5, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"outside.gif", bent(gif, image + 1, {0xF0, 0xFF, 0xF0, 0xFF})},
    };
}

}  // namespace tpx::test
