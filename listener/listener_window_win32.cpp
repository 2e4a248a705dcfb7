#include "listener/listener_window_win32.h"

namespace dialserver {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResumeMessage = WM_APP + 2;
constexpr wchar_t kClassName[] = L"DialserverListener";

}  // namespace

ListenerWindow::ListenerWindow() : sockets_(kSocketMessage, kResumeMessage), listener_(sockets_) {}

std::unique_ptr<ListenerWindow> ListenerWindow::Create(HWND parent) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  // A second registration fails harmlessly; the class is the same.
  RegisterClassExW(&windowClass);

  std::unique_ptr<ListenerWindow> control(new ListenerWindow());
  control->window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 0, 0, parent, nullptr,
                                     instance, control.get());
  if (control->window_ == nullptr) return nullptr;
  control->sockets_.SetReportWindow(control->window_);
  control->listener_.StartListening();
  return control;
}

ListenerWindow::~ListenerWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

LRESULT CALLBACK ListenerWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ListenerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case kSocketMessage:
      if (self != nullptr) self->OnSocketMessage(wParam, WSAGETSELECTEVENT(lParam));
      return 0;
    case kResumeMessage:
      if (self != nullptr) self->listener_.HandleReport(wParam, Report::Resume);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (self != nullptr) self->window_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ListenerWindow::OnSocketMessage(SocketHandle socket, WORD event) {
  switch (event) {
    case FD_ACCEPT:
      listener_.HandleReport(socket, Report::Connection);
      break;
    case FD_READ:
      listener_.HandleReport(socket, Report::Read);
      break;
    case FD_CLOSE:
      listener_.HandleReport(socket, Report::Close);
      break;
  }
}

}  // namespace dialserver
