#pragma once

// What store_burst.exe's report (see store_burst.cpp) has said so far, line by line.

#include "tests/faults/settings_view.h"

#include <map>
#include <string>

struct StoreReport {
    bool expected[keyCount]{}; // the value each key holds once its stores returned
    bool failed[keyCount]{};   // a store of that key raised an error: its value is unknown
    int next = 0;              // the store after the last one reported
    int stored = 0;
    std::map<long, int> failures; // system error code -> stores

    void Take(const std::string& line);
};
