#pragma once

// The reads the converter makes, in its order, and what each gives on the default job file.

struct Read {
    const char* section;
    const char* key;
    double value;
};

inline constexpr Read kDefaultReads[] = {
    {"media", "width", 94},       {"media", "height", 62},   {"device", "width", 96},
    {"device", "height", 64},     {"media", "bgwhite", 0},   {"device", "freemem", 24000},
    {"media", "brightness", 120}, {"media", "contrast", 40}, {"media", "quality", 0},
    {"media", "dither", 0},       {"media", "preview", 1},   {"debug", "wantdebug", 0},
    {"media", "interlace", 1}};
