#pragma once

class QLabel;

// Counters are labels whose caption is a decimal number: an update reads it,
// adds, and writes the sum back.
void addToCounter(QLabel* counter, long long amount);
