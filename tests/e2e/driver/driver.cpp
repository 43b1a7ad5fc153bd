// kx_e2e_driver: drives the real KestruneEX.exe from outside, as a user would,
// and reads back what a user can see. Runs as a second process in the same
// Wine prefix. Every command prints parseable "key=value" lines on stdout and
// exits 0 on success, 1 when the awaited condition did not come within its
// time-out (or a check failed), 2 on a usage error.
#include "text_escapes.h"

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx::e2e {
namespace {

constexpr wchar_t kMainWindowClass[] = L"KestruneEXMainWindow";
constexpr int kLogViewId = 1000;
constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 10000;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

void Out(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Err(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string Hex(UINT_PTR value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lX", static_cast<unsigned long>(value));
    return buf;
}

std::string Num(long long value)
{
    return std::to_string(value);
}

std::string Utf8(const std::wstring& s)
{
    return ToUtf8OneLine(s);
}

std::wstring WindowText(HWND window)
{
    // WM_GETTEXT is marshalled across processes; GetWindowText is not for
    // controls of another process.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

// Which top-level windows a command means.
struct WindowQuery {
    std::wstring title;       // substring of the caption (whole caption with exact)
    bool exact = false;
    std::wstring className;   // empty: any class
    bool includeHidden = false;

    bool Matches(HWND w) const
    {
        if (!includeHidden && !::IsWindowVisible(w))
            return false;
        if (!className.empty() && ClassName(w) != className)
            return false;
        wchar_t caption[1024] = {};
        ::GetWindowTextW(w, caption, 1024);
        if (exact)
            return title == caption;
        return std::wcsstr(caption, title.c_str()) != nullptr;
    }
};

struct WindowSearch {
    const WindowQuery* query;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMatching(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<WindowSearch*>(p);
    if (s->query->Matches(w))
        s->found.push_back(w);
    return TRUE;
}

std::vector<HWND> FindWindows(const WindowQuery& query)
{
    WindowSearch search{&query, {}};
    ::EnumWindows(&CollectMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls `condition` until it holds or `timeoutMs` has passed.
bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(kPollMs);
    }
}

HWND WaitWindow(const WindowQuery& query, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor(timeoutMs, [&] {
        std::vector<HWND> windows = FindWindows(query);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
    });
    return found;
}

HWND MainWindow()
{
    WindowQuery query;
    query.className = kMainWindowClass;
    query.includeHidden = true;
    std::vector<HWND> windows = FindWindows(query);
    return windows.empty() ? nullptr : windows.front();
}

HWND RequireMainWindow()
{
    HWND main = MainWindow();
    if (!main)
        Err("error=no-main-window");
    return main;
}

HWND LogView(HWND main)
{
    return main ? ::GetDlgItem(main, kLogViewId) : nullptr;
}

std::optional<std::wstring> ReadLog()
{
    HWND view = LogView(MainWindow());
    if (!view)
        return std::nullopt;
    return WindowText(view);
}

bool TextEndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

LRESULT SendLogMessage(HWND view, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(view, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// Whether the log ends with a text, without copying a big log on every look
// (a 10 MB log copied per poll would be all that a benchmark measures, and
// the program answers nothing else while it copies): a log over a megabyte
// is read only once its length has held still for a quarter of a second (a
// huge capture grows a piece per turn until it is whole). A small one is
// read each time.
double NowMs();

class LogTail {
public:
    explicit LogTail(HWND view) : view_(view) {}

    bool EndsWith(const std::wstring& tail)
    {
        const LRESULT length = SendLogMessage(view_, WM_GETTEXTLENGTH, 0, 0);
        if (length < static_cast<LRESULT>(tail.size()))
            return false;
        if (length != lastLength_) {
            lastLength_ = length;
            changedAt_ = NowMs();
        }
        if (length > kBigLog && NowMs() - changedAt_ < kStillMs)
            return false;
        return TextEndsWith(WindowText(view_), tail);
    }
    LRESULT Length() const { return lastLength_; }

private:
    static constexpr LRESULT kBigLog = 1 << 20;
    static constexpr double kStillMs = 250;
    HWND view_;
    LRESULT lastLength_ = -1;
    double changedAt_ = 0;
};

bool ParseNumber(const std::wstring& s, unsigned long& value)
{
    if (s.empty())
        return false;
    wchar_t* end = nullptr;
    value = std::wcstoul(s.c_str(), &end, 0);
    return end && *end == L'\0';
}

// Options shared by the window commands: [--exact] [--class NAME] [--hidden].
// Removes them from `args`.
WindowQuery TakeWindowOptions(std::vector<std::wstring>& args)
{
    WindowQuery query;
    std::vector<std::wstring> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--exact")
            query.exact = true;
        else if (args[i] == L"--hidden")
            query.includeHidden = true;
        else if (args[i] == L"--class" && i + 1 < args.size())
            query.className = args[++i];
        else
            rest.push_back(args[i]);
    }
    args = rest;
    return query;
}

std::string DescribeWindow(HWND w)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    wchar_t caption[1024] = {};
    ::GetWindowTextW(w, caption, 1024);
    return "hwnd=" + Hex(reinterpret_cast<UINT_PTR>(w)) + " pid=" + Num(pid) + " class=" + Utf8(ClassName(w)) +
           " title=" + Utf8(caption);
}

// --- window commands -------------------------------------------------------

int CmdWaitWindow(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    query.title = args[0];
    HWND w = WaitWindow(query, timeout);
    if (!w) {
        Err("timeout=wait-window title=" + Utf8(query.title));
        return kFailed;
    }
    Out("window " + DescribeWindow(w));
    return kOk;
}

int CmdWaitWindowGone(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    query.title = args[0];
    if (!WaitFor(timeout, [&] { return FindWindows(query).empty(); })) {
        Err("timeout=wait-window-gone title=" + Utf8(query.title));
        return kFailed;
    }
    Out("gone title=" + Utf8(query.title));
    return kOk;
}

int CmdCountWindows(std::vector<std::wstring> args, bool list)
{
    WindowQuery query = TakeWindowOptions(args);
    if (args.size() > 1)
        return kUsage;
    if (!args.empty())
        query.title = args[0];
    const std::vector<HWND> windows = FindWindows(query);
    if (list) {
        for (HWND w : windows)
            Out("window " + DescribeWindow(w) + " visible=" + Num(::IsWindowVisible(w) != 0));
    }
    Out("count=" + Num(static_cast<long long>(windows.size())));
    return kOk;
}

// The state a user sees of a control besides its text: the check mark of a
// check box, the position of a track bar, the selection of a combo box.
std::string ControlState(HWND child)
{
    const std::wstring name = ClassName(child);
    DWORD_PTR value = 0;
    if (_wcsicmp(name.c_str(), L"Button") == 0) {
        const LONG type = ::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
            ::SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &value);
            return " check=" + Num(static_cast<long long>(value));
        }
    } else if (_wcsicmp(name.c_str(), L"msctls_trackbar32") == 0) {
        ::SendMessageTimeoutW(child, 0x400 /* TBM_GETPOS */, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &value);
        return " pos=" + Num(static_cast<long long>(value));
    } else if (_wcsicmp(name.c_str(), L"ComboBox") == 0) {
        ::SendMessageTimeoutW(child, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &value);
        return " sel=" + Num(static_cast<long long>(static_cast<LRESULT>(value)));
    }
    return {};
}

BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    Out("child class=" + Utf8(ClassName(child)) + " id=" + Num(::GetDlgCtrlID(child)) + ControlState(child) +
        " text=" + Utf8(WindowText(child)));
    return TRUE;
}

HWND FirstChildOfClass(const WindowQuery& query, const wchar_t* className)
{
    std::vector<HWND> windows = FindWindows(query);
    return windows.empty() ? nullptr : ::FindWindowExW(windows.front(), nullptr, className, nullptr);
}

// Selects an entry of the first combo box as a user's pick does: the
// selection, then CBN_SELCHANGE to its dialog.
int CmdSelectCombo(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long index = 0;
    if (args.size() != 2 || !ParseNumber(args[1], index))
        return kUsage;
    query.title = args[0];
    HWND combo = FirstChildOfClass(query, L"ComboBox");
    if (!combo) {
        Err("error=no-combo");
        return kFailed;
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
    if (static_cast<LRESULT>(result) != static_cast<LRESULT>(index)) {
        Err("error=no-entry index=" + Num(index));
        return kFailed;
    }
    ::SendMessageTimeoutW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(combo), SMTO_NORMAL, kSendTimeoutMs, &result);
    Out("selected index=" + Num(index));
    return kOk;
}

// Moves the first track bar as a drag of its thumb does: the position, then
// WM_HSCROLL to its dialog.
int CmdSetTrackBar(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long position = 0;
    if (args.size() != 2 || !ParseNumber(args[1], position))
        return kUsage;
    query.title = args[0];
    HWND bar = FirstChildOfClass(query, L"msctls_trackbar32");
    if (!bar) {
        Err("error=no-trackbar");
        return kFailed;
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(bar, 0x405 /* TBM_SETPOS */, TRUE, static_cast<LPARAM>(position), SMTO_NORMAL,
                          kSendTimeoutMs, &result);
    ::SendMessageTimeoutW(::GetParent(bar), WM_HSCROLL, MAKEWPARAM(5 /* TB_THUMBTRACK */, position),
                          reinterpret_cast<LPARAM>(bar), SMTO_NORMAL, kSendTimeoutMs, &result);
    Out("trackbar position=" + Num(position));
    return kOk;
}

// The list view of a window: the control with `id`, or its first list view
// (id 0), and its process opened for the remote item buffers; reports what
// is missing.
struct RemoteListView {
    HWND list = nullptr;
    HANDLE process = nullptr;
};

std::optional<RemoteListView> OpenListView(const WindowQuery& query, unsigned long id)
{
    HWND list = nullptr;
    if (id == 0) {
        list = FirstChildOfClass(query, L"SysListView32");
    } else {
        const std::vector<HWND> windows = FindWindows(query);
        list = windows.empty() ? nullptr : ::GetDlgItem(windows.front(), static_cast<int>(id));
    }
    if (!list) {
        Err("error=no-list-view");
        return std::nullopt;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) {
        Err("error=open-process");
        return std::nullopt;
    }
    return RemoteListView{list, process};
}

// Prints every row of the first list view of a window: its selection and the
// text of its columns, "|" between them. List-view items carry pointers, so
// the item and its text buffer are placed in the other process's memory.
int CmdListRows(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long id = 0;
    if (args.size() != 1 && (args.size() != 2 || !ParseNumber(args[1], id)))
        return kUsage;
    query.title = args[0];
    const std::optional<RemoteListView> view = OpenListView(query, id);
    if (!view)
        return kFailed;
    HWND list = view->list;
    HANDLE process = view->process;
    constexpr int kTextUnits = 512;
    auto* remote = static_cast<char*>(::VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t),
                                                       MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) {
        ::CloseHandle(process);
        Err("error=virtual-alloc");
        return kFailed;
    }
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
    DWORD_PTR columns = 0;
    HWND header = nullptr;
    DWORD_PTR headerResult = 0;
    ::SendMessageTimeoutW(list, LVM_GETHEADER, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &headerResult);
    header = reinterpret_cast<HWND>(headerResult);
    if (header)
        ::SendMessageTimeoutW(header, HDM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &columns);
    for (DWORD_PTR row = 0; row < count; ++row) {
        std::wstring line;
        for (DWORD_PTR column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = static_cast<int>(column);
            item.pszText = remoteText;
            item.cchTextMax = kTextUnits;
            SIZE_T done = 0;
            ::WriteProcessMemory(process, remote, &item, sizeof item, &done);
            DWORD_PTR length = 0;
            ::SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                  kSendTimeoutMs, &length);
            std::wstring text(kTextUnits, L'\0');
            ::ReadProcessMemory(process, remoteText, text.data(), kTextUnits * sizeof(wchar_t), &done);
            text.resize(std::min<size_t>(length, kTextUnits));
            if (column > 0)
                line += L'|';
            line += text;
        }
        DWORD_PTR state = 0;
        ::SendMessageTimeoutW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
        Out("row=" + Num(static_cast<long long>(row)) + " selected=" + Num((state & LVIS_SELECTED) != 0) +
            " text=" + Utf8(line));
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    ::CloseHandle(process);
    Out("rows=" + Num(static_cast<long long>(count)));
    return kOk;
}

// Selects a row of the list view with control id <id> as a click on it does
// (row -1: none selected). The item lives in the other process's memory.
int CmdSelectRow(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long id = 0;
    if (args.size() != 3 || !ParseNumber(args[1], id))
        return kUsage;
    wchar_t* end = nullptr;
    const long row = std::wcstol(args[2].c_str(), &end, 10);
    if (args[2].empty() || *end != L'\0' || row < -1)
        return kUsage;
    query.title = args[0];
    const std::optional<RemoteListView> view = OpenListView(query, id);
    if (!view)
        return kFailed;
    HWND list = view->list;
    HANDLE process = view->process;
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD_PTR done = FALSE;
    if (remote) {
        // Row -1 clears the selection of every row; a row also takes the focus.
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = row < 0 ? 0 : LVIS_SELECTED | LVIS_FOCUSED;
        SIZE_T written = 0;
        if (::WriteProcessMemory(process, remote, &item, sizeof item, &written))
            ::SendMessageTimeoutW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                                  SMTO_ABORTIFHUNG, kSendTimeoutMs, &done);
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    if (!done) {
        Err("error=no-row row=" + Num(row));
        return kFailed;
    }
    Out("selected row=" + Num(row));
    return kOk;
}

// Prints a window's caption and every child control's class, id and text.
int CmdWindowText(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    query.title = args[0];
    HWND w = WaitWindow(query, timeout);
    if (!w) {
        Err("timeout=window-text title=" + Utf8(query.title));
        return kFailed;
    }
    Out("window " + DescribeWindow(w));
    ::EnumChildWindows(w, &PrintChild, 0);
    return kOk;
}

std::wstring WithoutAccessKeys(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        out.push_back(text[i]);
    }
    return out;
}

struct ButtonSearch {
    std::wstring wanted;   // the button's text, or "#<id>" (buttons of the same text)
    HWND found;
};

bool IsWantedButton(HWND child, const std::wstring& wanted)
{
    unsigned long id = 0;
    if (wanted.size() > 1 && wanted[0] == L'#' && ParseNumber(wanted.substr(1), id))
        return ::GetDlgCtrlID(child) == static_cast<int>(id);
    return WithoutAccessKeys(WindowText(child)) == wanted;
}

BOOL CALLBACK FindButton(HWND child, LPARAM p)
{
    auto* s = reinterpret_cast<ButtonSearch*>(p);
    if (_wcsicmp(ClassName(child).c_str(), L"Button") == 0 && IsWantedButton(child, s->wanted)) {
        s->found = child;
        return FALSE;
    }
    return TRUE;
}

// --post queues the click and returns at once: a button that opens a modal
// window answers a sent click only once that window has closed.
int CmdClickButton(std::vector<std::wstring> args)
{
    const auto postOption = std::find(args.begin(), args.end(), std::wstring(L"--post"));
    const bool post = postOption != args.end();
    if (post)
        args.erase(postOption);
    WindowQuery query = TakeWindowOptions(args);
    unsigned long timeout = 0;
    if (args.size() != 3 || !ParseNumber(args[2], timeout))
        return kUsage;
    query.title = args[0];
    const std::wstring wanted = args[1];
    HWND button = nullptr;
    HWND owner = nullptr;
    WaitFor(timeout, [&] {
        for (HWND w : FindWindows(query)) {
            ButtonSearch search{wanted, nullptr};
            ::EnumChildWindows(w, &FindButton, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                button = search.found;
                owner = w;
                return true;
            }
        }
        return false;
    });
    if (!button) {
        Err("timeout=click-button title=" + Utf8(query.title) + " button=" + Utf8(wanted));
        return kFailed;
    }
    DWORD_PTR result = 0;
    if (post)
        ::PostMessageW(button, BM_CLICK, 0, 0);
    else
        ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
    Out("clicked button=" + Utf8(wanted) + " " + DescribeWindow(owner));
    return kOk;
}

// One line about a window's frame, as the tests check it.
int CmdWindowInfo(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    HWND w = nullptr;
    if (args.empty() && query.className.empty()) {
        w = RequireMainWindow();
    } else {
        if (!args.empty())
            query.title = args[0];
        query.includeHidden = true;
        std::vector<HWND> found = FindWindows(query);
        w = found.empty() ? nullptr : found.front();
    }
    if (!w) {
        Err("error=no-window");
        return kFailed;
    }
    const LONG style = ::GetWindowLongW(w, GWL_STYLE);
    const LONG exStyle = ::GetWindowLongW(w, GWL_EXSTYLE);
    RECT outer{}, client{};
    ::GetWindowRect(w, &outer);
    ::GetClientRect(w, &client);
    std::string line = "style=" + Hex(static_cast<DWORD>(style)) + " exstyle=" + Hex(static_cast<DWORD>(exStyle)) +
                       " caption=" + Num((style & WS_CAPTION) == WS_CAPTION) +
                       " thickframe=" + Num((style & WS_THICKFRAME) != 0) + " popup=" + Num((style & WS_POPUP) != 0) +
                       " topmost=" + Num((exStyle & WS_EX_TOPMOST) != 0) +
                       " layered=" + Num((exStyle & WS_EX_LAYERED) != 0) +
                       " transparent=" + Num((exStyle & WS_EX_TRANSPARENT) != 0) + " menu=" + Num(::GetMenu(w) != nullptr) +
                       " visible=" + Num(::IsWindowVisible(w) != 0) + " enabled=" + Num(::IsWindowEnabled(w) != 0) +
                       " rect=" + Num(outer.left) + "," + Num(outer.top) + "," + Num(outer.right - outer.left) + "," +
                       Num(outer.bottom - outer.top) + " client=" + Num(client.right) + "," + Num(client.bottom);
    if (HWND view = LogView(w)) {
        RECT r{};
        ::GetWindowRect(view, &r);
        ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
        const LONG viewEx = ::GetWindowLongW(view, GWL_EXSTYLE);
        line += " logview=" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right - r.left) + "," +
                Num(r.bottom - r.top) + " logview-clientedge=" + Num((viewEx & WS_EX_CLIENTEDGE) != 0);
    }
    BYTE alpha = 0;
    DWORD layeredFlags = 0;
    if ((exStyle & WS_EX_LAYERED) && ::GetLayeredWindowAttributes(w, nullptr, &alpha, &layeredFlags))
        line += " alpha=" + Num((layeredFlags & LWA_ALPHA) ? alpha : 255);
    Out(line);
    return kOk;
}

// WM_CLOSE to every matching top-level window, hidden ones included.
int CmdCloseWindow(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    if (args.size() != 1)
        return kUsage;
    query.title = args[0];
    query.includeHidden = true;
    std::vector<HWND> windows = FindWindows(query);
    for (HWND w : windows)
        ::PostMessageW(w, WM_CLOSE, 0, 0);
    Out("close-window count=" + Num(static_cast<long long>(windows.size())));
    return windows.empty() ? kFailed : kOk;
}

// Moves and sizes a window of another process (SetWindowPos, z-order kept).
int CmdMoveWindow(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    unsigned long v[4] = {};
    if (args.size() != 5)
        return kUsage;
    for (int i = 0; i < 4; ++i)
        if (!ParseNumber(args[1 + i], v[i]))
            return kUsage;
    query.title = args[0];
    query.includeHidden = true;
    std::vector<HWND> windows = FindWindows(query);
    if (windows.empty()) {
        Err("error=no-window");
        return kFailed;
    }
    if (!::SetWindowPos(windows.front(), nullptr, static_cast<int>(v[0]), static_cast<int>(v[1]),
                        static_cast<int>(v[2]), static_cast<int>(v[3]),
                        SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED))
        return kFailed;
    Out("moved " + DescribeWindow(windows.front()));
    return kOk;
}

// WM_SETTEXT to a child (an edit of another program): the first of a class, or
// "#<id>" for the control with that id.
int CmdSetChildText(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    if (args.size() != 3)
        return kUsage;
    query.title = args[0];
    std::optional<std::wstring> text = ParseTextEscapes(args[2]);
    if (!text)
        return kUsage;
    std::vector<HWND> windows = FindWindows(query);
    // "#<id>" names a control by its id, anything else the first of a class.
    HWND child = nullptr;
    if (!windows.empty()) {
        unsigned long id = 0;
        if (args[1].size() > 1 && args[1][0] == L'#' && ParseNumber(args[1].substr(1), id))
            child = ::GetDlgItem(windows.front(), static_cast<int>(id));
        else
            child = ::FindWindowExW(windows.front(), nullptr, args[1].c_str(), nullptr);
    }
    if (!child) {
        Err("error=no-child");
        return kFailed;
    }
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text->c_str()), SMTO_NORMAL,
                               kSendTimeoutMs, &result))
        return kFailed;
    Out("set-child-text=ok");
    return kOk;
}

// --- the log view ----------------------------------------------------------

int CmdGetLog(const std::vector<std::wstring>& args)
{
    if (args.size() > 1 || (args.size() == 1 && args[0] != L"--oneline"))
        return kUsage;
    std::optional<std::wstring> log = ReadLog();
    if (!log) {
        Err("error=no-log-view");
        return kFailed;
    }
    if (!args.empty()) {
        Out(Utf8(*log));
    } else {
        const std::string bytes = ToUtf8(*log);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    }
    return kOk;
}

enum class LogMatch { Contains, Equals, EndsWith };

bool LogMatches(const std::wstring& log, const std::wstring& text, LogMatch how)
{
    switch (how) {
    case LogMatch::Contains:
        return log.find(text) != std::wstring::npos;
    case LogMatch::Equals:
        return log == text;
    case LogMatch::EndsWith:
        return log.size() >= text.size() && log.compare(log.size() - text.size(), text.size(), text) == 0;
    }
    return false;
}

// Only the end of a log is printed: it may hold megabytes.
std::string LogForReport(const std::wstring& log)
{
    constexpr std::size_t kShown = 2000;
    return log.size() <= kShown ? Utf8(log) : "..." + Utf8(log.substr(log.size() - kShown));
}

int CmdWaitLog(const std::vector<std::wstring>& args, LogMatch how, const char* name)
{
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    std::optional<std::wstring> text = ParseTextEscapes(args[0]);
    if (!text)
        return kUsage;
    std::wstring last;
    HWND view = LogView(MainWindow());
    std::optional<LogTail> tail;
    if (how == LogMatch::EndsWith && view)
        tail.emplace(view);
    const bool ok = WaitFor(timeout, [&] {
        if (tail)
            return tail->EndsWith(*text);
        std::optional<std::wstring> log = ReadLog();
        if (!log)
            return false;
        last = *log;
        return LogMatches(last, *text, how);
    });
    if (!ok) {
        if (tail)
            last = ReadLog().value_or(std::wstring());
        Err(std::string("timeout=") + name + " wanted=" + Utf8(*text));
        Err("log=" + LogForReport(last));
        return kFailed;
    }
    Out(std::string(name) + "=ok");
    return kOk;
}

// wait-log-length <units> <timeout-ms>: waits until the log holds at least
// that many UTF-16 units, asking only its length (a huge log is not copied).
int CmdWaitLogLength(const std::vector<std::wstring>& args)
{
    unsigned long units = 0, timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[0], units) || !ParseNumber(args[1], timeout))
        return kUsage;
    HWND view = LogView(MainWindow());
    if (!view)
        return kFailed;
    LRESULT length = 0;
    if (!WaitFor(timeout, [&] {
            length = SendLogMessage(view, WM_GETTEXTLENGTH, 0, 0);
            return length >= static_cast<LRESULT>(units);
        })) {
        Err("timeout=wait-log-length length=" + Num(static_cast<long long>(length)));
        return kFailed;
    }
    Out("log-length=" + Num(static_cast<long long>(length)));
    return kOk;
}

// Fails when the log holds the text now (no waiting).
int CmdLogLacks(const std::vector<std::wstring>& args)
{
    if (args.size() != 1)
        return kUsage;
    std::optional<std::wstring> text = ParseTextEscapes(args[0]);
    std::optional<std::wstring> log = ReadLog();
    if (!text)
        return kUsage;
    if (!log) {
        Err("error=no-log-view");
        return kFailed;
    }
    if (log->find(*text) != std::wstring::npos) {
        Err("found=" + Utf8(*text));
        Err("log=" + Utf8(*log));
        return kFailed;
    }
    Out("log-lacks=ok");
    return kOk;
}

// --- clipboard -------------------------------------------------------------

bool OpenClipboardPatiently(HWND owner)
{
    return WaitFor(3000, [&] { return ::OpenClipboard(owner) != FALSE; });
}

// A hidden window of our own to own the clipboard while we change it.
HWND MakeHelperWindow(const wchar_t* title, WNDPROC proc)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxE2eDriverWindow";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

// Empties the clipboard and puts `size` bytes (terminator included) in one
// format; nullptr when done, else the error to report.
const char* PutClipboard(HWND owner, UINT format, const void* data, std::size_t size)
{
    if (!OpenClipboardPatiently(owner))
        return "error=cannot-open-clipboard";
    ::EmptyClipboard();
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (void* p = block ? ::GlobalLock(block) : nullptr) {
        std::memcpy(p, data, size);
        ::GlobalUnlock(block);
    }
    const bool set = block && ::SetClipboardData(format, block) != nullptr;
    ::CloseClipboard();
    if (set)
        return nullptr;
    if (block)
        ::GlobalFree(block);
    return "error=set-clipboard-data";
}

int CmdSetClipboard(const std::vector<std::wstring>& args)
{
    if (args.size() != 1)
        return kUsage;
    std::optional<std::string> bytes = ParseByteEscapes(args[0]);
    if (!bytes) {
        Err("error=bad-escape");
        return kUsage;
    }
    const std::string text = *bytes + '\0';
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-owner", ::DefWindowProcW);
    if (const char* error = PutClipboard(owner, CF_TEXT, text.data(), text.size())) {
        Err(error);
        return kFailed;
    }
    Out("clipboard-set bytes=" + Num(static_cast<long long>(bytes->size())));
    return kOk;
}

double EpochMs();
std::string Ms(double ms);

// set-clipboard-unicode <text>: puts UTF-16 text (CF_UNICODETEXT only, as
// today's hookers do; the system makes the 8-bit form from it on demand),
// and tells when (milliseconds since 1970, see EpochMs).
int CmdSetClipboardUnicode(const std::vector<std::wstring>& args)
{
    if (args.size() != 1)
        return kUsage;
    std::optional<std::wstring> text = ParseTextEscapes(args[0]);
    if (!text)
        return kUsage;
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-owner", ::DefWindowProcW);
    const double before = EpochMs();
    if (const char* error = PutClipboard(owner, CF_UNICODETEXT, text->c_str(), (text->size() + 1) * sizeof(wchar_t))) {
        Err(error);
        return kFailed;
    }
    Out("clipboard-set units=" + Num(static_cast<long long>(text->size())) + " set-at-ms=" + Ms(before));
    return kOk;
}

// set-clipboard-repeat <count> <text>: puts <text> (\uXXXX escapes) repeated
// <count> times as UTF-16, for captures of many megabytes.
int CmdSetClipboardRepeat(const std::vector<std::wstring>& args)
{
    unsigned long count = 0;
    if (args.size() != 2 || !ParseNumber(args[0], count) || count == 0)
        return kUsage;
    std::optional<std::wstring> piece = ParseTextEscapes(args[1]);
    if (!piece || piece->empty())
        return kUsage;
    std::wstring text;
    text.reserve(piece->size() * count);
    for (unsigned long i = 0; i < count; ++i)
        text += *piece;
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-owner", ::DefWindowProcW);
    if (const char* error = PutClipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t))) {
        Err(error);
        return kFailed;
    }
    Out("clipboard-set units=" + Num(static_cast<long long>(text.size())));
    return kOk;
}

// code-pages: the system's ANSI code page, which makes CF_TEXT from Unicode text.
int CmdCodePages(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    Out("acp=" + Num(static_cast<long long>(::GetACP())));
    return kOk;
}

std::string EscapeBytes(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

// A patient reader retries while another program holds the clipboard open; an
// impatient one (a viewer answering a change) gives up at once, as the change
// that holds it open will notify again.
std::optional<std::string> ReadClipboardText(HWND owner, bool patient = true)
{
    if (!::IsClipboardFormatAvailable(CF_TEXT))
        return std::nullopt;
    if (patient ? !OpenClipboardPatiently(owner) : !::OpenClipboard(owner))
        return std::nullopt;
    std::optional<std::string> text;
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(data))) {
            text = std::string(p, strnlen(p, ::GlobalSize(data)));
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

int CmdGetClipboard(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-reader", ::DefWindowProcW);
    std::optional<std::string> text = ReadClipboardText(owner);
    if (!text) {
        Err("error=no-clipboard-text");
        return kFailed;
    }
    Out("clipboard=" + EscapeBytes(*text));
    return kOk;
}

// A second clipboard viewer: joins the chain, and writes one line per
// WM_DRAWCLIPBOARD it receives ("draw N text=..."), so a test can see whether
// the viewer before it passes every change on. Runs until WM_CLOSE or the
// time-out; the window is titled kx-e2e-clipboard-viewer.
struct Viewer {
    HANDLE file = INVALID_HANDLE_VALUE;
    HWND next = nullptr;
    long draws = 0;
    bool inMemory = false;  // keep the lines until it leaves: the cheapest viewer
    std::string kept;

    void Write(const std::string& line)
    {
        const std::string l = line + "\n";
        if (inMemory && line.rfind("left ", 0) != 0) {
            kept += l;
            return;
        }
        if (!kept.empty()) {
            DWORD all = 0;
            ::WriteFile(file, kept.data(), static_cast<DWORD>(kept.size()), &all, nullptr);
            kept.clear();
        }
        DWORD written = 0;
        ::WriteFile(file, l.data(), static_cast<DWORD>(l.size()), &written, nullptr);
        ::FlushFileBuffers(file);
    }
} g_viewer;

LRESULT CALLBACK ViewerProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWCLIPBOARD: {
        ++g_viewer.draws;
        std::optional<std::string> text = ReadClipboardText(w, false);
        g_viewer.Write("draw " + Num(g_viewer.draws) + " text=" + (text ? EscapeBytes(*text) : "(none)"));
        if (g_viewer.next)
            ::SendMessageTimeoutW(g_viewer.next, message, wParam, lParam, SMTO_ABORTIFHUNG, 500, nullptr);
        return 0;
    }
    case WM_CHANGECBCHAIN:
        if (reinterpret_cast<HWND>(wParam) == g_viewer.next)
            g_viewer.next = reinterpret_cast<HWND>(lParam);
        else if (g_viewer.next)
            ::SendMessageTimeoutW(g_viewer.next, message, wParam, lParam, SMTO_ABORTIFHUNG, 500, nullptr);
        return 0;
    case WM_TIMER:
    case WM_CLOSE:
        ::DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        ::ChangeClipboardChain(w, g_viewer.next);
        g_viewer.Write("left draws=" + Num(g_viewer.draws));
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(w, message, wParam, lParam);
    }
}

int CmdClipViewer(std::vector<std::wstring> args)
{
    unsigned long timeout = 0;
    if (!args.empty() && args[0] == L"--in-memory") {
        g_viewer.inMemory = true;
        args.erase(args.begin());
    }
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    g_viewer.file = ::CreateFileW(args[0].c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_viewer.file == INVALID_HANDLE_VALUE) {
        Err("error=cannot-create-file");
        return kFailed;
    }
    HWND w = MakeHelperWindow(L"kx-e2e-clipboard-viewer", ViewerProc);
    // The join itself may deliver a first WM_DRAWCLIPBOARD; "joined" marks
    // where the test's own changes begin.
    g_viewer.next = ::SetClipboardViewer(w);
    g_viewer.Write("joined next=" + Hex(reinterpret_cast<UINT_PTR>(g_viewer.next)));
    ::SetTimer(w, 1, timeout, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::CloseHandle(g_viewer.file);
    Out("draws=" + Num(g_viewer.draws));
    return kOk;
}

// --- another program's window ----------------------------------------------

// A plain window of the driver's own, brought to the foreground, that tells
// on stdout (one line each) the hotkeys it receives and the clicks on it.
struct OtherWindow {
    int hotkeys = 0;
    int clicks = 0;
} g_other;

LRESULT CALLBACK OtherWindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_HOTKEY:
        ++g_other.hotkeys;
        Out("hotkey id=" + Num(static_cast<long long>(wParam)) + " count=" + Num(g_other.hotkeys));
        return 0;
    case WM_LBUTTONDOWN:
        ++g_other.clicks;
        Out("click x=" + Num(static_cast<short>(LOWORD(lParam))) + " y=" + Num(static_cast<short>(HIWORD(lParam))) +
            " count=" + Num(g_other.clicks));
        return 0;
    case WM_TIMER:
    case WM_CLOSE:
        ::DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(w, message, wParam, lParam);
    }
}

// other-window [--topmost] [--hotkey <MOD_ flags> <virtual key>] <title> <x> <y> <w> <h> <timeout-ms>
int CmdOtherWindow(std::vector<std::wstring> args)
{
    unsigned long modifiers = 0, key = 0, x = 0, y = 0, width = 0, height = 0, timeout = 0;
    bool holdHotkey = false;
    DWORD exStyle = 0;
    if (!args.empty() && args[0] == L"--topmost") {
        exStyle = WS_EX_TOPMOST;
        args.erase(args.begin());
    }
    if (args.size() >= 3 && args[0] == L"--hotkey") {
        if (!ParseNumber(args[1], modifiers) || !ParseNumber(args[2], key))
            return kUsage;
        holdHotkey = true;
        args.erase(args.begin(), args.begin() + 3);
    }
    if (args.size() != 6 || !ParseNumber(args[1], x) || !ParseNumber(args[2], y) || !ParseNumber(args[3], width) ||
        !ParseNumber(args[4], height) || !ParseNumber(args[5], timeout))
        return kUsage;
    WNDCLASSW wc{};
    wc.lpfnWndProc = OtherWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"KxE2eOtherWindow";
    ::RegisterClassW(&wc);
    HWND w = ::CreateWindowExW(exStyle, wc.lpszClassName, args[0].c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                               static_cast<int>(height), nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) {
        Err("error=create-window");
        return kFailed;
    }
    if (holdHotkey) {
        const bool held = ::RegisterHotKey(w, 1, static_cast<UINT>(modifiers), static_cast<UINT>(key)) != FALSE;
        Out("hotkey-registered=" + Num(held) + (held ? "" : " error=" + Num(::GetLastError())));
    }
    ::SetForegroundWindow(w);
    Out("other-window " + DescribeWindow(w));
    ::SetTimer(w, 1, timeout, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    Out("closed hotkeys=" + Num(g_other.hotkeys) + " clicks=" + Num(g_other.clicks));
    return kOk;
}

// --- load: bursts of clipboard changes and the window's answer time --------

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Waits until `deadline` (NowMs), sleeping while far and spinning when near,
// because Sleep rounds to whole milliseconds. Messages to this thread's
// windows are answered meanwhile, as a real program that owns the clipboard
// answers them: a reader may be waiting for the owner.
void WaitUntil(double deadline)
{
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        const double left = deadline - NowMs();
        if (left <= 0)
            return;
        // Sleep in whole milliseconds while more than one is left, and spin
        // only for the rest: a spinning driver would take a core from the
        // programs it measures.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left > 1.0 ? 1 : 0, QS_ALLINPUT);
    }
}

bool PutClipboardText(HWND owner, const std::string& bytes)
{
    const std::string text = bytes + '\0';
    return PutClipboard(owner, CF_TEXT, text.data(), text.size()) == nullptr;
}

std::string Numbered(const std::string& prefix, unsigned long i)
{
    char number[16];
    std::snprintf(number, sizeof number, "%03lu", i);
    return prefix + number;
}

std::string Ms(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ms);
    return text;
}

// Milliseconds since 1970 by the system clock, which Wine shares with the
// host: times of this driver and of programs outside Wine side by side.
double EpochMs()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    return static_cast<double>(ticks.QuadPart - 116444736000000000ULL) / 10000.0;
}

// clip-burst <count> <interval-ms> <prefix>: puts "<prefix>001", "<prefix>002",
// ... on the clipboard, one change every interval (0: back to back), the way
// a hooker flushes several text threads at once.
int CmdClipBurst(const std::vector<std::wstring>& args)
{
    unsigned long count = 0, interval = 0;
    if (args.size() != 3 || !ParseNumber(args[0], count) || !ParseNumber(args[1], interval))
        return kUsage;
    std::optional<std::string> prefix = ParseByteEscapes(args[2]);
    if (!prefix)
        return kUsage;
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-owner", ::DefWindowProcW);
    const double start = NowMs();
    const double startEpoch = EpochMs();
    for (unsigned long i = 1; i <= count; ++i) {
        WaitUntil(start + static_cast<double>(interval) * static_cast<double>(i - 1));
        if (!PutClipboardText(owner, Numbered(*prefix, i))) {
            Err("error=cannot-set-clipboard at=" + Num(static_cast<long long>(i)));
            return kFailed;
        }
    }
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", NowMs() - start);
    WaitUntil(NowMs() + 300);  // the owner stays a moment for the last readers
    Out("burst count=" + Num(static_cast<long long>(count)) + " elapsed-ms=" + elapsed + " started-at-ms=" +
        Ms(startEpoch));
    return kOk;
}

// main-above <title> <timeout-ms>: waits until the main window lies above
// the top-level window of that exact title in the z-order.
int CmdMainAbove(const std::vector<std::wstring>& args)
{
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    const double start = NowMs();
    do {
        HWND other = ::FindWindowW(nullptr, args[0].c_str());
        bool otherAbove = false;
        for (HWND above = ::GetWindow(main, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV))
            otherAbove = otherAbove || above == other;
        if (other && !otherAbove) {
            Out("main-above after-ms=" + Ms(NowMs() - start));
            return kOk;
        }
        ::Sleep(20);
    } while (NowMs() - start < static_cast<double>(timeout));
    Err("error=not-above");
    return kFailed;
}

// probe-answers <duration-ms> <interval-ms>: asks the main window for its
// text length every interval and reports how long the answers took: the
// count within 100 ms is a measure; a window that took a second or more
// (over-1s) had stopped answering.
int CmdProbeAnswers(const std::vector<std::wstring>& args)
{
    unsigned long duration = 0, interval = 0;
    if (args.size() != 2 || !ParseNumber(args[0], duration) || !ParseNumber(args[1], interval) || interval == 0)
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    std::vector<double> answers;
    const double start = NowMs();
    for (double next = start; next < start + static_cast<double>(duration); next += static_cast<double>(interval)) {
        WaitUntil(next);
        const double sent = NowMs();
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(main, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length)) {
            Err("error=no-answer");
            return kFailed;
        }
        answers.push_back(NowMs() - sent);
    }
    std::vector<double> sorted = answers;
    std::sort(sorted.begin(), sorted.end());
    const auto within100 = std::count_if(answers.begin(), answers.end(), [](double a) { return a < 100.0; });
    const auto over1s = std::count_if(answers.begin(), answers.end(), [](double a) { return a >= 1000.0; });
    Out("probes=" + Num(static_cast<long long>(answers.size())) + " median-ms=" + Ms(sorted[sorted.size() / 2]) +
        " max-ms=" + Ms(sorted.back()) + " within-100ms=" + Num(static_cast<long long>(within100)) +
        " over-1s=" + Num(static_cast<long long>(over1s)));
    return kOk;
}


// change-to-line <count> <prefix>: puts a new line on the clipboard, waits
// until the log view ends with it and the main window has nothing left to
// paint, and reports the times (median and maximum) from the change.
int CmdChangeToLine(const std::vector<std::wstring>& args)
{
    unsigned long count = 0;
    if (args.size() != 2 || !ParseNumber(args[0], count) || count == 0)
        return kUsage;
    std::optional<std::string> prefix = ParseByteEscapes(args[1]);
    HWND main = RequireMainWindow();
    HWND view = LogView(main);
    if (!prefix || !view)
        return prefix ? kFailed : kUsage;
    HWND owner = MakeHelperWindow(L"kx-e2e-clipboard-owner", ::DefWindowProcW);
    std::vector<double> times;
    for (unsigned long i = 1; i <= count; ++i) {
        const std::string line = Numbered(*prefix, i);
        const std::wstring tail(line.begin(), line.end());
        // The line arrives in one edit: the length says when, and the text
        // is checked once, after the timing.
        const LRESULT before = SendLogMessage(view, WM_GETTEXTLENGTH, 0, 0);
        const LRESULT expected = before + static_cast<LRESULT>(tail.size());
        const double changed = NowMs();
        if (!PutClipboardText(owner, line))
            return kFailed;
        const double deadline = changed + 5000;
        while (SendLogMessage(view, WM_GETTEXTLENGTH, 0, 0) < expected && NowMs() < deadline)
            ::Sleep(0);
        // Painted: neither the window nor the view has an update region.
        while ((::GetUpdateRect(main, nullptr, FALSE) || ::GetUpdateRect(view, nullptr, FALSE)) && NowMs() < deadline)
            ::Sleep(0);
        if (NowMs() >= deadline) {
            Err("error=line-not-shown line=" + line);
            return kFailed;
        }
        times.push_back(NowMs() - changed);
        const std::wstring log = WindowText(view);
        if (!TextEndsWith(log, tail) && !TextEndsWith(log, tail + L"\r\n")) {
            Err("error=other-text-shown line=" + line);
            return kFailed;
        }
        ::Sleep(20);
    }
    std::sort(times.begin(), times.end());
    Out("lines=" + Num(static_cast<long long>(count)) + " median-ms=" + Ms(times[times.size() / 2]) +
        " max-ms=" + Ms(times.back()));
    return kOk;
}

// wait-painted <text: \uXXXX \r \n> <timeout-ms>: waits until the log view
// ends with the text and the main window has nothing left to paint, and
// tells when that was (milliseconds since 1970, see EpochMs).
int CmdWaitPainted(const std::vector<std::wstring>& args)
{
    unsigned long timeout = 0;
    if (args.size() != 2 || !ParseNumber(args[1], timeout))
        return kUsage;
    const std::optional<std::wstring> tail = ParseTextEscapes(args[0]);
    HWND main = RequireMainWindow();
    HWND view = LogView(main);
    if (!tail || !view)
        return tail ? kFailed : kUsage;
    const double deadline = NowMs() + static_cast<double>(timeout);
    LogTail log(view);
    while (!(log.EndsWith(*tail) || log.EndsWith(*tail + L"\r\n")) && NowMs() < deadline)
        ::Sleep(1);
    while ((::GetUpdateRect(main, nullptr, FALSE) || ::GetUpdateRect(view, nullptr, FALSE)) && NowMs() < deadline)
        ::Sleep(0);
    if (NowMs() >= deadline) {
        Err("error=not-painted");
        return kFailed;
    }
    Out("painted-at-ms=" + Ms(EpochMs()));
    return kOk;
}

// --- the program as a whole ------------------------------------------------

int CmdCommand(const std::vector<std::wstring>& args, bool post)
{
    unsigned long id = 0;
    if (args.size() != 1 || !ParseNumber(args[0], id))
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(id), 0);
    if (post) {
        if (!::PostMessageW(main, WM_COMMAND, wParam, 0))
            return kFailed;
    } else {
        // Sent, so that the command has been carried out when we return.
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(main, WM_COMMAND, wParam, 0, SMTO_NORMAL, kSendTimeoutMs, &result)) {
            Err("error=command-timeout");
            return kFailed;
        }
    }
    Out(std::string(post ? "posted" : "sent") + " command=" + Num(id));
    return kOk;
}

// Sends the commands one after the other, as `command` does, and says how
// long the main window took over the slowest (the time it kept the UI
// thread, and the driver waiting).
int CmdCommandTimes(const std::vector<std::wstring>& args)
{
    std::vector<WPARAM> commands;
    for (const std::wstring& arg : args) {
        unsigned long id = 0;
        if (!ParseNumber(arg, id))
            return kUsage;
        commands.push_back(MAKEWPARAM(static_cast<WORD>(id), 0));
    }
    if (commands.empty())
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    long long longestUs = 0;
    for (const WPARAM wParam : commands) {
        LARGE_INTEGER before{}, after{};
        ::QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(main, WM_COMMAND, wParam, 0, SMTO_NORMAL, kSendTimeoutMs, &result)) {
            Err("error=command-timeout");
            return kFailed;
        }
        ::QueryPerformanceCounter(&after);
        longestUs = std::max(longestUs, (after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart);
    }
    Out("sent count=" + Num(static_cast<long long>(commands.size())) + " longest-ms=" + Num(longestUs / 1000));
    return kOk;
}

HANDLE OpenMainProcess(HWND main, DWORD access, DWORD& pid)
{
    pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    return pid ? ::OpenProcess(access, FALSE, pid) : nullptr;
}

bool WaitProcess(HANDLE process, DWORD timeoutMs, DWORD& exitCode)
{
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    exitCode = 0;
    ::GetExitCodeProcess(process, &exitCode);
    return true;
}

// WM_CLOSE to the main window, then waits for the process to end.
int CmdClose(const std::vector<std::wstring>& args)
{
    unsigned long timeout = 10000;
    if (args.size() > 1 || (args.size() == 1 && !ParseNumber(args[0], timeout)))
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    DWORD pid = 0;
    HANDLE process = OpenMainProcess(main, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, pid);
    if (!process) {
        Err("error=cannot-open-process");
        return kFailed;
    }
    const double posted = NowMs();
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    const bool ended = WaitProcess(process, timeout, exitCode);
    ::CloseHandle(process);
    if (!ended) {
        Err("timeout=close pid=" + Num(pid));
        return kFailed;
    }
    Out("closed pid=" + Num(pid) + " exit-code=" + Num(exitCode) + " after-ms=" + Ms(NowMs() - posted));
    return kOk;
}

// Ends the program the hard way, as a session end may: no WM_DESTROY.
int CmdTerminate(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    DWORD pid = 0;
    HANDLE process = OpenMainProcess(main, SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, pid);
    if (!process || !::TerminateProcess(process, 99)) {
        Err("error=cannot-terminate");
        return kFailed;
    }
    DWORD exitCode = 0;
    const bool ended = WaitProcess(process, 10000, exitCode);
    ::CloseHandle(process);
    if (!ended)
        return kFailed;
    Out("terminated pid=" + Num(pid) + " exit-code=" + Num(exitCode));
    return kOk;
}

// What Windows sends at logoff or shutdown: WM_QUERYENDSESSION, then
// WM_ENDSESSION with TRUE.
int CmdSendEndSession(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kSendTimeoutMs,
                               &answer)) {
        Err("error=queryendsession-timeout");
        return kFailed;
    }
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(main, WM_ENDSESSION, answer ? TRUE : FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                               kSendTimeoutMs, &ignored)) {
        Err("error=endsession-timeout");
        return kFailed;
    }
    Out("queryendsession=" + Num(static_cast<long long>(answer)) + " endsession=sent");
    return kOk;
}

// The main window's thread: which window is active and has the keyboard focus
// (where keys go), and the system's foreground window.
int CmdFocusInfo(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    HWND main = RequireMainWindow();
    if (!main)
        return kFailed;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &info))
        return kFailed;
    auto name = [](HWND w) {
        if (!w)
            return std::string("none");
        return Hex(reinterpret_cast<UINT_PTR>(w)) + "(" + Utf8(ClassName(w)) + ")";
    };
    Out("main=" + name(main) + " active=" + name(info.hwndActive) + " focus=" + name(info.hwndFocus) +
        " capture=" + name(info.hwndCapture) + " foreground=" + name(::GetForegroundWindow()));
    return kOk;
}

// Makes the main window (or the window named) the foreground window, as a
// click on it would.
int CmdActivate(std::vector<std::wstring> args)
{
    WindowQuery query = TakeWindowOptions(args);
    if (args.size() > 1)
        return kUsage;
    HWND main = nullptr;
    if (args.empty()) {
        main = RequireMainWindow();
    } else {
        query.title = args[0];
        std::vector<HWND> found = FindWindows(query);
        main = found.empty() ? nullptr : found.front();
    }
    if (!main)
        return kFailed;
    if (!::SetForegroundWindow(main)) {
        Err("error=set-foreground-window");
        return kFailed;
    }
    Out("activated " + DescribeWindow(main));
    return kOk;
}

// The process of the program's main window, or 0 (told) when there is none.
DWORD ProgramPid()
{
    HWND main = RequireMainWindow();
    DWORD pid = 0;
    if (main)
        ::GetWindowThreadProcessId(main, &pid);
    return pid;
}

int CmdPid(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    const DWORD pid = ProgramPid();
    if (!pid)
        return kFailed;
    Out("pid=" + Num(pid));
    return kOk;
}

// The ids of the threads of the program's process, or nothing (told).
std::optional<std::vector<DWORD>> ProgramThreads()
{
    const DWORD pid = ProgramPid();
    if (!pid)
        return std::nullopt;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        Err("error=snapshot");
        return std::nullopt;
    }
    std::vector<DWORD> threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid)
            threads.push_back(entry.th32ThreadID);
    ::CloseHandle(snapshot);
    return threads;
}

// The number of threads of the program's process, as Windows counts them.
int CmdThreads(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    const std::optional<std::vector<DWORD>> threads = ProgramThreads();
    if (!threads)
        return kFailed;
    Out("threads=" + Num(static_cast<long long>(threads->size())));
    return kOk;
}

// The threads of the program's process that are its own: all but the
// workers of the system's thread pool (which Wine names
// "wine_threadpool_worker"), which WinHTTP's callbacks borrow and which
// stay idle for a few seconds after their last work.
int CmdOwnThreads(const std::vector<std::wstring>& args)
{
    if (!args.empty())
        return kUsage;
    using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto describe = reinterpret_cast<GetThreadDescriptionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernelbase.dll"), "GetThreadDescription")));
    if (!describe) {
        Err("error=no-thread-descriptions");
        return kFailed;
    }
    const std::optional<std::vector<DWORD>> threads = ProgramThreads();
    if (!threads)
        return kFailed;
    int own = 0;
    int workers = 0;
    for (const DWORD id : *threads) {
        bool worker = false;
        if (HANDLE thread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id)) {
            PWSTR name = nullptr;
            if (SUCCEEDED(describe(thread, &name)) && name) {
                worker = std::wcscmp(name, L"wine_threadpool_worker") == 0;
                ::LocalFree(name);
            }
            ::CloseHandle(thread);
        }
        ++(worker ? workers : own);
    }
    Out("own-threads=" + Num(own) + " pool-workers=" + Num(workers));
    return kOk;
}

void Usage()
{
    Err("usage: kx_e2e_driver <command> [args]\n"
        "  wait-window [--exact] [--class C] [--hidden] <title> <timeout-ms>\n"
        "  wait-window-gone [--exact] [--class C] <title> <timeout-ms>\n"
        "  count-windows|list-windows [--exact] [--class C] [--hidden] [<title>]\n"
        "  window-text [--exact] [--class C] <title> <timeout-ms>\n"
        "  click-button [--exact] [--class C] [--post] <window title> <button text or #id> <timeout-ms>\n"
        "  window-info [--exact] [--class C] [<title>]     (main window by default)\n"
        "  close-window [--exact] [--class C] <title>\n"
        "  move-window [--exact] [--class C] <title> <x> <y> <width> <height>\n"
        "  set-child-text [--exact] [--class C] <title> <child class or #id> <text>\n"
        "  select-combo [--exact] [--class C] <title> <index>\n"
        "  set-trackbar [--exact] [--class C] <title> <position>\n"
        "  list-rows [--exact] [--class C] <title> [<id>]  (the rows of the first list view, or of control <id>)\n"
        "  select-row [--exact] [--class C] <title> <list id> <row>  (row -1: none)\n"
        "  set-clipboard <bytes: \\r \\n \\t \\\\ \\xNN>\n"
        "  set-clipboard-unicode <text: \\r \\n \\t \\\\ \\uXXXX>\n"
        "  set-clipboard-repeat <count> <text> | get-clipboard | code-pages | main-above <title> <timeout-ms>\n"
        "  clip-viewer [--in-memory] <out-file> <timeout-ms>\n"
        "  clip-burst <count> <interval-ms> <prefix> | change-to-line <count> <prefix>\n"
        "  wait-painted <text: \\uXXXX \\r \\n> <timeout-ms>   (prints the time since 1970)\n"
        "  probe-answers <duration-ms> <interval-ms>\n"
        "  get-log [--oneline]\n"
        "  wait-log-contains|wait-log-equals|wait-log-ends-with <text: \\uXXXX \\r \\n> <timeout-ms>\n"
        "  log-lacks <text> | wait-log-length <units> <timeout-ms>\n"
        "  command <id> | post-command <id> | command-times <id>...   (the slowest one's time)\n"
        "  close [<timeout-ms>] | terminate | send-endsession | pid | threads | own-threads | focus-info\n"
        "  activate [[--exact] [--class C] <title>]     (main window by default)\n"
        "  other-window [--topmost] [--hotkey <MOD_ flags> <vk>] <title> <x> <y> <w> <h> <timeout-ms>");
}

int Run(std::vector<std::wstring> args)
{
    if (args.empty()) {
        Usage();
        return kUsage;
    }
    const std::wstring command = args.front();
    args.erase(args.begin());
    int rc = kUsage;
    if (command == L"wait-window")
        rc = CmdWaitWindow(args);
    else if (command == L"wait-window-gone")
        rc = CmdWaitWindowGone(args);
    else if (command == L"count-windows")
        rc = CmdCountWindows(args, false);
    else if (command == L"list-windows")
        rc = CmdCountWindows(args, true);
    else if (command == L"window-text")
        rc = CmdWindowText(args);
    else if (command == L"click-button")
        rc = CmdClickButton(args);
    else if (command == L"close-window")
        rc = CmdCloseWindow(args);
    else if (command == L"move-window")
        rc = CmdMoveWindow(args);
    else if (command == L"set-child-text")
        rc = CmdSetChildText(args);
    else if (command == L"select-combo")
        rc = CmdSelectCombo(args);
    else if (command == L"list-rows")
        rc = CmdListRows(args);
    else if (command == L"select-row")
        rc = CmdSelectRow(args);
    else if (command == L"set-trackbar")
        rc = CmdSetTrackBar(args);
    else if (command == L"window-info")
        rc = CmdWindowInfo(args);
    else if (command == L"code-pages")
        rc = CmdCodePages(args);
    else if (command == L"set-clipboard-unicode")
        rc = CmdSetClipboardUnicode(args);
    else if (command == L"set-clipboard")
        rc = CmdSetClipboard(args);
    else if (command == L"main-above")
        rc = CmdMainAbove(args);
    else if (command == L"set-clipboard-repeat")
        rc = CmdSetClipboardRepeat(args);
    else if (command == L"get-clipboard")
        rc = CmdGetClipboard(args);
    else if (command == L"clip-burst")
        rc = CmdClipBurst(args);
    else if (command == L"probe-answers")
        rc = CmdProbeAnswers(args);
    else if (command == L"change-to-line")
        rc = CmdChangeToLine(args);
    else if (command == L"wait-painted")
        rc = CmdWaitPainted(args);
    else if (command == L"clip-viewer")
        rc = CmdClipViewer(args);
    else if (command == L"get-log")
        rc = CmdGetLog(args);
    else if (command == L"wait-log-contains")
        rc = CmdWaitLog(args, LogMatch::Contains, "wait-log-contains");
    else if (command == L"wait-log-equals")
        rc = CmdWaitLog(args, LogMatch::Equals, "wait-log-equals");
    else if (command == L"wait-log-ends-with")
        rc = CmdWaitLog(args, LogMatch::EndsWith, "wait-log-ends-with");
    else if (command == L"wait-log-length")
        rc = CmdWaitLogLength(args);
    else if (command == L"log-lacks")
        rc = CmdLogLacks(args);
    else if (command == L"command")
        rc = CmdCommand(args, false);
    else if (command == L"post-command")
        rc = CmdCommand(args, true);
    else if (command == L"command-times")
        rc = CmdCommandTimes(args);
    else if (command == L"close")
        rc = CmdClose(args);
    else if (command == L"terminate")
        rc = CmdTerminate(args);
    else if (command == L"send-endsession")
        rc = CmdSendEndSession(args);
    else if (command == L"focus-info")
        rc = CmdFocusInfo(args);
    else if (command == L"activate")
        rc = CmdActivate(args);
    else if (command == L"other-window")
        rc = CmdOtherWindow(args);
    else if (command == L"pid")
        rc = CmdPid(args);
    else if (command == L"threads")
        rc = CmdThreads(args);
    else if (command == L"own-threads")
        rc = CmdOwnThreads(args);
    if (rc == kUsage)
        Usage();
    return rc;
}

} // namespace
} // namespace kx::e2e

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return kx::e2e::Run(std::move(args));
}
