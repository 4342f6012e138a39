// A program that copies the 3 x 2 clipboard fixture through the X11 image
// clipboard, prints the copy's status, and ends when its standard input
// closes: the clipboard's own teardown at exit is what the tests watch.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "editor/clipboard_fixtures.h"
#include "editor/clipboard_image.h"

int main() {
    vobu::ImageClipboardCalls calls = vobu::systemImageClipboardCalls();
    // No window of ours here; the focus rule has its own tests.
    calls.ourWindowHasFocus = [] { return true; };
    vobu::installImageClipboard(calls);
    vobu::copyImageToClipboard(vobu::testing::fixtureImage("copy_3x2.rgba", 3, 2));
    vobu::RgbaImage none;
    std::string status;
    vobu::takeClipboardImage(none, status);
    std::printf("%s\n", status.c_str());
    std::fflush(stdout);
    char byte = 0;
    while (read(0, &byte, 1) > 0) {}
    return 0;
}
