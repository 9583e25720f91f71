// The sample's product: a Windows program that shows one message.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "Hello from the sample product.", "hello", MB_OK);
  return 0;
}
