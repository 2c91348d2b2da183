#include "tests/faults/store_report.h"

#include <sstream>

void StoreReport::Take(const std::string& line) {
    std::istringstream words(line);
    std::string event;
    int index = 0, key = 0, value = 0;
    words >> event;
    if (event == "start") {
        words >> expected[0] >> expected[1] >> expected[2];
    } else if (event == "stored") {
        words >> index >> key >> value;
        expected[key] = value != 0;
        next = index + 1;
        ++stored;
    } else if (event == "failed") {
        long code = 0;
        words >> index >> key >> code;
        failed[key] = true;
        next = index + 1;
        ++failures[code];
    }
}
