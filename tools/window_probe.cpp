// Looks at the main window of a running dialserver.exe from another process, for the system tests.
//
//   window_probe [--pid N] [--exe PATH] [--all]
//       Finds the top-level window titled 拨号服务端 and prints one line of JSON describing it and
//       its controls: {"found":true,"hwnd":..,"pid":..,"title":..,"window":[l,t,r,b],
//       "client_origin":[x,y],"client_size":[w,h],"style":..,"exstyle":..,"visible":..,
//       "minimized":..,"focus_id":..,"controls":[{"id":..,"class":..,"rect":[l,t,w,h],"text":..,
//       "text_hex":..,"style":..,"visible":..,"enabled":..},..]}, or {"found":false} (exit 1).
//       --pid keeps only windows of that (Windows) process id; --exe only windows of a process
//       whose image is that file (compared without regard to case); --all prints
//       {"found":..,"count":..,"windows":[..]} with every match.
//   window_probe close [--pid N] [--exe PATH]
//       Posts WM_CLOSE to the window found that way.
//
// Texts of the controls are read with WM_GETTEXT sent to them (GetWindowText does not send it to
// another process's controls). A control that does not answer within the time limit gets the text
// null and the window "responding":false.
#include <windows.h>

#include "tools/handle_count_win32.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"\u62E8\u53F7\u670D\u52A1\u7AEF";  // 拨号服务端
constexpr UINT kAnswerTimeoutMs = 5000;

struct Options {
  bool close = false;
  bool all = false;
  bool hasPid = false;
  DWORD pid = 0;
  std::wstring exe;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 0) return {};
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), size);
  result.resize(static_cast<std::size_t>(size - 1));
  return result;
}

// A JSON string literal of UTF-8 text.
std::string Quoted(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string result = "\"";
  for (const char c : text) {
    const auto value = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      result += '\\';
      result += c;
    } else if (value < 0x20 || value == 0x7f) {
      result += "\\u00";
      result += kHex[value >> 4];
      result += kHex[value & 15];
    } else {
      result += c;
    }
  }
  return result + "\"";
}

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string result;
  for (const char c : bytes) {
    const auto value = static_cast<unsigned char>(c);
    result += kHex[value >> 4];
    result += kHex[value & 15];
  }
  return result;
}

std::string Bool(bool value) {
  return value ? "true" : "false";
}

std::string Number(long long value) {
  return std::to_string(value);
}

std::string Unsigned(unsigned long long value) {
  return std::to_string(value);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256];
  const int length = GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

// The text of a window of any process, through WM_GETTEXTLENGTH and WM_GETTEXT; false when it
// does not answer.
bool TextOf(HWND window, std::wstring& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                           &length)) {
    return false;
  }
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &copied)) {
    return false;
  }
  if (copied > length) copied = length;
  text.assign(buffer.data(), copied);
  return true;
}

// The same text in the ANSI code page, as the ...A functions give it.
bool AnsiTextOf(HWND window, std::string& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                           &length)) {
    return false;
  }
  // The ANSI length may be an estimate; leave room for texts of two bytes a character.
  std::vector<char> buffer(2 * length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &copied)) {
    return false;
  }
  if (copied >= buffer.size()) copied = buffer.size() - 1;
  text.assign(buffer.data(), copied);
  return true;
}

std::wstring ImageOf(DWORD pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  std::wstring result;
  if (QueryFullProcessImageNameW(process, 0, path, &size)) result.assign(path, size);
  CloseHandle(process);
  return result;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

struct Search {
  const Options* options;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<Search*>(parameter);
  wchar_t title[64];
  const int length = GetWindowTextW(window, title, 64);
  if (length <= 0 || std::wcscmp(title, kTitle) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search.options->hasPid && pid != search.options->pid) return TRUE;
  if (!search.options->exe.empty() && !SameFile(ImageOf(pid), search.options->exe)) return TRUE;
  search.found.push_back(window);
  return TRUE;
}

// The matching windows, visible ones first, each group in the order EnumWindows gives (top first).
std::vector<HWND> FindWindows(const Options& options) {
  Search search{&options, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  std::vector<HWND> ordered;
  for (const HWND window : search.found) {
    if (IsWindowVisible(window)) ordered.push_back(window);
  }
  for (const HWND window : search.found) {
    if (!IsWindowVisible(window)) ordered.push_back(window);
  }
  return ordered;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
  reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
  return TRUE;
}

std::string DescribeControl(HWND parent, HWND control, bool& responding) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  std::wstring text;
  std::string ansi;
  const bool answered = TextOf(control, text) && AnsiTextOf(control, ansi);
  if (!answered) responding = false;
  std::string json = "{\"id\":" + Number(GetDlgCtrlID(control));
  json += ",\"class\":" + Quoted(Utf8(ClassOf(control)));
  json += ",\"rect\":[" + Number(rect.left) + "," + Number(rect.top) + "," +
          Number(rect.right - rect.left) + "," + Number(rect.bottom - rect.top) + "]";
  json += ",\"text\":" + (answered ? Quoted(Utf8(text)) : std::string("null"));
  json += ",\"text_hex\":" + (answered ? Quoted(Hex(ansi)) : std::string("null"));
  json += ",\"style\":" + Unsigned(static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)));
  json += ",\"visible\":" + Bool(IsWindowVisible(control));
  json += ",\"enabled\":" + Bool(IsWindowEnabled(control));
  return json + "}";
}

std::string DescribeWindow(HWND window) {
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  std::wstring title;
  bool responding = TextOf(window, title);
  if (!responding) {
    wchar_t buffer[256];
    const int length = GetWindowTextW(window, buffer, 256);
    title.assign(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
  }
  RECT outer{};
  GetWindowRect(window, &outer);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  RECT client{};
  GetClientRect(window, &client);

  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  int focusId = 0;
  HWND focus = nullptr;
  HWND active = nullptr;
  if (GetGUIThreadInfo(thread, &info)) {
    focus = info.hwndFocus;
    active = info.hwndActive;
    if (focus != nullptr && IsChild(window, focus)) focusId = GetDlgCtrlID(focus);
  }

  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::string controls;
  for (const HWND child : children) {
    if (!controls.empty()) controls += ",";
    controls += DescribeControl(window, child, responding);
  }

  std::string json = "{\"found\":true";
  json += ",\"hwnd\":" + Unsigned(reinterpret_cast<UINT_PTR>(window));
  json += ",\"pid\":" + Unsigned(pid);
  json += ",\"title\":" + Quoted(Utf8(title));
  json += ",\"window\":[" + Number(outer.left) + "," + Number(outer.top) + "," +
          Number(outer.right) + "," + Number(outer.bottom) + "]";
  json += ",\"client_origin\":[" + Number(origin.x) + "," + Number(origin.y) + "]";
  json += ",\"client_size\":[" + Number(client.right - client.left) + "," +
          Number(client.bottom - client.top) + "]";
  json += ",\"style\":" + Unsigned(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
  json += ",\"exstyle\":" + Unsigned(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
  json += ",\"visible\":" + Bool(IsWindowVisible(window));
  json += ",\"minimized\":" + Bool(IsIconic(window));
  json += ",\"enabled\":" + Bool(IsWindowEnabled(window));
  json += ",\"active\":" + Bool(active == window);
  json += ",\"foreground\":" + Bool(GetForegroundWindow() == window);
  json += ",\"focus_id\":" + Number(focusId);
  json += ",\"focus_hwnd\":" + Unsigned(reinterpret_cast<UINT_PTR>(focus));
  json += ",\"responding\":" + Bool(responding);
  json += ",\"handles\":" + Number(dialserver::HandleCountOf(pid));
  json += ",\"controls\":[" + controls + "]";
  return json + "}";
}

void PrintLine(const std::string& line) {
  const std::string output = line + "\n";
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, output.data(), static_cast<DWORD>(output.size()), &written, nullptr);
}

int Usage() {
  std::fputs(
      "usage: window_probe [--pid N] [--exe PATH] [--all]\n"
      "       window_probe close [--pid N] [--exe PATH]\n",
      stderr);
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  if (i < argc && std::string(argv[i]) == "close") {
    options.close = true;
    ++i;
  }
  for (; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--all" && !options.close) {
      options.all = true;
    } else if (argument == "--pid" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long pid = std::strtoul(argv[++i], &end, 0);
      if (end == argv[i] || *end != '\0') return false;
      options.hasPid = true;
      options.pid = static_cast<DWORD>(pid);
    } else if (argument == "--exe" && i + 1 < argc) {
      options.exe = Wide(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  const std::vector<HWND> windows = FindWindows(options);

  if (options.close) {
    if (windows.empty()) {
      PrintLine("{\"found\":false}");
      return 1;
    }
    const bool posted = PostMessageW(windows.front(), WM_CLOSE, 0, 0) != 0;
    PrintLine("{\"found\":true,\"hwnd\":" + Unsigned(reinterpret_cast<UINT_PTR>(windows.front())) +
              ",\"posted\":" + Bool(posted) + "}");
    return posted ? 0 : 3;
  }

  if (options.all) {
    std::string list;
    for (const HWND window : windows) {
      if (!list.empty()) list += ",";
      list += DescribeWindow(window);
    }
    PrintLine("{\"found\":" + Bool(!windows.empty()) + ",\"count\":" +
              Number(static_cast<long long>(windows.size())) + ",\"windows\":[" + list + "]}");
    return windows.empty() ? 1 : 0;
  }

  if (windows.empty()) {
    PrintLine("{\"found\":false}");
    return 1;
  }
  PrintLine(DescribeWindow(windows.front()));
  return 0;
}
