// What writing a text into an edit box like the program's fields costs: for each length, the
// mean time of SetWindowTextA and of the repaint that follows. The lengths are the arguments,
// or a spread from 16 bytes to 128 KiB. Prints one line per length:
//   <bytes> <ms to set> <ms to repaint>
// Under Wine the set is dominated by shaping the whole line (Uniscribe), which is what every
// gathering of the listener pays when it reaches the task field.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Milliseconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

int main(int argc, char** argv) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const HWND top = CreateWindowExW(0, L"STATIC", L"edit box cost", WS_OVERLAPPED | WS_CAPTION, 0, 0,
                                   400, 120, nullptr, nullptr, instance, nullptr);
  // As the program's fields: a single-line edit box with a client edge, the GUI font, no limit.
  const HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                   WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL, 10, 10, 200,
                                   22, top, nullptr, instance, nullptr);
  if (top == nullptr || box == nullptr) return 1;
  SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
  ShowWindow(top, SW_SHOWNORMAL);
  Pump();
  constexpr int kRepeats = 8;
  std::vector<std::size_t> lengths = {16,    256,   1024,  2048,  4096,  6000,  8192,
                                      12000, 16384, 20000, 32768, 65536, 131072};
  if (argc > 1) lengths.clear();
  for (int i = 1; i < argc; ++i) lengths.push_back(std::strtoul(argv[i], nullptr, 10));
  for (const std::size_t length : lengths) {
    // Two texts in turn, so that every write changes the field.
    const std::string texts[2] = {std::string(length, 's'), std::string(length, 't')};
    double setting = 0, painting = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
      const double start = Milliseconds();
      SetWindowTextA(box, texts[repeat % 2].c_str());
      const double set = Milliseconds();
      UpdateWindow(top);
      Pump();
      setting += set - start;
      painting += Milliseconds() - set;
    }
    std::printf("%zu %.2f %.2f\n", length, setting / kRepeats, painting / kRepeats);
    std::fflush(stdout);
  }
  DestroyWindow(top);
  return 0;
}
