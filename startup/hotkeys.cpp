// The hotkeys' grabs: at start-up, the size keys around each show, and after a keyboard map change.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "startup/dropcon.h"

static HotkeyGrab* const sizeKeys[] = {&console.keySmaller, &console.keyBigger, &console.keyFull};
static HotkeyGrab* const allHotkeys[] = {&console.toggleKey, &console.keySmaller, &console.keyBigger,
                                         &console.keyFull};

// The request serials of grabs whose refusal is not reported: the size keys'
// at every show and every grab after a map change. A refused hotkey has
// been named once at start-up; finding out again would cost a round trip
// at every show.
static std::vector<std::pair<unsigned long, unsigned long>> quietSerials;

bool quietGrabError(const XErrorEvent* error) {
    if (error->request_code != X_GrabKey) return false;
    for (auto [first, last] : quietSerials)
        if (error->serial >= first && error->serial <= last) return true;
    return false;
}

// The keyboard map by group and level, from XKB: the core map folds the
// groups and levels into one row per key in a way that depends on the
// server, and it cannot tell a third level from a second group.
static KeyTable readKeyTable() {
    Display* dpy = console.display;
    KeyTable table;
    if (XkbDescPtr xkb = XkbGetMap(dpy, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)) {
        table.minKeycode = xkb->min_key_code;
        for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
            auto& groups = table.keys.emplace_back();
            for (int group = 0; group < XkbKeyNumGroups(xkb, keycode); ++group) {
                auto& levels = groups.emplace_back();
                for (int level = 0; level < XkbKeyGroupWidth(xkb, keycode, group); ++level)
                    levels.push_back(XkbKeySymEntry(xkb, keycode, level, group));
            }
        }
        XkbFreeKeyboard(xkb, 0, True);
        return table;
    }
    // A server without XKB: the core map's first two columns are the two
    // levels of group 1, the next two those of group 2.
    int minKeycode = 0, maxKeycode = 0, perKey = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    KeySym* syms =
        XGetKeyboardMapping(dpy, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKey);
    if (!syms) return table;
    table.minKeycode = minKeycode;
    for (int i = 0; i <= maxKeycode - minKeycode; ++i) {
        auto& groups = table.keys.emplace_back();
        for (int column = 0; column < perKey && column < 4; ++column) {
            if (column % 2 == 0) groups.emplace_back();
            groups.back().push_back(syms[i * perKey + column]);
        }
    }
    XFree(syms);
    return table;
}

static unsigned findNumLockMask() {
    // XKeysymToKeycode also has Xlib load its copy of the keyboard map and
    // ask for XKB's map notices, which it hands on as MappingNotify: a
    // client of XKB gets no core MappingNotify from the server.
    const KeyCode numLock = XKeysymToKeycode(console.display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(console.display);
    if (!map) return 0;
    unsigned mask = numLockMaskFrom(map->modifiermap, map->max_keypermod, numLock);
    XFreeModifiermap(map);
    return mask;
}

// Puts the hotkey on the key that types its keysym in this map. Says so
// when it has no such key, unless it had none before either: a hotkey is
// warned about once each time it loses its key.
static void placeHotkey(HotkeyGrab& hotkey, const KeyTable& table, bool hadKey) {
    KeyGrab grab = grabFor(table, hotkey.keysym, hotkey.mask);
    hotkey.keycode = grab.keycode;
    hotkey.grabMask = grab.mask;
    if (hotkey.keycode || !hadKey) return;
    if (grab.thirdLevel)
        std::fprintf(stderr, "%s: %s: \"%s\" is typed only with AltGr; not grabbed\n", console.progName,
                     hotkey.resource, hotkey.spec);
    else
        std::fprintf(stderr, "%s: %s: no key for \"%s\" on this keyboard\n", console.progName,
                     hotkey.resource, parseHotkey(hotkey.spec).keyName.c_str());
}

// The key and modifier combinations a hotkey is grabbed with; none without a key.
using Combination = std::pair<KeyCode, unsigned>;
static std::vector<Combination> combinations(const HotkeyGrab& hotkey) {
    std::vector<Combination> list;
    if (hotkey.keycode)
        for (unsigned mask : grabMasks(hotkey.grabMask, console.numLockMask))
            list.emplace_back(hotkey.keycode, mask);
    return list;
}

static void grabKey(const HotkeyGrab& hotkey) {
    for (auto [keycode, mask] : combinations(hotkey))
        XGrabKey(console.display, keycode, mask, console.root, True, GrabModeAsync, GrabModeAsync);
}

template <typename Hotkeys>
static void grabQuietly(const Hotkeys& hotkeys) {
    Display* dpy = console.display;
    const unsigned long first = NextRequest(dpy);
    for (const HotkeyGrab* hotkey : hotkeys) grabKey(*hotkey);
    const unsigned long last = NextRequest(dpy) - 1;
    // Errors come back in the order of the requests: once a later request
    // has been answered, a range has had all the errors it will have.
    const unsigned long answered = LastKnownRequestProcessed(dpy);
    std::erase_if(quietSerials, [answered](auto range) { return range.second <= answered; });
    if (last >= first) quietSerials.emplace_back(first, last);
}

static void grabHotkey(HotkeyGrab& hotkey, const KeyTable& table) {
    Hotkey parsed = parseHotkey(hotkey.spec);
    hotkey.mask = parsed.mask;
    hotkey.keysym = XStringToKeysym(parsed.keyName.c_str());
    if (hotkey.keysym == NoSymbol) {
        std::fprintf(stderr, "%s: %s: no key named \"%s\"\n", console.progName, hotkey.resource,
                     parsed.keyName.c_str());
        return;
    }
    placeHotkey(hotkey, table, true);
    if (!hotkey.keycode) return;
    const unsigned long errorsBefore = xErrors;
    grabKey(hotkey);
    // A refused grab (another client holds the key) is reported by the
    // error handler by its code alone; say once which hotkey it was.
    XSync(console.display, False);
    if (xErrors != errorsBefore)
        std::fprintf(stderr, "%s: %s: \"%s\" is held by another client\n", console.progName, hotkey.resource,
                     hotkey.spec);
}

void grabHotkeys() {
    // Asked for per client: a held toggle key then shows as a press with no
    // release since the last one, and toggles once.
    Bool supported = False;
    console.repeatDetectable = XkbSetDetectableAutoRepeat(console.display, True, &supported);
    const KeyTable table = readKeyTable();
    console.numLockMask = findNumLockMask();
    for (HotkeyGrab* hotkey : allHotkeys) grabHotkey(*hotkey, table);
    releaseSizeKeys();
}

void grabSizeKeys() { grabQuietly(sizeKeys); }

void releaseSizeKeys() {
    // A combination that the toggle key holds too stays grabbed.
    const std::vector<Combination> toggle = combinations(console.toggleKey);
    for (const HotkeyGrab* hotkey : sizeKeys)
        for (Combination held : combinations(*hotkey))
            if (std::find(toggle.begin(), toggle.end(), held) == toggle.end())
                XUngrabKey(console.display, held.first, held.second, console.root);
}

void releaseHotkeys() { XUngrabKey(console.display, AnyKey, AnyModifier, console.root); }

// The key combinations the console holds now: the toggle key's always, the
// size keys' while shown.
static std::vector<Combination> heldCombinations() {
    std::vector<Combination> held = combinations(console.toggleKey);
    for (const HotkeyGrab* hotkey : sizeKeys)
        for (Combination combination : combinations(*hotkey))
            if (!loop.hidden) held.push_back(combination);
    return held;
}

void followKeyboardMapping(XEvent& event) {
    Display* dpy = console.display;
    // One layout change brings several notices (keys, modifiers): those
    // next in the queue are taken together, and the grabs are moved once.
    // Only those: a key press queued between two notices was made under the
    // map of the first, and is matched before the second moves the grabs.
    bool keyboard = false;
    for (;;) {
        if (event.xmapping.request != MappingPointer) {
            XRefreshKeyboardMapping(&event.xmapping);
            keyboard = true;
        }
        if (!XEventsQueued(dpy, QueuedAfterReading)) break;
        XEvent next;
        XPeekEvent(dpy, &next);
        if (next.type != MappingNotify) break;
        XNextEvent(dpy, &event);
    }
    if (!keyboard) return;

    const auto before = heldCombinations();
    const KeyTable table = readKeyTable();
    console.numLockMask = findNumLockMask();
    for (HotkeyGrab* hotkey : allHotkeys)
        if (hotkey->keysym != NoSymbol) placeHotkey(*hotkey, table, hotkey->keycode != 0);
    const auto after = heldCombinations();
    // Only the combinations no hotkey holds any more are let go, and all
    // the others grabbed again at once: the server also sends this notice
    // when input switches between keyboards with the same map, and keys
    // pressed meanwhile must not slip past a hotkey that stays where it was.
    for (Combination held : before)
        if (std::find(after.begin(), after.end(), held) == after.end())
            XUngrabKey(dpy, held.first, held.second, console.root);
    const HotkeyGrab* toggle[] = {&console.toggleKey};
    grabQuietly(toggle);
    if (!loop.hidden) grabSizeKeys();
}
