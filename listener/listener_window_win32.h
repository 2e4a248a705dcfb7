// The command listener as a control of a window: a hidden child window to which Winsock reports,
// so that all of the listener's work runs on the UI thread, one report at a time.
#pragma once

#include <winsock2.h>  // before windows.h

#include <windows.h>

#include <memory>

#include "listener/command_listener.h"
#include "listener/socket_layer_win32.h"

namespace dialserver {

class ListenerWindow {
 public:
  // Starts the socket library, creates the notification window as a child of `parent` and
  // starts listening; whether listening succeeded is in Listener().IsListening(). Null only when
  // the notification window cannot be created.
  static std::unique_ptr<ListenerWindow> Create(HWND parent);

  // The notification window goes first, so that no report reaches the listener while it closes
  // its sockets.
  ~ListenerWindow();
  ListenerWindow(const ListenerWindow&) = delete;
  ListenerWindow& operator=(const ListenerWindow&) = delete;

  CommandListener& Listener() { return listener_; }
  HWND NotificationWindow() const { return window_; }

 private:
  ListenerWindow();
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnSocketMessage(SocketHandle socket, WORD event);

  WinsockLayer sockets_;
  CommandListener listener_;
  HWND window_ = nullptr;
};

}  // namespace dialserver
