// The platform's keyboard calls behind the key translator, and the
// mouse-wheel set-up.
#include <windows.h>

#include <cstdlib>

#include "commands/keytrans.h"
#include "opsys/shell_outlets.h"

namespace {

int key_down(int vk) { return GetKeyState(vk) < 0 ? 1 : 0; }

int to_ascii(int vk, unsigned scan) {
    BYTE state[256];
    if (!GetKeyboardState(state))
        return 0;
    WORD out = 0;
    return ToAscii(UINT(vk), scan, state, &out, 0);
}

int to_oem(int c) {
    char in[2] = {char(c), 0}, out[2] = {0, 0};
    CharToOemBuffA(in, out, 1);
    return static_cast<unsigned char>(out[0]);
}

int key_up_waiting() {
    MSG m;
    return PeekMessageA(&m, nullptr, WM_KEYUP, WM_KEYUP, PM_NOREMOVE) ||
           PeekMessageA(&m, nullptr, WM_SYSKEYUP, WM_SYSKEYUP, PM_NOREMOVE);
}

int ctrl_break_down() { return (GetAsyncKeyState(VK_CANCEL) & 0x8000) ? 1 : 0; }

void beep(unsigned type) { MessageBeep(type); }

void post_main(unsigned msg, uintptr_t w, intptr_t l) {
    QwShellOutlets o = QwGetShellOutlets();
    void* main = o.main_window ? o.main_window() : nullptr;
    if (main)
        PostMessageA(static_cast<HWND>(main), msg, WPARAM(w), LPARAM(l));
}

int g_wheel_lines = 0;
bool g_wheel_read = false;

} // namespace

const K_key_platform& K_key_default_platform() {
    static const K_key_platform p = {key_down, to_ascii, to_oem, nullptr, key_up_waiting,
                                     ctrl_break_down, beep, post_main};
    return p;
}

int InitMouseWheel() {
    if (g_wheel_read)
        return g_wheel_lines;
    g_wheel_read = true;
    UINT msg = RegisterWindowMessageA("MSH_SCROLL_LINES_MSG");
    HWND wheel = msg ? FindWindowA("MouseZ", "Magellan MSWHEEL") : nullptr;
    if (wheel) {
        g_wheel_lines = int(SendMessageA(wheel, msg, 0, 0));
        return g_wheel_lines;
    }
    int lines = 3;
    UINT sys = 0;
    if (GetSystemMetrics(SM_MOUSEWHEELPRESENT) && SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &sys, 0)) {
        lines = int(sys);
    } else {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char text[32] = "";
            DWORD size = sizeof text - 1, type = 0;
            if (RegQueryValueExA(key, "WheelScrollLines", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
                    ERROR_SUCCESS && type == REG_SZ) {
                text[size < sizeof text ? size : sizeof text - 1] = '\0';
                lines = std::atoi(text);
            }
            RegCloseKey(key);
        }
    }
    g_wheel_lines = lines;
    return lines;
}

void ResetMouseWheel() { g_wheel_read = false; }
