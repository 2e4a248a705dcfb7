// A stand-in for a command (cmd.exe, rasdial.exe) that records how it was started.
//
// Placed in a folder as NAME.exe, it appends one line to NAME.log in that folder for each run:
//   <start ms> <end ms> <command line as hexadecimal bytes>
// with times in milliseconds since 1970 (UTC), the command line exactly as GetCommandLineA gives
// it. NAME.delay, if present, holds milliseconds to wait before ending; NAME.exit, if present, the
// exit status to end with (0 otherwise).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long long MillisecondsSince1970() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  constexpr unsigned long long kTicksFrom1601To1970 = 116444736000000000ULL;
  return static_cast<long long>((ticks.QuadPart - kTicksFrom1601To1970) / 10000);
}

// The path of this exe without its ".exe".
std::string OwnPathStem() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string stem(path, length);
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string::npos && stem.find('\\', dot) == std::string::npos) stem.resize(dot);
  return stem;
}

long ReadNumber(const std::string& path, long fallback) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fallback;
  long number = fallback;
  if (std::fscanf(file, "%ld", &number) != 1) number = fallback;
  std::fclose(file);
  return number;
}

}  // namespace

int main() {
  const long long start = MillisecondsSince1970();
  const std::string stem = OwnPathStem();
  const long delay = ReadNumber(stem + ".delay", 0);
  if (delay > 0) Sleep(static_cast<DWORD>(delay));

  std::string record = std::to_string(start) + " " + std::to_string(MillisecondsSince1970()) + " ";
  static const char kHex[] = "0123456789abcdef";
  for (const char* c = GetCommandLineA(); *c != '\0'; ++c) {
    const auto value = static_cast<unsigned char>(*c);
    record += kHex[value >> 4];
    record += kHex[value & 15];
  }
  record += "\n";
  const HANDLE log = CreateFileA((stem + ".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(log);
  }
  return static_cast<int>(ReadNumber(stem + ".exit", 0));
}
