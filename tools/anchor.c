/* Keeps Wine's background processes owned by one long-lived program of ours during a CTest run, so that
   CTest does not wait on pipes that services.exe or explorer.exe inherited from the first test. */
#include <windows.h>

int main(void) {
    GetDesktopWindow();
    for (;;)
        Sleep(60000);
}
