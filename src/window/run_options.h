#pragma once

#include "platform/code_page.h"
#include "transmit/line_end.h"
#include "transmit/quick_sends.h"

#include <cstdint>
#include <optional>
#include <vector>

class CaptureFile;
class SettingsFile;

// The machine's physical memory in bytes.
std::int64_t physicalMemory();

// What the command line turns on; capture, reconnecting and milliseconds in
// stamps are off by default. What it sets wins over the user's settings for
// the run, and is not kept in them.
struct RunOptions {
    // Every received byte also goes to this file.
    CaptureFile* capture = nullptr;
    // A lost port is opened again, without a message box, once its device
    // is back.
    bool reconnect = false;
    // Bytes of memory the receive area, and the echo of what was sent, may
    // each take before their oldest lines give way: a quarter of physical
    // memory, so that a session of days leaves the system room.
    std::int64_t scrollback = physicalMemory() / 4;
    // The stamp after each received line gives milliseconds.
    bool stampMilliseconds = false;
    // The state put on DTR and RTS right after every open; unset, the state
    // the DTR and RTS toggles show (on at start).
    std::optional<bool> dtr = std::nullopt, rts = std::nullopt;
    // Where the user's choices outside the window's own controls are kept;
    // none: every start begins from the defaults and nothing is kept.
    SettingsFile* settings = nullptr;
    // A silence of this many milliseconds ends a frame in the receive area;
    // 0: as the user last chose.
    int frameGap = 0;
    // The "Line end" selector's entry and the text encoding at start; unset,
    // what the user chose last.
    std::optional<LineEnd> lineEnd = std::nullopt;
    std::optional<TextEncoding> encoding = std::nullopt;
    // Quick sends read from a file for this run; unset, the user's own.
    std::optional<std::vector<QuickSend>> quickSends = std::nullopt;
};
