#pragma once

#include <QString>

// One line on standard error for whoever watches an unattended session:
// "varnolix: " and the line, written at once.
void reportLine(const QString& line);
