// The number of kernel handles a process holds, from the system's handle list: Wine answers
// GetProcessHandleCount with 0, so tests count this way.
#pragma once

#include <windows.h>

#include <vector>

namespace dialserver {

inline long long HandleCountOf(DWORD pid) {
  struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
  };
  struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry handles[1];
  };
  using QueryFunction = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kExtendedHandleInformation = 64;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004L);
  const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  std::vector<char> buffer(1 << 20);
  LONG status;
  ULONG length = 0;
  while ((status = query(kExtendedHandleInformation, buffer.data(),
                         static_cast<ULONG>(buffer.size()), &length)) == kLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return -1;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  long long count = 0;
  for (ULONG_PTR i = 0; i < list->count; ++i) {
    if (list->handles[i].processId == pid) ++count;
  }
  return count;
}

}  // namespace dialserver
