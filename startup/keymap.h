// Pure hotkey pieces: where a keysym sits in the keyboard map, its grab modifiers, key press matching.
#pragma once

#include <X11/X.h>

#include <vector>

// The keyboard map as the server holds it: for each keycode from
// minKeycode on, its keysyms by group and, within a group, by level.
struct KeyTable {
    int minKeycode = 8;
    std::vector<std::vector<std::vector<KeySym>>> keys;  // [keycode - minKeycode][group][level]
};

// The key a hotkey's keysym is grabbed on and the modifiers it takes.
struct KeyGrab {
    KeyCode keycode = 0;      // 0: no key types the keysym at level 1 or 2
    unsigned mask = 0;        // the configured modifiers, plus Shift at level 2
    bool thirdLevel = false;  // typed only at level 3 or above (AltGr): not grabbed
};

// Where a keysym is typed: at level 1 of any group without Shift, else at
// level 2 with Shift added; where it appears at several places, the lowest
// level, then the lowest group, then the lowest keycode. A keysym only
// reached with AltGr or the like is not grabbed: those levels depend on
// modifiers that differ from one layout to the next.
KeyGrab grabFor(const KeyTable& table, KeySym keysym, unsigned mask);

// One hotkey: what the user configured and the key it holds now.
struct HotkeyGrab {
    const char* resource = "";  // its resource name, for messages
    const char* spec = "";      // its specification as configured
    KeySym keysym = NoSymbol;   // NoSymbol: the key name names no keysym
    unsigned mask = 0;          // the configured modifiers
    KeyCode keycode = 0;        // the key that types the keysym now; 0 when none
    unsigned grabMask = 0;      // the modifiers it is grabbed with, Lock and Num Lock aside
};

// Whether a key press is this hotkey's: its keycode, and the eight core
// modifier bits it was grabbed with, Lock and the Num Lock modifier aside.
// The layout group (bits 13-14) and the pointer buttons (bits 8-12) of the
// state do not count, so that a hotkey works in every group and with a
// mouse button held.
bool hotkeyMatches(const HotkeyGrab& hotkey, unsigned keycode, unsigned state, unsigned numLockMask);

// The toggle key's last press: its key, its time, and whether (and when)
// that key has been released since.
struct LastPress {
    unsigned keycode = 0;
    Time time = 0;
    bool released = true;
    Time releaseTime = 0;
};

// Whether a press is the autorepeat of a held key: no release of its key
// came since the previous press, and that one came less than a second
// before (so that a release that never arrives leaves no key dead). With
// pairedReleases (no XKB), the server sends each repeat as a release and a
// press with one time: such a release does not count. Notes the press.
bool repeatedPress(LastPress& last, unsigned keycode, Time time, bool pairedReleases);
void noteRelease(LastPress& last, unsigned keycode, Time time);
