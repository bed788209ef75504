#pragma once

class CaptureFile;

// What the command line turns on; all of it is off by default.
struct RunOptions {
    // Every received byte also goes to this file.
    CaptureFile* capture = nullptr;
    // A lost port is opened again, without a message box, once its device
    // is back.
    bool reconnect = false;
};
