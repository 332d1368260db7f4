#pragma once

// The main window's keyboard accelerator table, the one source of its keys:
// the Qt editor makes its shortcuts from it, and the Windows editor's
// resource script takes it as table 400 (makeacceleratorrc writes that part
// of the script).

#include "app/maincommands.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace jbx {

// Virtual-key codes: a letter or digit is its own ASCII code; F1..F24 follow
// on from 0x70.
inline constexpr int kVirtualKeyF1 = 0x70;
inline constexpr int kVirtualKeyF24 = kVirtualKeyF1 + 23;

// One entry: a virtual-key code, whether Alt is part of it, and the command
// it sends to the main window.
struct Accelerator {
    int key = 0;
    bool alt = false;
    int command = 0;

    bool operator==(const Accelerator&) const = default;
};

inline constexpr int kAcceleratorTableId = 400;
inline constexpr int kAcceleratorCount = 30;

// In resource order: A for Replace..., then Alt+F1..Alt+F10, F1..F10 and
// 1..9, 0 for the ten sounds. Alt+F4 is the system's close key, as in every
// window, so Sound 4 has no Alt key: F4 and 4 play it.
inline constexpr std::array<Accelerator, kAcceleratorCount> kAcceleratorTable{{
    {'A', false, command::kReplace},
    {kVirtualKeyF1 + 0, true, command::kSound1 + 0},
    {kVirtualKeyF1 + 1, true, command::kSound1 + 1},
    {kVirtualKeyF1 + 2, true, command::kSound1 + 2},
    {kVirtualKeyF1 + 4, true, command::kSound1 + 4},
    {kVirtualKeyF1 + 5, true, command::kSound1 + 5},
    {kVirtualKeyF1 + 6, true, command::kSound1 + 6},
    {kVirtualKeyF1 + 7, true, command::kSound1 + 7},
    {kVirtualKeyF1 + 8, true, command::kSound1 + 8},
    {kVirtualKeyF1 + 9, true, command::kSound1 + 9},
    {kVirtualKeyF1 + 0, false, command::kSound1 + 0},
    {kVirtualKeyF1 + 1, false, command::kSound1 + 1},
    {kVirtualKeyF1 + 2, false, command::kSound1 + 2},
    {kVirtualKeyF1 + 3, false, command::kSound1 + 3},
    {kVirtualKeyF1 + 4, false, command::kSound1 + 4},
    {kVirtualKeyF1 + 5, false, command::kSound1 + 5},
    {kVirtualKeyF1 + 6, false, command::kSound1 + 6},
    {kVirtualKeyF1 + 7, false, command::kSound1 + 7},
    {kVirtualKeyF1 + 8, false, command::kSound1 + 8},
    {kVirtualKeyF1 + 9, false, command::kSound1 + 9},
    {'1', false, command::kSound1 + 0},
    {'2', false, command::kSound1 + 1},
    {'3', false, command::kSound1 + 2},
    {'4', false, command::kSound1 + 3},
    {'5', false, command::kSound1 + 4},
    {'6', false, command::kSound1 + 5},
    {'7', false, command::kSound1 + 6},
    {'8', false, command::kSound1 + 7},
    {'9', false, command::kSound1 + 8},
    {'0', false, command::kSound10},
}};

// Alt+E opens the Sound window. It is kept out of table 400, which holds the
// main window's keys as they have always been; a front end adds it beside.
inline constexpr Accelerator kEditSoundAccelerator{'E', true, command::kEditSound};

// Whether the table holds key, with Alt or without: the keys a front end
// leaves to the table instead of handling them itself.
constexpr bool TableHasKey(int key)
{
    return std::ranges::any_of(kAcceleratorTable, [key](const Accelerator& entry) { return entry.key == key; });
}

// A front end whose table is a resource of the program can fail to load it;
// it reports this (with no owner) and runs without shortcut keys.
inline constexpr std::string_view kAcceleratorLoadError =
    "Error loading keyboard accelerators.\n\n"
    "You won't be able to use some of the shortcut keys this session.";

// The table as a resource-script ACCELERATORS statement, one line per entry
// in order: quoted letters and digits, VK_F1.. for function keys, VIRTKEY
// throughout and ALT where the entry has it. The script that includes it
// needs <windows.h> for the VK_ names.
std::string AcceleratorResourceScript();

} // namespace jbx
