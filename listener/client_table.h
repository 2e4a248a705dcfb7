// The accepted clients, in order of acceptance, found by socket without a scan.
#pragma once

#include <cstddef>
#include <list>
#include <unordered_map>

#include "dial/text.h"
#include "listener/socket_layer.h"

namespace dialserver {

struct ClientEntry {
  SocketHandle socket;
  Text clientText;
  // Set while the client's read reports are ignored, until its resume report comes.
  bool deferred = false;
};

class ClientTable {
 public:
  using Entries = std::list<ClientEntry>;

  // Appends an entry for a socket that has none.
  void Append(SocketHandle socket, Text clientText);
  // The socket's entry, or null.
  ClientEntry* Find(SocketHandle socket);
  // Removes the socket's entry, keeping the order of the others; false when it had none.
  bool Remove(SocketHandle socket);
  void Clear();

  const Entries& InOrder() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }

 private:
  Entries entries_;
  std::unordered_map<SocketHandle, Entries::iterator> bySocket_;
};

}  // namespace dialserver
