// The program's only window: seven labelled fields, the two buttons and the command listener,
// with the keyboard handling of the event loop and the start-up of the program.
#pragma once

#include <winsock2.h>  // before windows.h

#include <windows.h>

#include <array>
#include <memory>

#include "dial/command_runner_win32.h"
#include "dial/dial_control.h"
#include "dial/field_set.h"
#include "dial/redial_service.h"
#include "listener/listener_window_win32.h"
#include "window/control_table.h"

namespace dialserver {

class MainWindow final : public FieldSet {
 public:
  // Builds the window, hidden, with its controls at their defaults and the listener listening.
  // Null when the window cannot be built.
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance);
  ~MainWindow() override;

  // Shows the window in its normal state, activated, with the focus on the first control.
  void Show();

  // The whole text of a field's edit box in the system code page.
  Text FieldText(Field field) const;
  // Replaces the whole text of a field's edit box.
  void SetFieldText(Field field, std::string_view text);

  Text Read(Field field) const override { return FieldText(field); }
  void Write(Field field, std::string_view text) override { SetFieldText(field, text); }

  // The keyboard handling that comes before the focused control: true when the message was a
  // key that the window consumed.
  bool PreTranslateKey(const MSG& message);

  HWND Handle() const { return window_; }

 private:
  MainWindow();
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateControls();
  void OnCommand(int id, int notification);
  void OnActivate(bool active);
  void OnSetFocus();
  void OnDestroy();
  void MoveFocus(bool forward);
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  HWND window_ = nullptr;
  HWND savedFocus_ = nullptr;
  ProcessCommandRunner runner_;
  DialControl dialControl_;
  LocalClock clock_;
  RedialService redialService_;
  std::unique_ptr<ListenerWindow> listener_;
};

// Handles the thread's events until the window has been destroyed.
void RunEventLoop(MainWindow& window);

// The whole life of the program: its folder as current directory, the window, the event loop.
// The process's exit status.
int RunProgram(HINSTANCE instance);

}  // namespace dialserver
