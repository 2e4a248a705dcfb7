#include "window/main_window_win32.h"

#include <new>
#include <string>

#include "window/wide_text_win32.h"

namespace dialserver {
namespace {

constexpr wchar_t kClassName[] = L"DialserverMainWindow";
constexpr int kIconResource = 1;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ControlClass {
  const wchar_t* className;
  DWORD style;
  DWORD extendedStyle;
};

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return {L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case ControlKind::EditBox:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::PushButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
  }
  return {L"STATIC", 0, 0};
}

Key KeyOf(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_TAB:
      return kKeyTab;
    case VK_ESCAPE:
      return kKeyEscape;
    case VK_RETURN:
      return kKeyReturn;
  }
  return kKeyOther;
}

bool IsDown(int virtualKey) {
  return (GetKeyState(virtualKey) & 0x8000) != 0;
}

[[noreturn]] void OutOfMemory() {
  MessageBoxW(nullptr, WideFromGbk(kOutOfMemoryMessage).c_str(), WideFromGbk(kWindowTitle).c_str(),
              MB_OK | MB_ICONERROR);
  ExitProcess(static_cast<UINT>(-1));
}

void SetCurrentDirectoryToProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t lastBackslash = path.rfind('\\');
  if (lastBackslash == std::string::npos) return;
  path.resize(lastBackslash);
  // A failure leaves the inherited directory; nothing is said.
  SetCurrentDirectoryA(path.c_str());
}

}  // namespace

MainWindow::MainWindow()
    : dialControl_(*this, runner_), redialService_(*this, dialControl_, clock_) {}

MainWindow::~MainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return nullptr;
  }

  std::unique_ptr<MainWindow> self(new MainWindow());
  const ScreenPoint origin =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  self->window_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, WideFromGbk(kWindowTitle).c_str(),
                                  kWindowStyle, origin.x, origin.y, kWindowWidth, kWindowHeight,
                                  nullptr, nullptr, instance, self.get());
  if (self->window_ == nullptr) return nullptr;
  RECT outer;
  GetWindowRect(self->window_, &outer);
  if (outer.left != origin.x || outer.top != origin.y || outer.right - outer.left != kWindowWidth ||
      outer.bottom - outer.top != kWindowHeight) {
    SetWindowPos(self->window_, nullptr, origin.x, origin.y, kWindowWidth, kWindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!self->CreateControls()) return nullptr;

  // The listener's reports wait in the queue until the event loop runs, so nothing is handled
  // before the window is complete and shown.
  self->listener_ = ListenerWindow::Create(self->window_);
  if (self->listener_ == nullptr) return nullptr;
  CommandListener& listener = self->listener_->Listener();
  MainWindow* window = self.get();
  listener.BindDataArrived([window](const Bytes& data, const Text& client) {
    window->redialService_.OnDataArrived(data, client);
  });
  listener.BindClientEntered(
      [window](const Text& client) { window->redialService_.OnClientEntered(client); });
  return self;
}

bool MainWindow::CreateControls() {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  for (const ControlRow& row : kControls) {
    const ControlClass kind = ClassOf(row.kind);
    const HWND control =
        CreateWindowExW(kind.extendedStyle, kind.className, WideFromGbk(row.text).c_str(),
                        WS_CHILD | kind.style, row.left, row.top, row.width, row.height, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
    if (control == nullptr) return false;
    SendMessageW(control, WM_SETFONT, font, FALSE);
    if (row.kind == ControlKind::EditBox) {
      SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // the platform's largest
      SendMessageW(control, EM_SETSEL, 0, 0);        // caret at the start, nothing selected
    }
  }
  return true;
}

void MainWindow::Show() {
  for (const ControlRow& row : kControls) ShowWindow(Control(row.id), SW_SHOWNA);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  // Without a window manager's activation, the focus is put in place all the same.
  const HWND focus = GetFocus();
  if (focus == nullptr || (focus != window_ && !IsChild(window_, focus))) OnSetFocus();
}

Text MainWindow::FieldText(Field field) const {
  const HWND box = Control(EditBoxIdOf(field));
  const int length = GetWindowTextLengthA(box);
  if (length <= 0) return Text();
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(box, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

void MainWindow::SetFieldText(Field field, std::string_view text) {
  const std::string terminated(text);
  SetWindowTextA(Control(EditBoxIdOf(field)), terminated.c_str());
}

bool MainWindow::PreTranslateKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || window_ == nullptr) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  switch (
      ActionForKey(KeyOf(message.wParam), IsDown(VK_SHIFT), IsDown(VK_CONTROL), IsDown(VK_MENU))) {
    case KeyAction::FocusNext:
      MoveFocus(true);
      return true;
    case KeyAction::FocusPrevious:
      MoveFocus(false);
      return true;
    case KeyAction::Close:
      // Exactly as the close button.
      SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case KeyAction::PassOn:
      return false;
  }
  return false;
}

void MainWindow::MoveFocus(bool forward) {
  const HWND focus = GetFocus();
  const int current = focus != nullptr && IsChild(window_, focus) ? GetDlgCtrlID(focus) : 0;
  const auto next = NextInTabOrder(current, forward, [this](int id) {
    const HWND control = Control(id);
    return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
  });
  if (next) SetFocus(Control(*next));
}

LRESULT CALLBACK MainWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      break;  // the default gives the window the focus, and OnSetFocus passes it on
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_SIZE:
      // Restoring from the taskbar activates the window while it is still minimised, when the
      // focus cannot be passed on; it is passed on once the window is back.
      if (wParam == SIZE_RESTORED && GetFocus() == window_) OnSetFocus();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY: {
      const HWND window = window_;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  if (id == kButton1) dialControl_.Dial();
  if (id == kButton2) dialControl_.HangUp();
}

void MainWindow::OnActivate(bool active) {
  if (active) return;
  const HWND focus = GetFocus();
  if (focus != nullptr && IsChild(window_, focus)) savedFocus_ = focus;
}

void MainWindow::OnSetFocus() {
  if (IsIconic(window_)) return;  // the saved focus waits for the restore
  // The saved focus is kept until the next deactivation replaces it: a restore gives the
  // window the focus more than once, and each time it goes back to the same control.
  HWND target = savedFocus_;
  if (target == nullptr || !IsWindow(target) || !IsChild(window_, target)) {
    target = Control(kTabOrder.front());
  }
  SetFocus(target);
}

void MainWindow::OnDestroy() {
  // The listener closes every client connection and its listening socket, without ClientLeft.
  listener_.reset();
  PostQuitMessage(0);
}

void RunEventLoop(MainWindow& window) {
  if (window.Handle() == nullptr || !IsWindow(window.Handle())) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (window.PreTranslateKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int RunProgram(HINSTANCE instance) {
  std::set_new_handler(OutOfMemory);
  SetCurrentDirectoryToProgramFolder();
  std::unique_ptr<MainWindow> window = MainWindow::Create(instance);
  if (window == nullptr) {
    // A window destroyed half-built has posted its quit request, which would end the box at once.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MessageBoxW(nullptr, WideFromGbk(kStartFailedMessage).c_str(),
                WideFromGbk(kWindowTitle).c_str(), MB_OK | MB_ICONERROR);
    return -1;
  }
  window->Show();
  RunEventLoop(*window);
  return 0;
}

}  // namespace dialserver
