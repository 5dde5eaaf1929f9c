// A realistic synthetic Russian telephone directory: surnames with first names and patronymics in upper
// case, streets, houses such as 12 or 12А, flats or none, and unique 7-digit numbers. The same seed always
// gives the same directory, whatever the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int DemoMaximumSubscribers = 10000000;

// One subscriber, texts in the device code page.
struct DemoSubscriber {
    uint32_t phone;
    char name[96];
    char street[64];
    char house[16];
    char flat[8];
};

struct DemoDirectory {
    uint64_t seed = 0;
    int count = 0;
    uint32_t phoneBase = 0; // numbers are phoneBase + a permutation of 0 .. phoneRange - 1
    uint32_t phoneRange = 0;
    // The name and street tables in the device code page.
    std::vector<std::string> maleSurnames, femaleSurnames, maleFirstNames, femaleFirstNames;
    std::vector<std::string> malePatronymics, femalePatronymics, streets, houseLetters;
};

// Prepares a directory of count subscribers. Codes: 0 ready; -1 count is not from 0 to 10,000,000;
// -2 the tables cannot be written in the device code page (which then lacks Cyrillic letters).
int PrepareDemoDirectory(DemoDirectory* directory, uint64_t seed, int count);
// The subscriber at index (0 .. count - 1); any order of calls gives the same subscribers.
void MakeDemoSubscriber(const DemoDirectory* directory, int index, DemoSubscriber* subscriber);
