#pragma once

#include <QString>

// Why a device could not be opened, in the serial component's terms.
struct OpenRefusal {
    int number;     // a comm:: error number
    QString reason; // for the user, naming the device
};

// What stands in the way of opening a device that the serial library refused
// with a permission error: another program holding it (its lock file names a
// live process, or the device is busy) or the user's rights.
// lockHolder: the process named by a live lock file, or 0 when there is none.
// openErrno: the errno of a plain non-blocking open of the device (0 when that
// open succeeded).
OpenRefusal explainPermissionError(const QString& device, long long lockHolder, int openErrno);

// The process that holds a live lock file of the device, or 0.
long long lockHolderOf(const QString& device);

// The errno of a plain non-blocking open of the device, 0 when it opens.
int plainOpenErrno(const QString& device);
