#include "listener/client_table.h"

#include <utility>

namespace dialserver {

void ClientTable::Append(SocketHandle socket, Text clientText) {
  entries_.push_back(ClientEntry{socket, std::move(clientText)});
  bySocket_.emplace(socket, std::prev(entries_.end()));
}

ClientEntry* ClientTable::Find(SocketHandle socket) {
  const auto found = bySocket_.find(socket);
  return found == bySocket_.end() ? nullptr : &*found->second;
}

bool ClientTable::Remove(SocketHandle socket) {
  const auto found = bySocket_.find(socket);
  if (found == bySocket_.end()) return false;
  entries_.erase(found->second);
  bySocket_.erase(found);
  return true;
}

void ClientTable::Clear() {
  bySocket_.clear();
  entries_.clear();
}

}  // namespace dialserver
