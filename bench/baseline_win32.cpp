// The bare baseline of the benchmarks: only the work a redial server cannot avoid. It listens on
// port 19730 (or the port given as its argument, so that it can run beside dialserver) with
// WSAAsyncSelect, accepts, reads what arrives, and on the text "1" runs the same two command
// lines, waiting for each. No fields, no table, no bound, no fairness.
#include <winsock2.h>

#include <windows.h>

#include <cstdlib>

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
char buffer[64 * 1024];

void Run(const char* line) {
  char copy[128];
  lstrcpynA(copy, line, sizeof copy);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, copy, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kSocketMessage) {
    const SOCKET s = static_cast<SOCKET>(wParam);
    switch (WSAGETSELECTEVENT(lParam)) {
      case FD_ACCEPT: {
        const SOCKET client = accept(s, nullptr, nullptr);
        if (client != INVALID_SOCKET)
          WSAAsyncSelect(client, window, kSocketMessage, FD_READ | FD_CLOSE);
        return 0;
      }
      case FD_READ: {
        const int received = recv(s, buffer, sizeof buffer, 0);
        if (received == 1 && buffer[0] == '1') {
          Run("cmd /c rasdial DialLine /disconnect");
          Run("cmd /c rasdial DialLine MRTX4820 530942");
        }
        return 0;
      }
      case FD_CLOSE:
        closesocket(s);
        return 0;
    }
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  const long port = arguments[0] != '\0' ? std::strtol(arguments, nullptr, 10) : 19730;
  if (port <= 0 || port > 65535) return 2;
  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"BaselineServer";
  RegisterClassW(&windowClass);
  // The same title, so that the benchmark finds it as it finds dialserver.
  const HWND window = CreateWindowExW(0, L"BaselineServer", L"\u62E8\u53F7\u670D\u52A1\u7AEF",
                                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0, 325, 340,
                                      nullptr, nullptr, instance, nullptr);
  const SOCKET listening = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<u_short>(port));
  bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listening, SOMAXCONN);
  WSAAsyncSelect(listening, window, kSocketMessage, FD_ACCEPT);
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  closesocket(listening);
  WSACleanup();
  return 0;
}
