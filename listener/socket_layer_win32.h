#pragma once

#include <winsock2.h>  // before windows.h

#include <windows.h>

#include "listener/socket_layer.h"

namespace dialserver {

// Winsock, with every network event reported to one window as a message (WSAAsyncSelect).
class WinsockLayer final : public SocketLayer {
 public:
  // The window's socket message carries the socket in wParam and WSAMAKESELECTREPLY in lParam;
  // its resume message carries the socket in wParam.
  WinsockLayer(UINT socketMessage, UINT resumeMessage)
      : socketMessage_(socketMessage), resumeMessage_(resumeMessage) {}
  void SetReportWindow(HWND window) { window_ = window; }

  bool Startup() override;
  void Cleanup() override;
  SocketHandle OpenStreamSocket() override;
  bool BindAnyAddress(SocketHandle socket, std::uint16_t port) override;
  bool Listen(SocketHandle socket) override;
  bool SelectEvents(SocketHandle socket, unsigned events) override;
  SocketHandle Accept(SocketHandle listening) override;
  std::optional<PeerAddress> PeerName(SocketHandle socket) override;
  std::optional<std::string> DottedAddress(std::uint32_t address) override;
  std::optional<unsigned long> ReadyByteCount(SocketHandle socket) override;
  int Receive(SocketHandle socket, char* buffer, int size) override;
  void Close(SocketHandle socket) override;
  bool PostResume(SocketHandle socket) override;

 private:
  const UINT socketMessage_;
  const UINT resumeMessage_;
  HWND window_ = nullptr;
};

}  // namespace dialserver
